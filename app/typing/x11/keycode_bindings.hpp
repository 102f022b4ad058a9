#pragma once

#include "typing/x11/keymap_index.hpp"

#include <array>
#include <chrono>
#include <optional>
#include <vector>

namespace vxorv::x11 {

// Lends the levels of spare keycodes (keys without symbols) to keysyms that
// the keymap lacks: the plain level and, where the keymap has a Shift key,
// the Shift level.
//
// An X client translates a key event only when it gets to it, which on a busy
// desktop can be seconds after the key, and it may read a changed keymap
// before the events typed under the old one. A binding is changed only once
// its last key has been quiet for `quiet`, counted from when the server is
// known to have processed that key (see processed()), and the window typed
// into has answered a question asked after that (see answered()): a window
// answers once it has read the events before the question. A key the server
// has processed but not yet confirmed never counts as quiet.
class KeycodeBindings {
  public:
    using Clock = std::chrono::steady_clock;

    static constexpr Clock::duration defaultQuiet = std::chrono::seconds(2);

    explicit KeycodeBindings(Clock::duration quiet = defaultQuiet) : m_quiet(quiet) {}

    // One level of a spare keycode: its plain level, or the one Shift selects.
    struct Place {
        Keycode keycode = 0;
        bool shifted = false;
        bool operator==(const Place&) const = default;
    };

    // Replaces the spare keycodes. Bindings on keycodes that are no longer
    // spare are forgotten (the keymap was replaced under them).
    void setSpares(const std::vector<Keycode>& spares, bool withShiftLevel);
    // What `keycode` should show on its two levels: the bound keysyms, a free
    // level showing the other level's keysym; {0, 0} when nothing is bound.
    std::array<Keysym, 2> levelsOf(Keycode keycode) const;
    // Drops the bindings of `keycode` without restoring it (someone else
    // changed the keymap).
    void forget(Keycode keycode);
    // Whether a keysym can be lent a place at all; `plain`: only plain levels.
    bool hasPlaces(bool plain) const;
    // Whether `keysym` is bound where a `plain` (or any) key can type it.
    bool isBound(Keysym keysym, bool plain) const;

    struct Lease {
        Place place;
        bool rebind = false; // bind the keysym to the place before typing on it
    };
    // A place to type `keysym` on now: where it is bound, else a free or quiet
    // place (never used ones first, then the least recently used), which the
    // caller must bind before typing. Counts as a use of the place at `now`.
    // nullopt when every place is busy: wait until vacancyAt() and for the
    // window's answer.
    std::optional<Lease> lease(Keysym keysym, bool plain, Clock::time_point now);
    // When a busy place for a `plain` (or any) keysym has been quiet long
    // enough to be rebound once the window has answered; max() when none may
    // be before the server has confirmed what it processed.
    Clock::time_point vacancyAt(bool plain) const;

    // A key was sent on `place` at `when`.
    void typed(Place place, Clock::time_point when);
    // The server has processed every key sent up to `sentBy` by
    // `processedBy` (a round trip begun at `sentBy` ended then).
    void processed(Clock::time_point sentBy, Clock::time_point processedBy);
    // The window has read every key the server had processed by `askedAt`
    // (or it cannot say, and the quiet time alone must do).
    void answered(Clock::time_point askedAt);

    bool anyBound() const;
    // When every binding is quiet; max() while some key is unconfirmed.
    Clock::time_point quietAt() const;
    // Forgets all bindings and returns the keycodes that had one.
    std::vector<Keycode> releaseAll();

  private:
    static constexpr Clock::time_point unconfirmed = Clock::time_point::max();

    struct Slot {
        Place place;
        Keysym keysym = 0;           // 0: free
        bool used = false;           // ever bound in this process
        Clock::time_point sent;      // its last key was sent then
        Clock::time_point processed; // the server had processed it by then
        bool read = true;            // the window has read its last key
        Clock::time_point quietAt(Clock::duration quiet) const;
    };
    bool usable(const Slot& slot, bool plain) const;
    Slot* find(Keysym keysym, bool plain);
    Slot* vacant(bool plain, Clock::time_point now);
    Slot* at(Place place);

    Clock::duration m_quiet;
    bool m_withShiftLevel = false;
    std::vector<Slot> m_slots;
};

} // namespace vxorv::x11
