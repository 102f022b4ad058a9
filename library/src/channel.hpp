#pragma once

#include "reentrant_lock.hpp"
#include "winvxbt.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace vxbt {

constexpr std::uint8_t STX = 0x02;
constexpr std::uint8_t CR = 0x0D;
constexpr std::uint8_t ACK = 0x06;
constexpr std::uint8_t NAK = 0x15;

constexpr std::uint16_t min_frame_length = 5;   // LEN of a frame with an empty payload
constexpr std::uint16_t max_frame_length = 327; // LEN of a frame with the largest payload
constexpr std::size_t frame_buffer_size = max_frame_length - min_frame_length;
constexpr std::size_t assembly_buffer_size = VXBT_MAX_MESSAGE;

constexpr std::uint8_t ctrl_kind_mask = 0x07;
constexpr std::uint8_t kind_seq_restart = 1;
constexpr std::uint8_t ctrl_data = 0x08;
constexpr std::uint8_t ctrl_more = 0x10;
constexpr std::uint8_t ctrl_cont = 0x20;

// What the frame receiver waits for; the values are those of rx_state.
enum RxState : std::uint32_t {
    RX_WAIT_STX = 0,   // STX opening the next frame
    RX_LENGTH = 1,     // the two LEN bytes
    RX_CTRL = 2,       // the control byte
    RX_SEQ = 3,        // the sequence byte
    RX_PAYLOAD = 4,    // LEN - 5 payload bytes
    RX_CRC = 5,        // the two CRC bytes
    RX_TERMINATOR = 6, // the closing CR
    RX_RESYNC_CR = 7,  // after a frame error: a CR
    RX_RESYNC_STX = 8, // after that CR: STX (anything else goes back to RX_RESYNC_CR)
};

// One queued message: a heap block of exactly `length` bytes (none for an
// empty message), oldest first from the channel's queue_head.
struct vxbt_msg_node {
    std::uint8_t* data;
    std::uint16_t length;
    vxbt_msg_node* next;
};

// The state of one channel. All zero is a closed channel.
struct vxbt_channel {
    std::uint8_t open;
    vxbt_msg_node* queue_head;
    std::uint8_t* assembly_buffer; // assembly_buffer_size bytes while open
    // Written under the channel's lock, read without it by VXBT_rx_msg_cnt.
    std::atomic<std::uint16_t> queued_count;
    std::uint32_t rx_state;
    std::uint8_t seq_synced;
    std::uint8_t expected_seq;
    std::uint8_t fragment_active;
    std::uint16_t fragment_length; // kept after a reassembly ends: it still counts in size tests
    std::uint8_t first_fragment_seq;
    std::uint16_t field_index;
    std::uint8_t frame_buffer[frame_buffer_size]; // payload; also the LEN bytes while they arrive
    std::uint16_t frame_length;
    std::uint8_t frame_ctrl;
    std::uint8_t frame_seq;
    std::uint16_t crc;
    std::uint8_t channel;
    std::uint16_t max_queued;
    std::uint16_t max_message_length;
    std::uint8_t auto_ack;
};

// Library-wide state, zero at load.
struct Library {
    vxbt_channel channels[VXBT_MAX_CHANNELS];
    ReentrantLock locks[VXBT_MAX_CHANNELS];
    std::atomic<vxbt_tx_callback> tx_callback;
    std::atomic<std::uint8_t> stdcall_callback;
};

Library& library() noexcept;

// Hands one byte to the registered transmit callback; VXBT_ERR_PARAM when none is.
std::uint16_t vxbt_transmit(std::uint8_t channel, std::uint8_t byte) noexcept;

// Calls the callback with the convention the flag selects (one file per platform).
std::uint16_t call_tx_callback(vxbt_tx_callback callback, std::uint8_t stdcall_callback,
                               std::uint8_t channel, std::uint8_t byte) noexcept;

// The frame receiver: one byte, with the channel's lock held.
std::uint16_t receive_byte(vxbt_channel& ch, std::uint8_t byte) noexcept;

// Applies the sequence and fragment rules to a frame that passed its CRC.
// Outcomes: VXBT_OK, VXBT_ERR_NO_MEMORY, VXBT_ERR_FRAGMENT, VXBT_ERR_TOO_LONG, VXBT_ERR_DUPLICATE.
std::uint16_t vxbt_handle_frame(vxbt_channel& ch, const std::uint8_t* payload, std::uint16_t n,
                                std::uint8_t ctrl, std::uint8_t seq) noexcept;

// Appends a copy of a complete message; false (queue unchanged) when the
// queue is full or memory ran out.
bool vxbt_enqueue(vxbt_channel& ch, const std::uint8_t* bytes, std::uint16_t length) noexcept;

// Moves the oldest message to dst and returns its length; 0 when none waits.
std::uint16_t take_message(vxbt_channel& ch, std::uint8_t* dst) noexcept;

// Frees every queued message.
void free_queue(vxbt_channel& ch) noexcept;

} // namespace vxbt
