// One calling convention on this platform: the flag is kept but both values
// call the callback the same way.
#include "channel.hpp"

namespace vxbt {

std::uint16_t call_tx_callback(vxbt_tx_callback callback, std::uint8_t /*stdcall_callback*/,
                               std::uint8_t channel, std::uint8_t byte) noexcept {
    return callback(channel, byte);
}

} // namespace vxbt
