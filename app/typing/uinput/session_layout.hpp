#pragma once

#include "typing/uinput/layout_keys.hpp"

#include <memory>
#include <optional>
#include <string>

struct wl_display;

namespace vxorv::uinput {

// A keyboard of our own on the Wayland compositor's seat (WAYLAND_DISPLAY): it
// receives the keymap, in XKB text form, that the compositor applies to the
// key codes of every keyboard, virtual ones included, and each new one when
// the user switches layouts. The connection is kept for the life of the
// object; after connect() one thread at a time may use it.
class CompositorKeymap {
  public:
    // Null with `problem` set when no compositor answers.
    static std::unique_ptr<CompositorKeymap> connect(std::string& problem);
    ~CompositorKeymap();

    CompositorKeymap(const CompositorKeymap&) = delete;
    CompositorKeymap& operator=(const CompositorKeymap&) = delete;

    // The latest keymap; nullopt while the seat has no keyboard.
    const std::optional<std::string>& keymap() const;
    // Takes in what the compositor has sent since, without waiting; true when
    // a different keymap arrived.
    bool update();

    struct Objects; // the Wayland objects and what their listeners learnt

  private:
    explicit CompositorKeymap(std::unique_ptr<Objects> objects);
    std::unique_ptr<Objects> m_objects;
};

// The compositor's keymap now; nullopt with `problem` set when no compositor
// answers or its seat has no keyboard yet.
std::optional<std::string> compositorKeymap(std::string& problem);

// The keymap compiled from XKB names (empty fields from XKB_DEFAULT_* and
// then libxkbcommon's defaults), in XKB text form.
std::optional<std::string> keymapText(const XkbNames& names, std::string& problem);

// The keymap the session applies to our keys, in XKB text form: the
// XKB_DEFAULT_RULES, _MODEL, _LAYOUT, _VARIANT and _OPTIONS variables when any
// is set (the user's override), else the compositor's keymap in a Wayland
// session, else libxkbcommon's default ("us"), which is also what a compositor
// applies to a new keyboard when nothing is configured. In a Wayland session
// `compositor` is kept to follow the compositor's changes.
struct SessionKeymap {
    std::string text;
    std::unique_ptr<CompositorKeymap> compositor;
};
std::optional<SessionKeymap> sessionKeymap(std::string& problem);

} // namespace vxorv::uinput
