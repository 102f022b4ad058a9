#include "typing/x11/keycode_bindings.hpp"

#include <algorithm>
#include <tuple>

namespace vxorv::x11 {

KeycodeBindings::Clock::time_point KeycodeBindings::Slot::quietAt(Clock::duration quiet) const {
    return processed == unconfirmed ? unconfirmed : processed + quiet;
}

void KeycodeBindings::setSpares(const std::vector<Keycode>& spares, bool withShiftLevel) {
    std::vector<Slot> slots;
    slots.reserve(spares.size() * 2);
    for (Keycode keycode : spares) {
        for (bool shifted : {false, true}) {
            const Place place{keycode, shifted};
            const Slot* old = at(place);
            Slot slot;
            slot.place = place;
            slots.push_back(old != nullptr ? *old : slot);
        }
    }
    m_slots = std::move(slots);
    m_withShiftLevel = withShiftLevel;
}

std::array<Keysym, 2> KeycodeBindings::levelsOf(Keycode keycode) const {
    std::array<Keysym, 2> levels{};
    for (const Slot& slot : m_slots) {
        if (slot.place.keycode == keycode) {
            levels[slot.place.shifted ? 1 : 0] = slot.keysym;
        }
    }
    // A free level shows its neighbour, so that whatever level a client picks
    // for a key (with Shift, or through a key type derived from the symbols)
    // it reads the keysym typed there.
    if (levels[0] == 0) {
        levels[0] = levels[1];
    }
    if (levels[1] == 0) {
        levels[1] = levels[0];
    }
    return levels;
}

void KeycodeBindings::forget(Keycode keycode) {
    for (Slot& slot : m_slots) {
        if (slot.place.keycode == keycode) {
            slot.keysym = 0;
        }
    }
}

bool KeycodeBindings::hasPlaces(bool plain) const {
    return std::any_of(m_slots.begin(), m_slots.end(),
                       [&](const Slot& slot) { return usable(slot, plain); });
}

bool KeycodeBindings::isBound(Keysym keysym, bool plain) const {
    return std::any_of(m_slots.begin(), m_slots.end(), [&](const Slot& slot) {
        return slot.keysym == keysym && usable(slot, plain);
    });
}

std::optional<KeycodeBindings::Lease> KeycodeBindings::lease(Keysym keysym, bool plain,
                                                             Clock::time_point now) {
    bool rebind = false;
    Slot* slot = find(keysym, plain);
    if (slot == nullptr) {
        slot = vacant(plain, now);
        if (slot == nullptr) {
            return std::nullopt;
        }
        slot->keysym = keysym;
        slot->used = true;
        rebind = true;
    }
    typed(slot->place, now);
    return Lease{slot->place, rebind};
}

KeycodeBindings::Clock::time_point KeycodeBindings::vacancyAt(bool plain) const {
    Clock::time_point earliest = unconfirmed;
    for (const Slot& slot : m_slots) {
        if (usable(slot, plain)) {
            earliest =
                std::min(earliest, slot.keysym == 0 ? Clock::time_point{} : slot.quietAt(m_quiet));
        }
    }
    return earliest;
}

void KeycodeBindings::typed(Place place, Clock::time_point when) {
    if (Slot* slot = at(place)) {
        slot->sent = when;
        slot->processed = unconfirmed;
        slot->read = false;
    }
}

void KeycodeBindings::processed(Clock::time_point sentBy, Clock::time_point processedBy) {
    for (Slot& slot : m_slots) {
        if (slot.processed == unconfirmed && slot.sent <= sentBy) {
            slot.processed = processedBy;
        }
    }
}

void KeycodeBindings::answered(Clock::time_point askedAt) {
    for (Slot& slot : m_slots) {
        if (slot.processed != unconfirmed && slot.processed <= askedAt) {
            slot.read = true;
        }
    }
}

bool KeycodeBindings::anyBound() const {
    return std::any_of(m_slots.begin(), m_slots.end(),
                       [](const Slot& slot) { return slot.keysym != 0; });
}

KeycodeBindings::Clock::time_point KeycodeBindings::quietAt() const {
    Clock::time_point quiet{};
    for (const Slot& slot : m_slots) {
        if (slot.keysym != 0) {
            quiet = std::max(quiet, slot.quietAt(m_quiet));
        }
    }
    return quiet;
}

std::vector<Keycode> KeycodeBindings::releaseAll() {
    std::vector<Keycode> released;
    for (Slot& slot : m_slots) {
        if (slot.keysym != 0 &&
            std::find(released.begin(), released.end(), slot.place.keycode) == released.end()) {
            released.push_back(slot.place.keycode);
        }
        slot.keysym = 0;
    }
    return released;
}

bool KeycodeBindings::usable(const Slot& slot, bool plain) const {
    return !slot.place.shifted || (!plain && m_withShiftLevel);
}

KeycodeBindings::Slot* KeycodeBindings::find(Keysym keysym, bool plain) {
    auto it = std::find_if(m_slots.begin(), m_slots.end(), [&](const Slot& slot) {
        return slot.keysym == keysym && usable(slot, plain);
    });
    return it != m_slots.end() ? &*it : nullptr;
}

KeycodeBindings::Slot* KeycodeBindings::vacant(bool plain, Clock::time_point now) {
    Slot* best = nullptr;
    // Never used places first, then free ones, then the least recently used.
    auto rank = [](const Slot& slot) { return std::tuple(slot.used, slot.keysym != 0, slot.sent); };
    for (Slot& slot : m_slots) {
        if (usable(slot, plain) &&
            (slot.keysym == 0 || (slot.read && slot.quietAt(m_quiet) <= now)) &&
            (best == nullptr || rank(slot) < rank(*best))) {
            best = &slot;
        }
    }
    return best;
}

KeycodeBindings::Slot* KeycodeBindings::at(Place place) {
    auto it = std::find_if(m_slots.begin(), m_slots.end(),
                           [&](const Slot& slot) { return slot.place == place; });
    return it != m_slots.end() ? &*it : nullptr;
}

} // namespace vxorv::x11
