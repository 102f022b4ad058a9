#include "typing/uinput/uinput_backend.hpp"

#include "typing/uinput/session_layout.hpp"
#include "typing/uinput/uinput_key_device.hpp"

#include <optional>

namespace vxorv {

UinputBackend::UinputBackend(std::unique_ptr<uinput::KeyDevice> device,
                             std::unique_ptr<uinput::LayoutKeys> layout)
    : m_device(std::move(device)), m_layout(std::move(layout)) {}

std::unique_ptr<UinputBackend> UinputBackend::open(std::string& problem) {
    std::unique_ptr<uinput::LayoutKeys> layout = uinput::sessionLayout(problem);
    if (!layout) {
        return nullptr;
    }
    std::unique_ptr<uinput::UinputKeyDevice> device = uinput::UinputKeyDevice::open(problem);
    if (!device) {
        return nullptr;
    }
    return std::make_unique<UinputBackend>(std::move(device), std::move(layout));
}

bool UinputBackend::type(const KeyEvent& event) {
    const std::optional<uinput::KeyChord> chord =
        event.kind == KeyEvent::Kind::Named ? m_layout->forKey(event.key, event.ctrl)
                                            : m_layout->forCharacter(event.character, event.ctrl);
    return chord && press(*chord);
}

bool UinputBackend::press(const uinput::KeyChord& chord) {
    bool ok = true;
    for (uinput::EvdevCode modifier : chord.modifiers) {
        ok = m_device->key(modifier, true) && ok;
    }
    ok = m_device->key(chord.key, true) && ok;
    ok = m_device->key(chord.key, false) && ok;
    // Released even after a failure, so that no modifier stays down.
    for (auto modifier = chord.modifiers.rbegin(); modifier != chord.modifiers.rend(); ++modifier) {
        ok = m_device->key(*modifier, false) && ok;
    }
    return ok;
}

} // namespace vxorv
