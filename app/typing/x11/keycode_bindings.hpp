#pragma once

#include "typing/x11/keymap_index.hpp"

#include <chrono>
#include <optional>
#include <vector>

namespace vxorv::x11 {

// Lends spare keycodes (keys without symbols) to keysyms that the keymap
// lacks. X clients read a changed keymap lazily, some time after the change:
// rebinding or restoring a keycode before a client has handled the last key
// event on it lets the client read the new mapping for the old event and type
// the wrong character.
//
// When a client handles an event is not observable, so it is bounded: the
// client is assumed to handle at least one key per `perKey` (a busy Qt text
// editor managed 600 keys/s) and to fetch a changed keymap within `perChange`
// (every change makes every client fetch the whole keymap again). The n-th
// key of a fast run is thus handled only n * perKey (plus the changes before
// it) after the run began. A binding stays untouched until its last key is
// handled by that bound, plus `hold` (measured: 100 ms). Changes are also
// spaced by `perChange`, so that a client slower than assumed falls behind by
// its excess a change at a time rather than by a whole burst of changes.
// Typing itself is never slowed down: only a change or a restore waits.
struct KeycodeTiming {
    std::chrono::steady_clock::duration hold = std::chrono::milliseconds(100);
    std::chrono::steady_clock::duration perKey = std::chrono::milliseconds(2);
    std::chrono::steady_clock::duration perChange = std::chrono::milliseconds(15);
};

class KeycodeBindings {
  public:
    using Clock = std::chrono::steady_clock;

    explicit KeycodeBindings(KeycodeTiming timing = {}) : m_timing(timing) {}

    // Replaces the spare keycodes. Bindings on keycodes that are no longer
    // spare are forgotten (the keymap was replaced under them).
    void setSpares(const std::vector<Keycode>& spares);
    // The keysym bound to `keycode`, 0 when it has none.
    Keysym boundTo(Keycode keycode) const;
    // Drops the binding of `keycode` without restoring it (someone else
    // changed the keymap).
    void forget(Keycode keycode);

    struct Lease {
        Keycode keycode = 0;
        bool rebind = false;         // bind `keysym` to the keycode before typing
        Clock::time_point notBefore; // the earliest moment to rebind
    };
    // The keycode to type `keysym` on: its current binding, else a free spare,
    // else the spare whose last key was handled longest ago, to be rebound
    // once that is safe. nullopt without spares.
    std::optional<Lease> lease(Keysym keysym, Clock::time_point now);
    // A key was typed on `keycode` (borrowed or not) at `when`.
    void typed(Keycode keycode, Clock::time_point when);

    // When all current bindings may be restored.
    Clock::time_point quietAt() const;
    // Forgets the bindings that may be restored at `now` and returns their
    // keycodes, for the caller to restore.
    std::vector<Keycode> releaseDue(Clock::time_point now);
    // Forgets all bindings and returns their keycodes.
    std::vector<Keycode> releaseAll();

  private:
    struct Slot {
        Keycode keycode = 0;
        Keysym keysym = 0;         // 0: free
        Clock::time_point handled; // the client has handled its last key by then
    };
    Slot* find(Keysym keysym);
    Slot* leastRecentlyHandled();

    KeycodeTiming m_timing;
    Clock::time_point m_lastChange;
    Clock::time_point m_clientDone; // the client has handled every key typed by then
    std::vector<Slot> m_slots;
};

} // namespace vxorv::x11
