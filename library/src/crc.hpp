#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace vxbt {

// CRC-16 with polynomial 0x1021, processed most significant bit first, no
// reflection, no final XOR. The frame CRC starts at VXBT_CRC_INIT; a receiver
// that also feeds the two CRC bytes ends at 0 for a good frame.
constexpr std::uint16_t crc_polynomial = 0x1021;

constexpr std::array<std::uint16_t, 256> make_crc_table() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned reg = i << 8;
        for (int bit = 0; bit < 8; ++bit) {
            reg = (reg & 0x8000u) ? (reg << 1) ^ crc_polynomial : reg << 1;
        }
        table[i] = static_cast<std::uint16_t>(reg);
    }
    return table;
}

inline constexpr std::array<std::uint16_t, 256> crc_table = make_crc_table();
static_assert(crc_table[1] == 0x1021 && crc_table[255] == 0x1EF0);

constexpr std::uint16_t crc_update(std::uint16_t reg, std::uint8_t byte) {
    return static_cast<std::uint16_t>(crc_table[((reg >> 8) ^ byte) & 0xFFu] ^ (reg << 8));
}

constexpr std::uint16_t crc_compute(std::uint16_t reg, const std::uint8_t* bytes, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        reg = crc_update(reg, bytes[i]);
    }
    return reg;
}

} // namespace vxbt
