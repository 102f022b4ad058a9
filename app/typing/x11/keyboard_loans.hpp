#pragma once

#include "typing/x11/keymap_index.hpp"

#include <array>
#include <vector>

struct _XDisplay;
struct _XkbDesc;

namespace vxorv::x11 {

// What a typist has changed on one key. A typist keeps the list of its
// changes in a property of the root window, named after a window of its own,
// so that the next typist can undo them when the first was killed: the
// server destroys a dead client's windows, never its root properties.
struct KeyLoan {
    Keycode keycode = 0;
    std::array<Keysym, 2> levels{}; // bound to the key's two levels; {0, 0}: not borrowed
    bool repeatOff = false;         // its auto-repeat was switched off
    bool mayBeDown = false;         // typed since the queue last ran empty
    bool operator==(const KeyLoan&) const = default;
};

// The property's items (format 32, as Xlib hands them: one long each).
std::vector<long> encodeLoans(const std::vector<KeyLoan>& loans);
// Reads what encodeLoans wrote; anything another client wrote that does not
// fit (a partial entry, a keycode out of range) is skipped.
std::vector<KeyLoan> decodeLoans(const long* items, unsigned long count);

// This typist's record. It exists only while something is on loan.
class LoanRecord {
  public:
    explicit LoanRecord(_XDisplay* display);
    ~LoanRecord(); // deletes the record; the display must still be open
    LoanRecord(const LoanRecord&) = delete;
    LoanRecord& operator=(const LoanRecord&) = delete;

    // Replaces the record; sent before the changes it lists, so that a kill
    // between the two leaves a record that lists too much, never too little.
    void write(const std::vector<KeyLoan>& loans);

  private:
    _XDisplay* m_display;
    unsigned long m_owner = 0; // our window; its name marks the record as ours
    unsigned long m_property = 0;
    bool m_written = false;
};

// The keysyms a keymap fetched with its key symbols shows on the two levels
// of a key's first group; {0, 0} for a key without symbols or a keymap
// without key symbols.
std::array<Keysym, 2> keyLevels(const _XkbDesc* desc, Keycode keycode);
// Binds a key's two levels; {0, 0} gives the key no symbols.
void setKeyLevels(_XDisplay* display, Keycode keycode, std::array<Keysym, 2> levels);

// Undoes the loans of every typist whose window is gone: releases the keys it
// may have left down, switches their auto-repeat back on and unbinds the
// keycodes that still show what it bound. Runs with the server grabbed, so
// that two typists starting together do not undo a loan twice.
void recoverAbandonedLoans(_XDisplay* display);

} // namespace vxorv::x11
