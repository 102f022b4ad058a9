// The eight exports, the channel table and the library-wide transmit callback.
#include "channel.hpp"

#include <cstdlib>

namespace vxbt {
namespace {

constinit Library g_library{};

constexpr std::uint8_t version_major = 2;
constexpr std::uint8_t version_minor = 0;
constexpr std::uint8_t version_build = 0;

void store_version(std::uint8_t* out, std::uint8_t value) {
    if (out != nullptr) {
        *out = value;
    }
}

bool is_channel(std::uint8_t channel) { return channel < VXBT_MAX_CHANNELS; }

// Resets the record for a new opening; fields not named here are set once
// the parameters have been accepted.
void reset_record(vxbt_channel& ch, std::uint8_t channel, std::uint16_t max_message_length,
                  std::uint16_t max_queued, std::uint8_t auto_ack) {
    ch.queue_head = nullptr;
    ch.assembly_buffer = nullptr;
    ch.expected_seq = 0;
    ch.fragment_active = 0;
    ch.fragment_length = 0;
    ch.field_index = 0;
    ch.frame_length = 0;
    ch.frame_seq = 0;
    ch.channel = channel;
    ch.auto_ack = auto_ack;
    ch.max_message_length = max_message_length;
    ch.max_queued = max_queued;
    ch.open = 0;
}

std::uint16_t open_channel(std::uint8_t channel, std::uint16_t max_message_length,
                           std::uint16_t max_queued, std::uint8_t auto_ack) {
    if (!is_channel(channel)) {
        return VXBT_ERR_NOT_CONNECTED;
    }
    vxbt_channel& ch = g_library.channels[channel];
    if (ch.open) {
        return VXBT_ERR_STATE; // queue, receiver and parameters stay as they were
    }
    reset_record(ch, channel, max_message_length, max_queued, auto_ack);
    if (max_queued == 0 || max_queued > VXBT_MAX_QUEUED || max_message_length == 0 ||
        max_message_length > VXBT_MAX_MESSAGE) {
        return VXBT_ERR_PARAM;
    }
    ch.auto_ack = auto_ack != 0 ? 1 : 0;
    // Always the full size, whatever max_message_length is.
    ch.assembly_buffer = static_cast<std::uint8_t*>(std::malloc(assembly_buffer_size));
    if (ch.assembly_buffer == nullptr) {
        return VXBT_ERR_NO_MEMORY;
    }
    ch.queued_count.store(0, std::memory_order_relaxed);
    ch.rx_state = RX_WAIT_STX;
    ch.seq_synced = 0;
    ch.open = 1;
    return VXBT_OK;
}

std::uint16_t send_reply(std::uint8_t channel, std::uint8_t byte) {
    if (!is_channel(channel) || !g_library.channels[channel].open) {
        return VXBT_ERR_STATE;
    }
    return vxbt_transmit(channel, byte);
}

} // namespace

Library& library() noexcept { return g_library; }

std::uint16_t vxbt_transmit(std::uint8_t channel, std::uint8_t byte) noexcept {
    const vxbt_tx_callback callback = g_library.tx_callback.load(std::memory_order_acquire);
    if (callback == nullptr) {
        return VXBT_ERR_PARAM;
    }
    return call_tx_callback(callback, g_library.stdcall_callback.load(std::memory_order_relaxed),
                            channel, byte);
}

} // namespace vxbt

using namespace vxbt;

extern "C" {

VXBT_API std::uint16_t VXBT_CALL VXBT_init(std::uint8_t channel, std::uint16_t max_message_length,
                                           std::uint16_t max_queued, std::uint8_t auto_ack,
                                           std::uint8_t stdcall_callback,
                                           vxbt_tx_callback tx_callback) {
    if (tx_callback == nullptr) {
        return VXBT_ERR_PARAM;
    }
    // Registered before the channel is examined, so also when opening fails.
    g_library.stdcall_callback.store(stdcall_callback != 0 ? 1 : 0, std::memory_order_relaxed);
    g_library.tx_callback.store(tx_callback, std::memory_order_release);
    // The lock is static and always usable: there is nothing to create on success.
    return open_channel(channel, max_message_length, max_queued, auto_ack);
}

VXBT_API std::uint16_t VXBT_CALL VXBT_close(std::uint8_t channel) {
    if (!is_channel(channel) || !g_library.channels[channel].open) {
        return VXBT_ERR_STATE;
    }
    vxbt_channel& ch = g_library.channels[channel];
    free_queue(ch);
    std::free(ch.assembly_buffer);
    ch.assembly_buffer = nullptr;
    ch.open = 0;
    return VXBT_OK;
}

VXBT_API std::uint16_t VXBT_CALL VXBT_get_ver(std::uint8_t* ver_major, std::uint8_t* ver_minor,
                                              std::uint8_t* ver_build) {
    store_version(ver_major, version_major);
    store_version(ver_minor, version_minor);
    store_version(ver_build, version_build);
    return VXBT_OK;
}

VXBT_API std::uint16_t VXBT_CALL VXBT_rx_msg_cnt(std::uint8_t channel) {
    if (!is_channel(channel) || !g_library.channels[channel].open) {
        return 0;
    }
    return g_library.channels[channel].queued_count.load(std::memory_order_relaxed);
}

VXBT_API std::uint16_t VXBT_CALL VXBT_get_msg(std::uint8_t channel, std::uint8_t* dst) {
    if (!is_channel(channel) || dst == nullptr) {
        return 0;
    }
    LockGuard guard(g_library.locks[channel]);
    return take_message(g_library.channels[channel], dst);
}

VXBT_API std::uint16_t VXBT_CALL VXBT_send_ack(std::uint8_t channel) {
    return send_reply(channel, ACK);
}

VXBT_API std::uint16_t VXBT_CALL VXBT_send_nack(std::uint8_t channel) {
    return send_reply(channel, NAK);
}

VXBT_API std::uint16_t VXBT_CALL VXBT_rx_byte(std::uint8_t channel, std::uint8_t byte) {
    if (!is_channel(channel)) {
        return VXBT_ERR_STATE;
    }
    LockGuard guard(g_library.locks[channel]);
    vxbt_channel& ch = g_library.channels[channel];
    if (!ch.open) {
        return VXBT_ERR_STATE;
    }
    return receive_byte(ch, byte);
}

} // extern "C"
