#include "typing/x11/keyboard_loans.hpp"

#include <gtest/gtest.h>

namespace vxorv::x11 {
namespace {

TEST(KeyboardLoans, ReadBackAsWritten) {
    const std::vector<KeyLoan> loans{{93, {0x7e1, 0x20ac}, true, false},
                                     {38, {}, true, true},
                                     {255, {0x7e2, 0x7e2}, false, false}};
    const std::vector<long> items = encodeLoans(loans);
    EXPECT_EQ(decodeLoans(items.data(), items.size()), loans);
}

TEST(KeyboardLoans, SkipWhatAnotherClientMayHaveWritten) {
    std::vector<long> items = encodeLoans({{93, {0x7e1, 0x7e1}, false, true}});
    const std::vector<long> outOfRange{300, 1, 0, 0, 3, 1, 0, 0, -1, 1, 0, 0};
    items.insert(items.begin(), outOfRange.begin(), outOfRange.end());
    items.push_back(94); // a partial entry
    const std::vector<KeyLoan> loans = decodeLoans(items.data(), items.size());
    ASSERT_EQ(loans.size(), 1u);
    EXPECT_EQ(loans[0].keycode, 93);
}

} // namespace
} // namespace vxorv::x11
