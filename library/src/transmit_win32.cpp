// 32-bit Windows: the flag selects between the stdcall convention (the callback
// pops its arguments) and the C convention (the caller pops them).
#include "channel.hpp"

namespace vxbt {
namespace {

using stdcall_tx_callback = std::uint16_t(__stdcall*)(std::uint8_t channel, std::uint8_t byte);

// One call per convention, each in a function of its own that the optimiser
// may not inline, clone or fold into the other. Written as two branches of one
// function, GCC 12 merges the two indirect calls at -O2 and -O3 (tail merging
// compares the calls but not their function types), and the surviving call
// uses one convention for both flag values: a stdcall callback then leaves the
// stack 8 bytes off and the export returns through a wrong address.
[[gnu::noipa]] std::uint16_t call_stdcall(stdcall_tx_callback callback, std::uint8_t channel,
                                          std::uint8_t byte) noexcept {
    return callback(channel, byte);
}

[[gnu::noipa]] std::uint16_t call_cdecl(vxbt_tx_callback callback, std::uint8_t channel,
                                        std::uint8_t byte) noexcept {
    return callback(channel, byte);
}

} // namespace

std::uint16_t call_tx_callback(vxbt_tx_callback callback, std::uint8_t stdcall_callback,
                               std::uint8_t channel, std::uint8_t byte) noexcept {
    if (stdcall_callback) {
        return call_stdcall(reinterpret_cast<stdcall_tx_callback>(callback), channel, byte);
    }
    return call_cdecl(callback, channel, byte);
}

} // namespace vxbt
