#pragma once

#include "typing/gnome/layout_keysyms.hpp"
#include "typing/gnome/remote_desktop.hpp"
#include "typing/keystroke_backend.hpp"
#include "typing/uinput/session_layout.hpp"

#include <cstdint>
#include <memory>
#include <string>

namespace vxorv {

// Types through GNOME's remote-desktop session. The compositor turns each
// keysym into a key of its current layout and silently drops a keysym that
// layout lacks, so this backend looks every character up in the same layout
// (the compositor's keymap, followed as the user switches layouts, see
// uinput::sessionKeymap) and refuses what it cannot type.
class GnomeBackend final : public KeystrokeBackend {
  public:
    // With `follow`, the layout is rebuilt whenever the compositor's changes.
    GnomeBackend(std::unique_ptr<gnome::RemoteDesktop> session,
                 std::unique_ptr<gnome::LayoutKeysyms> layout,
                 std::unique_ptr<uinput::CompositorKeymap> follow = nullptr);

    // Starts a remote-desktop session; null with `problem` set when that fails.
    static std::unique_ptr<GnomeBackend> open(std::string& problem);

    bool type(const KeyEvent& event) override;
    std::string failure() const override { return m_session->failure(); }

  private:
    void followLayout();
    std::uint32_t keysymFor(const KeyEvent& event) const; // 0 when not typeable
    bool press(std::uint32_t keysym, bool ctrl);

    std::unique_ptr<gnome::RemoteDesktop> m_session;
    std::unique_ptr<gnome::LayoutKeysyms> m_layout;
    std::unique_ptr<uinput::CompositorKeymap> m_follow;
};

} // namespace vxorv
