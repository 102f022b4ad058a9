#include "typing/x11/keycode_bindings.hpp"

#include <algorithm>

namespace vxorv::x11 {

void KeycodeBindings::setSpares(const std::vector<Keycode>& spares) {
    std::vector<Slot> slots;
    slots.reserve(spares.size());
    for (Keycode keycode : spares) {
        auto old = std::find_if(m_slots.begin(), m_slots.end(),
                                [keycode](const Slot& s) { return s.keycode == keycode; });
        slots.push_back(old != m_slots.end() ? *old : Slot{keycode, 0, {}});
    }
    m_slots = std::move(slots);
}

Keysym KeycodeBindings::boundTo(Keycode keycode) const {
    auto it = std::find_if(m_slots.begin(), m_slots.end(),
                           [keycode](const Slot& s) { return s.keycode == keycode; });
    return it != m_slots.end() ? it->keysym : 0;
}

void KeycodeBindings::forget(Keycode keycode) {
    for (Slot& slot : m_slots) {
        if (slot.keycode == keycode) {
            slot.keysym = 0;
        }
    }
}

std::optional<KeycodeBindings::Lease> KeycodeBindings::lease(Keysym keysym, Clock::time_point now) {
    if (Slot* bound = find(keysym)) {
        return Lease{bound->keycode, false, now};
    }
    Slot* slot = find(0);
    if (slot == nullptr) {
        slot = leastRecentlyHandled();
    }
    if (slot == nullptr) {
        return std::nullopt;
    }
    const Clock::time_point held = slot->keysym != 0 ? slot->handled + m_timing.hold : now;
    const Clock::time_point notBefore = std::max({now, held, m_lastChange + m_timing.perChange});
    slot->keysym = keysym;
    m_lastChange = notBefore;
    m_clientDone = std::max(m_clientDone, notBefore) + m_timing.perChange;
    return Lease{slot->keycode, true, notBefore};
}

void KeycodeBindings::typed(Keycode keycode, Clock::time_point when) {
    m_clientDone = std::max(m_clientDone, when) + m_timing.perKey;
    for (Slot& slot : m_slots) {
        if (slot.keycode == keycode) {
            slot.handled = m_clientDone;
        }
    }
}

KeycodeBindings::Clock::time_point KeycodeBindings::quietAt() const {
    Clock::time_point quiet{};
    for (const Slot& slot : m_slots) {
        if (slot.keysym != 0) {
            quiet = std::max(quiet, slot.handled + m_timing.hold);
        }
    }
    return quiet;
}

std::vector<Keycode> KeycodeBindings::releaseDue(Clock::time_point now) {
    std::vector<Keycode> released;
    for (Slot& slot : m_slots) {
        if (slot.keysym != 0 && slot.handled + m_timing.hold <= now) {
            released.push_back(slot.keycode);
            slot.keysym = 0;
        }
    }
    return released;
}

std::vector<Keycode> KeycodeBindings::releaseAll() {
    return releaseDue(Clock::time_point::max());
}

KeycodeBindings::Slot* KeycodeBindings::find(Keysym keysym) {
    auto it = std::find_if(m_slots.begin(), m_slots.end(),
                           [keysym](const Slot& s) { return s.keysym == keysym; });
    return it != m_slots.end() ? &*it : nullptr;
}

KeycodeBindings::Slot* KeycodeBindings::leastRecentlyHandled() {
    auto it = std::min_element(m_slots.begin(), m_slots.end(),
                               [](const Slot& a, const Slot& b) { return a.handled < b.handled; });
    return it != m_slots.end() ? &*it : nullptr;
}

} // namespace vxorv::x11
