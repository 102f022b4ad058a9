#pragma once

#include "typing/keystroke_backend.hpp"

#include <cstddef>
#include <string_view>
#include <vector>

namespace vxorv {

// Turns keystroke strings into key events.
//
// Syntax: a character types itself; "{x}" types the single character x
// literally (so "{{}", "{}}", "{+}", "{^}"); "{ENTER}", "{TAB}", "{ESC}",
// "{BS}", "{INS}", "{DEL}", "{HOME}", "{END}", "{PGUP}", "{PGDN}", "{UP}",
// "{DOWN}", "{LEFT}", "{RIGHT}" and "{F1}".."{F16}" press the named key; "^"
// holds Ctrl for the next key. A brace that opens no valid construct, and a
// lone "}", are typed as themselves; a "^" with no key after it is dropped, and
// "^^" holds Ctrl once.
//
// Control characters in the data: CR types Enter; LF types Enter unless it
// directly follows a CR (CR LF is one Enter, also when the pair is split
// between two strings); TAB, BS and ESC type their keys; every other control
// character types nothing and is counted.
class KeystrokeParser {
  public:
    struct Result {
        std::vector<KeyEvent> events;
        std::size_t ignoredControls = 0;
    };

    Result parse(std::u32string_view keystrokes);

  private:
    bool m_lastWasCarriageReturn = false;
};

} // namespace vxorv
