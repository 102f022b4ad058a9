#include "typing/wayland/wayland_round_trip.hpp"

#include <poll.h>
#include <wayland-client.h>

#include <cerrno>
#include <cstring>

namespace vxorv {

namespace {

using Clock = std::chrono::steady_clock;

void onDone(void* data, wl_callback*, std::uint32_t) {
    *static_cast<bool*>(data) = true;
}
const wl_callback_listener doneListener{onDone};

bool lost(wl_display* display, std::string& failure) {
    const int error = wl_display_get_error(display);
    failure = std::string("lost the connection to the Wayland compositor: ") +
              std::strerror(error != 0 ? error : errno);
    return false;
}

// Waits until the socket is ready for `events`; false with `failure` set
// when the deadline passed or the socket broke.
bool waitFor(wl_display* display, short events, Clock::time_point deadline,
             std::chrono::milliseconds patience, std::string& failure) {
    pollfd socket{wl_display_get_fd(display), events, 0};
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            failure = "the Wayland compositor did not answer for " +
                      std::to_string(patience.count() / 1000) + " s";
            return false;
        }
        const int ready = poll(&socket, 1, static_cast<int>(left.count()));
        if (ready > 0) {
            return (socket.revents & (POLLERR | POLLHUP)) == 0 || lost(display, failure);
        }
        if (ready < 0 && errno != EINTR) {
            return lost(display, failure);
        }
    }
}

bool flush(wl_display* display, Clock::time_point deadline, std::chrono::milliseconds patience,
           std::string& failure) {
    while (wl_display_flush(display) < 0) {
        if (errno != EAGAIN) {
            return lost(display, failure);
        }
        if (!waitFor(display, POLLOUT, deadline, patience, failure)) {
            return false;
        }
    }
    return true;
}

bool readEvents(wl_display* display, Clock::time_point deadline, std::chrono::milliseconds patience,
                std::string& failure) {
    if (wl_display_prepare_read(display) != 0) {
        return wl_display_dispatch_pending(display) >= 0 || lost(display, failure);
    }
    if (!waitFor(display, POLLIN, deadline, patience, failure)) {
        wl_display_cancel_read(display);
        return false;
    }
    if (wl_display_read_events(display) < 0 || wl_display_dispatch_pending(display) < 0) {
        return lost(display, failure);
    }
    return true;
}

} // namespace

bool waylandRoundTrip(wl_display* display, std::string& failure,
                      std::chrono::milliseconds patience) {
    if (wl_display_get_error(display) != 0) {
        return lost(display, failure);
    }
    bool done = false;
    wl_callback* callback = wl_display_sync(display);
    wl_callback_add_listener(callback, &doneListener, &done);
    const Clock::time_point deadline = Clock::now() + patience;
    bool answered = true;
    while (!done && answered) {
        answered = flush(display, deadline, patience, failure) &&
                   readEvents(display, deadline, patience, failure);
    }
    wl_callback_destroy(callback);
    return answered;
}

} // namespace vxorv
