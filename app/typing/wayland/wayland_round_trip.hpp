#pragma once

#include <chrono>
#include <string>

struct wl_display;

namespace vxorv {

// How long a compositor may take to answer before it counts as stuck.
inline constexpr std::chrono::seconds waylandPatience{5};

// Sends what is buffered and waits until the compositor has handled it,
// dispatching the events that come meanwhile, at most `patience`. Returns
// true when it has; else false with `failure` saying why (the connection
// broke, or the compositor did not answer in time). Unlike
// wl_display_roundtrip it never waits for ever on a stuck compositor.
bool waylandRoundTrip(wl_display* display, std::string& failure,
                      std::chrono::milliseconds patience = waylandPatience);

} // namespace vxorv
