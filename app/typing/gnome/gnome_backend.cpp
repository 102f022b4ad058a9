#include "typing/gnome/gnome_backend.hpp"

#include "typing/linux_named_keys.hpp"

#include "typing/gnome/mutter_remote_desktop.hpp"
#include "typing/uinput/session_layout.hpp"

#include <xkbcommon/xkbcommon.h>

#include <array>
#include <chrono>
#include <optional>
#include <thread>

namespace vxorv {

namespace {

constexpr auto keyboardSettleTime = std::chrono::milliseconds(500);

} // namespace

GnomeBackend::GnomeBackend(std::unique_ptr<gnome::RemoteDesktop> session,
                           std::unique_ptr<gnome::LayoutKeysyms> layout,
                           std::unique_ptr<uinput::CompositorKeymap> follow)
    : m_session(std::move(session)), m_layout(std::move(layout)), m_follow(std::move(follow)) {}

std::unique_ptr<GnomeBackend> GnomeBackend::open(std::string& problem) {
    std::string noKeyboard;
    const bool seatHadKeyboard = uinput::compositorKeymap(noKeyboard).has_value();
    std::unique_ptr<gnome::MutterRemoteDesktop> session = gnome::MutterRemoteDesktop::open(problem);
    if (!session) {
        return nullptr;
    }
    if (!seatHadKeyboard) {
        // The session's keyboard is the seat's first (a headless or kiosk
        // session): the focused window picks it up a moment later, and keys
        // sent before that are lost.
        std::this_thread::sleep_for(keyboardSettleTime);
    }
    std::optional<uinput::SessionKeymap> keymap = uinput::sessionKeymap(problem);
    std::unique_ptr<gnome::LayoutKeysyms> layout =
        keymap ? gnome::LayoutKeysyms::fromKeymapText(keymap->text, problem) : nullptr;
    if (!layout) {
        return nullptr;
    }
    return std::make_unique<GnomeBackend>(std::move(session), std::move(layout),
                                          std::move(keymap->compositor));
}

void GnomeBackend::followLayout() {
    if (m_follow && m_follow->update() && m_follow->keymap()) {
        std::string problem;
        if (auto layout = gnome::LayoutKeysyms::fromKeymapText(*m_follow->keymap(), problem)) {
            m_layout = std::move(layout);
        }
    }
}

bool GnomeBackend::type(const KeyEvent& event) {
    followLayout();
    const std::uint32_t keysym = keysymFor(event);
    return keysym != 0 && press(keysym, event.ctrl);
}

std::uint32_t GnomeBackend::keysymFor(const KeyEvent& event) const {
    if (event.kind == KeyEvent::Kind::Named) {
        return keysymOf(event.key);
    }
    return m_layout->keysymFor(event.character).value_or(0);
}

bool GnomeBackend::press(std::uint32_t keysym, bool ctrl) {
    bool ok = !ctrl || m_session->keysym(XKB_KEY_Control_L, true);
    ok = m_session->keysym(keysym, true) && ok;
    ok = m_session->keysym(keysym, false) && ok;
    // Released even after a failure, so that Control does not stay down.
    if (ctrl) {
        ok = m_session->keysym(XKB_KEY_Control_L, false) && ok;
    }
    return ok;
}

} // namespace vxorv
