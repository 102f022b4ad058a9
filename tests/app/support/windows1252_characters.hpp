#pragma once

#include <string>

namespace vxorv::test {

// Every character that can reach the injector from a received byte: the
// printable ASCII and Latin-1 ranges and the Windows-1252 extras.
inline std::u32string windows1252Characters() {
    std::u32string chars;
    for (char32_t c = 0x20; c < 0x7f; ++c) {
        chars += c;
    }
    chars += U"€‚ƒ„…†‡ˆ‰Š‹ŒŽ‘’“”•–—˜™š›œžŸ";
    for (char32_t c = 0xa0; c <= 0xff; ++c) {
        chars += c;
    }
    return chars;
}

} // namespace vxorv::test
