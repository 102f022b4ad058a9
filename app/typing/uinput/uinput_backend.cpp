#include "typing/uinput/uinput_backend.hpp"

#include "typing/uinput/uinput_key_device.hpp"

#include <optional>
#include <utility>

namespace vxorv {

UinputBackend::UinputBackend(std::unique_ptr<uinput::KeyDevice> device,
                             std::unique_ptr<uinput::LayoutKeys> layout,
                             std::unique_ptr<uinput::CompositorKeymap> follow)
    : m_device(std::move(device)), m_layout(std::move(layout)), m_follow(std::move(follow)) {}

std::unique_ptr<UinputBackend> UinputBackend::open(std::string& problem) {
    std::unique_ptr<uinput::UinputKeyDevice> device = uinput::UinputKeyDevice::open(problem);
    return device ? forSession(std::move(device), problem) : nullptr;
}

std::unique_ptr<UinputBackend> UinputBackend::forSession(std::unique_ptr<uinput::KeyDevice> device,
                                                         std::string& problem) {
    std::optional<uinput::SessionKeymap> keymap = uinput::sessionKeymap(problem);
    std::unique_ptr<uinput::LayoutKeys> layout =
        keymap ? uinput::LayoutKeys::fromKeymapText(keymap->text, problem) : nullptr;
    if (!layout) {
        return nullptr;
    }
    return std::make_unique<UinputBackend>(std::move(device), std::move(layout),
                                           std::move(keymap->compositor));
}

void UinputBackend::followLayout() {
    if (m_follow && m_follow->update() && m_follow->keymap()) {
        std::string problem;
        if (auto layout = uinput::LayoutKeys::fromKeymapText(*m_follow->keymap(), problem)) {
            m_layout = std::move(layout);
            m_layout->selectLayout(m_activeLayout);
        }
    }
}

void UinputBackend::selectActiveLayout() {
    if (std::exchange(m_askLayout, false)) {
        if (const std::optional<std::uint32_t> active = m_device->activeLayout()) {
            m_activeLayout = *active;
            m_layout->selectLayout(m_activeLayout);
        }
    }
}

bool UinputBackend::type(const KeyEvent& event) {
    followLayout();
    selectActiveLayout();
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
