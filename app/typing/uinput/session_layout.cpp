#include "typing/uinput/session_layout.hpp"

#include "typing/wayland/wayland_round_trip.hpp"
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <poll.h>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>

namespace vxorv::uinput {

struct CompositorKeymap::Objects {
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_seat* seat = nullptr;
    wl_keyboard* keyboard = nullptr;
    std::optional<std::string> keymap;
    bool keymapChanged = false;
};

namespace {

using Objects = CompositorKeymap::Objects;

void onKeymap(void* data, wl_keyboard*, std::uint32_t format, std::int32_t fd, std::uint32_t size) {
    auto* objects = static_cast<Objects*>(data);
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1) {
        if (void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0); text != MAP_FAILED) {
            // The size counts the terminating NUL.
            const std::string_view view(static_cast<const char*>(text), size);
            std::string keymap(view.substr(0, view.find('\0')));
            munmap(text, size);
            objects->keymapChanged = objects->keymapChanged || keymap != objects->keymap;
            objects->keymap = std::move(keymap);
        }
    }
    close(fd);
}
void onEnter(void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {}
void onLeave(void*, wl_keyboard*, std::uint32_t, wl_surface*) {}
void onKey(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {}
void onModifiers(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                 std::uint32_t) {}
void onRepeatInfo(void*, wl_keyboard*, std::int32_t, std::int32_t) {}
const wl_keyboard_listener keyboardListener{onKeymap, onEnter,     onLeave,
                                            onKey,    onModifiers, onRepeatInfo};

// A headless seat gains its keyboard only when a (virtual) one appears.
void onCapabilities(void* data, wl_seat* seat, std::uint32_t capabilities) {
    auto* objects = static_cast<Objects*>(data);
    if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0 && objects->keyboard == nullptr) {
        objects->keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(objects->keyboard, &keyboardListener, objects);
    }
}
void onSeatName(void*, wl_seat*, const char*) {}
const wl_seat_listener seatListener{onCapabilities, onSeatName};

void onGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
              std::uint32_t /*version*/) {
    auto* objects = static_cast<Objects*>(data);
    if (objects->seat == nullptr && std::string_view(interface) == wl_seat_interface.name) {
        objects->seat =
            static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
        wl_seat_add_listener(objects->seat, &seatListener, objects);
    }
}
void onGlobalRemove(void*, wl_registry*, std::uint32_t) {}
const wl_registry_listener registryListener{onGlobal, onGlobalRemove};

bool anyXkbOverride() {
    constexpr std::array variables{"XKB_DEFAULT_RULES", "XKB_DEFAULT_MODEL", "XKB_DEFAULT_LAYOUT",
                                   "XKB_DEFAULT_VARIANT", "XKB_DEFAULT_OPTIONS"};
    for (const char* variable : variables) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') {
            return true;
        }
    }
    return false;
}

} // namespace

std::unique_ptr<CompositorKeymap> CompositorKeymap::connect(std::string& problem) {
    auto objects = std::make_unique<Objects>();
    objects->display = wl_display_connect(nullptr);
    if (objects->display == nullptr) {
        problem = "no Wayland compositor to ask for the keyboard layout";
        return nullptr;
    }
    std::unique_ptr<CompositorKeymap> keymap(new CompositorKeymap(std::move(objects)));
    Objects& o = *keymap->m_objects;
    o.registry = wl_display_get_registry(o.display);
    wl_registry_add_listener(o.registry, &registryListener, &o);
    // The globals, then the seat's capabilities, then the keymap.
    for (int i = 0; i < 3; ++i) {
        if (std::string failure; !waylandRoundTrip(o.display, failure)) {
            problem = failure;
            return nullptr;
        }
    }
    o.keymapChanged = false;
    return keymap;
}

CompositorKeymap::CompositorKeymap(std::unique_ptr<Objects> objects)
    : m_objects(std::move(objects)) {}

CompositorKeymap::~CompositorKeymap() {
    if (m_objects->keyboard != nullptr) {
        wl_keyboard_destroy(m_objects->keyboard);
    }
    if (m_objects->seat != nullptr) {
        wl_seat_destroy(m_objects->seat);
    }
    if (m_objects->registry != nullptr) {
        wl_registry_destroy(m_objects->registry);
    }
    wl_display_disconnect(m_objects->display);
}

const std::optional<std::string>& CompositorKeymap::keymap() const {
    return m_objects->keymap;
}

bool CompositorKeymap::update() {
    wl_display* display = m_objects->display;
    while (wl_display_prepare_read(display) != 0) {
        wl_display_dispatch_pending(display);
    }
    wl_display_flush(display);
    pollfd readable{wl_display_get_fd(display), POLLIN, 0};
    if (poll(&readable, 1, 0) > 0) {
        wl_display_read_events(display);
    } else {
        wl_display_cancel_read(display);
    }
    wl_display_dispatch_pending(display);
    const bool changed = m_objects->keymapChanged;
    m_objects->keymapChanged = false;
    return changed;
}

std::optional<std::string> compositorKeymap(std::string& problem) {
    const std::unique_ptr<CompositorKeymap> compositor = CompositorKeymap::connect(problem);
    if (compositor && !compositor->keymap()) {
        problem = "the Wayland compositor's seat has no keyboard";
    }
    return compositor ? compositor->keymap() : std::nullopt;
}

std::optional<std::string> keymapText(const XkbNames& names, std::string& problem) {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (context == nullptr) {
        problem = "cannot create an XKB context";
        return std::nullopt;
    }
    auto field = [](const std::string& s) { return s.empty() ? nullptr : s.c_str(); };
    const xkb_rule_names ruleNames{field(names.rules), field(names.model), field(names.layout),
                                   field(names.variant), field(names.options)};
    xkb_keymap* keymap =
        xkb_keymap_new_from_names(context, &ruleNames, XKB_KEYMAP_COMPILE_NO_FLAGS);
    std::optional<std::string> text;
    if (keymap == nullptr) {
        problem = "cannot compile the XKB keymap for layout \"" +
                  (names.layout.empty() ? std::string("(session default)") : names.layout) + "\"";
    } else if (char* string = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1)) {
        text = string;
        std::free(string);
    } else {
        problem = "cannot write the XKB keymap";
    }
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
    return text;
}

std::optional<SessionKeymap> sessionKeymap(std::string& problem) {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (!anyXkbOverride() && wayland != nullptr && *wayland != '\0') {
        std::string unused;
        if (std::unique_ptr<CompositorKeymap> compositor = CompositorKeymap::connect(unused)) {
            // A seat without a keyboard yet gets the default keymap, until
            // the compositor says otherwise.
            std::optional<std::string> text = compositor->keymap();
            if (!text) {
                text = keymapText({}, problem);
            }
            return text ? std::optional(SessionKeymap{std::move(*text), std::move(compositor)})
                        : std::nullopt;
        }
    }
    if (std::optional<std::string> text = keymapText({}, problem)) {
        return SessionKeymap{std::move(*text), nullptr};
    }
    return std::nullopt;
}

} // namespace vxorv::uinput
