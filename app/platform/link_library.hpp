#pragma once

#include <QString>

#include <cstdint>
#include <optional>

#include "winvxbt.h"

namespace vxorv {

// The link protocol library, bound by file name at run time. Each function is
// bound at its first call; when the library or the function cannot be bound,
// the call returns nullopt and bindingError() says why (the file name and the
// loader's reason).
class LinkLibrary {
  public:
    virtual ~LinkLibrary() = default;

    virtual std::optional<std::uint16_t> VXBT_init(std::uint8_t channel,
                                                   std::uint16_t max_message_length,
                                                   std::uint16_t max_queued, std::uint8_t auto_ack,
                                                   std::uint8_t stdcall_callback,
                                                   vxbt_tx_callback tx_callback) = 0;
    virtual std::optional<std::uint16_t> VXBT_close(std::uint8_t channel) = 0;
    virtual std::optional<std::uint16_t>
    VXBT_get_ver(std::uint8_t* ver_major, std::uint8_t* ver_minor, std::uint8_t* ver_build) = 0;
    virtual std::optional<std::uint16_t> VXBT_rx_msg_cnt(std::uint8_t channel) = 0;
    virtual std::optional<std::uint16_t> VXBT_get_msg(std::uint8_t channel, std::uint8_t* dst) = 0;
    virtual std::optional<std::uint16_t> VXBT_send_ack(std::uint8_t channel) = 0;
    virtual std::optional<std::uint16_t> VXBT_send_nack(std::uint8_t channel) = 0;
    virtual std::optional<std::uint16_t> VXBT_rx_byte(std::uint8_t channel, std::uint8_t byte) = 0;

    virtual QString bindingError() const = 0;
};

} // namespace vxorv
