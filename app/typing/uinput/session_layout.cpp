#include "typing/uinput/session_layout.hpp"

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>

namespace vxorv::uinput {

namespace {

// What the Wayland objects' listeners learn; they run inside roundtrips.
struct KeymapQuery {
    wl_seat* seat = nullptr;
    wl_keyboard* keyboard = nullptr;
    std::optional<std::string> keymap;
    std::string problem;
};

void onGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
              std::uint32_t /*version*/) {
    auto* query = static_cast<KeymapQuery*>(data);
    if (query->seat == nullptr && std::string_view(interface) == wl_seat_interface.name) {
        query->seat =
            static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    }
}
void onGlobalRemove(void*, wl_registry*, std::uint32_t) {}
const wl_registry_listener registryListener{onGlobal, onGlobalRemove};

void onKeymap(void* data, wl_keyboard*, std::uint32_t format, std::int32_t fd, std::uint32_t size) {
    auto* query = static_cast<KeymapQuery*>(data);
    if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1) {
        query->problem = "the compositor's keymap is not an XKB keymap";
    } else if (void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
               text == MAP_FAILED) {
        query->problem = "cannot read the compositor's keymap";
    } else {
        // The size counts the terminating NUL.
        const std::string_view view(static_cast<const char*>(text), size);
        query->keymap = std::string(view.substr(0, view.find('\0')));
        munmap(text, size);
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

void onCapabilities(void* data, wl_seat* seat, std::uint32_t capabilities) {
    auto* query = static_cast<KeymapQuery*>(data);
    if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0 && query->keyboard == nullptr) {
        query->keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(query->keyboard, &keyboardListener, query);
    }
}
void onSeatName(void*, wl_seat*, const char*) {}
const wl_seat_listener seatListener{onCapabilities, onSeatName};

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

std::optional<std::string> compositorKeymap(std::string& problem) {
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        problem = "no Wayland compositor to ask for the keyboard layout";
        return std::nullopt;
    }
    KeymapQuery query;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, &query);
    bool connected = wl_display_roundtrip(display) >= 0;
    if (query.seat != nullptr) {
        wl_seat_add_listener(query.seat, &seatListener, &query);
        // One roundtrip brings the seat's capabilities, the next the keymap.
        connected =
            connected && wl_display_roundtrip(display) >= 0 && wl_display_roundtrip(display) >= 0;
    }
    if (query.keyboard != nullptr) {
        wl_keyboard_destroy(query.keyboard);
    }
    if (query.seat != nullptr) {
        wl_seat_destroy(query.seat);
    }
    wl_registry_destroy(registry);
    wl_display_disconnect(display);

    if (query.keymap) {
        return query.keymap;
    }
    if (!connected) {
        problem = "lost the connection to the Wayland compositor";
    } else if (!query.problem.empty()) {
        problem = query.problem;
    } else {
        problem = "the Wayland compositor's seat has no keyboard";
    }
    return std::nullopt;
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

std::optional<std::string> sessionKeymap(std::string& problem) {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (!anyXkbOverride() && wayland != nullptr && *wayland != '\0') {
        std::string unused;
        if (std::optional<std::string> keymap = compositorKeymap(unused)) {
            return keymap;
        }
    }
    return keymapText({}, problem);
}

std::unique_ptr<LayoutKeys> sessionLayout(std::string& problem) {
    const std::optional<std::string> keymap = sessionKeymap(problem);
    return keymap ? LayoutKeys::fromKeymapText(*keymap, problem) : nullptr;
}

} // namespace vxorv::uinput
