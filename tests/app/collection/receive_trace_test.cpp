#include "collection/receive_error_text.hpp"
#include "collection/receive_trace.hpp"

#include "winvxbt.h"

#include <gtest/gtest.h>

namespace vxorv {
namespace {

TEST(ReceiveErrorText, NamesEveryResultCode) {
    const std::vector<std::pair<int, const char*>> texts{
        {1, "Wrong Parameters"},       {2, "Error in DLL init/close"},
        {3, "---> Not enough memory"}, {4, "---> Error in frame packing"},
        {5, "---> Error in CRC"},      {6, "---> Fragment rejected"},
        {7, "---> Message too long"},  {8, "---> Duplicated fragment"},
        {9, "Remote not connected"},   {10, "Critical error"},
        {65535, "Critical error"},
    };
    for (const auto& [code, text] : texts) {
        EXPECT_EQ(receiveErrorText(static_cast<std::uint16_t>(code)), text) << code;
    }
}

TEST(ReceiveTrace, CountsFramesDuplicatesAndEachErrorPerChannel) {
    ReceiveTrace trace;
    trace.record(0, VXBT_OK, std::nullopt); // a byte inside a frame
    trace.record(0, VXBT_OK, 0x06);
    trace.record(0, VXBT_OK, 0x06);
    trace.record(0, VXBT_ERR_DUPLICATE, 0x06);
    trace.record(0, VXBT_ERR_FRAME, std::nullopt);
    trace.record(0, VXBT_ERR_FRAME, 0x15);
    trace.record(0, 42, std::nullopt);
    trace.record(3, VXBT_ERR_CRC, 0x15);
    trace.record(0, VXBT_OK, 0x06, true); // accepted, its ACK dropped

    const ReceiveTrace::Counts& zero = trace.counts(0);
    EXPECT_EQ(zero.framesAccepted, 3u);
    EXPECT_EQ(zero.repliesDropped, 1u);
    EXPECT_EQ(zero.duplicates, 1u);
    EXPECT_EQ(zero.errors[VXBT_ERR_FRAME], 2u);
    EXPECT_EQ(zero.errors[0], 1u);
    EXPECT_EQ(zero.errors[VXBT_ERR_CRC], 0u);
    EXPECT_EQ(trace.counts(3).errors[VXBT_ERR_CRC], 1u);
}

} // namespace
} // namespace vxorv
