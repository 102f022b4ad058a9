#include "crc.hpp"
#include "frame_encoder.hpp"

#include <gtest/gtest.h>

#include <string_view>

namespace vxbt {
namespace {

std::uint16_t crc_of(std::uint16_t init, std::string_view text) {
    return crc_compute(init, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

TEST(Crc, CheckValues) {
    EXPECT_EQ(crc_of(VXBT_CRC_INIT, "123456789"), 0x8864);
    // The same code from 0xFFFF is the catalogued CRC-16/CCITT-FALSE.
    EXPECT_EQ(crc_of(0xFFFF, "123456789"), 0x29B1);
    EXPECT_EQ(crc_of(VXBT_CRC_INIT, ""), VXBT_CRC_INIT);
}

TEST(Crc, TableMatchesBitwiseDivision) {
    for (unsigned i = 0; i < 256; ++i) {
        unsigned reg = i << 8;
        for (int bit = 0; bit < 8; ++bit) {
            reg = (reg << 1) ^ ((reg & 0x8000u) ? 0x1021u : 0u);
        }
        ASSERT_EQ(crc_table[i], reg & 0xFFFFu) << i;
    }
}

// A receiver feeding a frame's covered bytes and its CRC ends at zero; any
// single changed bit leaves a non-zero register.
TEST(Crc, GoodFrameChecksToZeroAndEverySingleBitErrorIsCaught) {
    const std::uint8_t payload[] = {0x61, 0x62, 0x63, 0x02, 0x0D};
    std::vector<std::uint8_t> covered = encode_frame(0x08, 7, payload);
    covered.erase(covered.begin());
    covered.pop_back();
    EXPECT_EQ(crc_compute(VXBT_CRC_INIT, covered.data(), covered.size()), 0);
    for (std::size_t bit = 0; bit < covered.size() * 8; ++bit) {
        std::vector<std::uint8_t> flipped = covered;
        flipped[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
        EXPECT_NE(crc_compute(VXBT_CRC_INIT, flipped.data(), flipped.size()), 0) << bit;
    }
}

} // namespace
} // namespace vxbt
