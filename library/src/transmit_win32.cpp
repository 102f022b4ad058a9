// 32-bit Windows: the flag selects between the stdcall and the C convention.
#include "channel.hpp"

namespace vxbt {

using stdcall_tx_callback = std::uint16_t(__stdcall*)(std::uint8_t channel, std::uint8_t byte);

std::uint16_t call_tx_callback(vxbt_tx_callback callback, std::uint8_t stdcall_callback,
                               std::uint8_t channel, std::uint8_t byte) noexcept {
    if (stdcall_callback) {
        return reinterpret_cast<stdcall_tx_callback>(callback)(channel, byte);
    }
    return callback(channel, byte);
}

} // namespace vxbt
