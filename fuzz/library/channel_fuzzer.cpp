// Drives random sequences of library calls on several channels and checks the
// channel invariants after every call. Besides raw bytes, the input can ask
// for well-formed frames (valid CRC, chosen control and sequence bytes,
// optionally one damaged byte), so that the sequence, fragment and queue rules
// are reached, not just the CRC check.
#include "channel.hpp"
#include "frame_encoder.hpp"
#include "winvxbt.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

using vxbt::library;
using vxbt::vxbt_channel;

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "invariant failed: %s (line %d)\n", #condition, __LINE__);        \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

class Input {
  public:
    Input(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    bool empty() const { return m_pos >= m_size; }
    std::uint8_t byte() { return empty() ? 0 : m_data[m_pos++]; }
    std::uint16_t u16() { return static_cast<std::uint16_t>(byte() << 8 | byte()); }

  private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

// What the transmit callbacks saw during the current call.
int g_replies_in_call = 0;
bool g_take_in_callback = false;

void note_reply(std::uint8_t channel, std::uint8_t byte) {
    FUZZ_CHECK(byte == vxbt::ACK || byte == vxbt::NAK);
    FUZZ_CHECK(channel < VXBT_MAX_CHANNELS);
    ++g_replies_in_call;
}

std::uint16_t plain_callback(std::uint8_t channel, std::uint8_t byte) {
    note_reply(channel, byte);
    return static_cast<std::uint16_t>(byte == vxbt::ACK ? VXBT_OK : VXBT_ERR_NOT_CONNECTED);
}

// Re-enters the library on the same channel, under the lock the receiver holds.
std::uint16_t reentrant_callback(std::uint8_t channel, std::uint8_t byte) {
    note_reply(channel, byte);
    if (g_take_in_callback) {
        std::vector<std::uint8_t> dst(library().channels[channel].max_message_length);
        FUZZ_CHECK(VXBT_get_msg(channel, dst.data()) <= dst.size());
    }
    return VXBT_OK;
}

// The same callbacks in the convention that `stdcall_callback` 1 promises (stdcall
// on 32-bit Windows, the one convention elsewhere): each flag gets its match.
template <std::uint16_t (*Callback)(std::uint8_t, std::uint8_t)>
std::uint16_t VXBT_CALL stdcall_variant(std::uint8_t channel, std::uint8_t byte) {
    return Callback(channel, byte);
}

std::size_t reachable_nodes(const vxbt_channel& ch) {
    std::size_t n = 0;
    for (const vxbt::vxbt_msg_node* node = ch.queue_head; node != nullptr; node = node->next) {
        FUZZ_CHECK(node->length <= ch.max_message_length);
        FUZZ_CHECK((node->length == 0) == (node->data == nullptr));
        ++n;
    }
    return n;
}

void check_invariants() {
    for (const vxbt_channel& ch : library().channels) {
        if (!ch.open) {
            FUZZ_CHECK(ch.queue_head == nullptr && ch.assembly_buffer == nullptr);
            continue;
        }
        FUZZ_CHECK(ch.assembly_buffer != nullptr);
        FUZZ_CHECK(ch.max_queued >= 1 && ch.max_queued <= VXBT_MAX_QUEUED);
        FUZZ_CHECK(ch.max_message_length >= 1 && ch.max_message_length <= VXBT_MAX_MESSAGE);
        FUZZ_CHECK(ch.queued_count == reachable_nodes(ch));
        FUZZ_CHECK(ch.queued_count <= ch.max_queued);
        FUZZ_CHECK(ch.fragment_length <= ch.max_message_length);
        FUZZ_CHECK(ch.auto_ack <= 1);
        FUZZ_CHECK(ch.rx_state <= vxbt::RX_RESYNC_STX);
    }
}

bool is_open(std::uint8_t channel) {
    return channel < VXBT_MAX_CHANNELS && library().channels[channel].open;
}

void rx_byte(std::uint8_t channel, std::uint8_t byte) {
    g_replies_in_call = 0;
    const std::uint16_t result = VXBT_rx_byte(channel, byte);
    FUZZ_CHECK(result != VXBT_ERR_PARAM && result != VXBT_ERR_NOT_CONNECTED);
    FUZZ_CHECK((result == VXBT_ERR_STATE) == !is_open(channel));
    FUZZ_CHECK(g_replies_in_call <= 1);
    if (is_open(channel) && !library().channels[channel].auto_ack) {
        FUZZ_CHECK(g_replies_in_call == 0);
    }
}

void feed(std::uint8_t channel, const std::vector<std::uint8_t>& bytes) {
    for (std::uint8_t b : bytes) {
        rx_byte(channel, b);
        check_invariants();
    }
}

void do_init(std::uint8_t channel, Input& in) {
    static constexpr std::uint16_t lengths[] = {0, 1, 3, 100, 322, 600, 4096, 4097};
    const std::uint8_t length_choice = in.byte();
    const std::uint16_t max_length = length_choice & 0x80 ? in.u16() : lengths[length_choice % 8];
    const std::uint8_t queued_choice = in.byte();
    const std::uint16_t max_queued = queued_choice & 0x80
                                         ? static_cast<std::uint16_t>((queued_choice & 0x7F) * 4)
                                         : static_cast<std::uint16_t>(queued_choice & 0x07);
    const std::uint8_t flags = in.byte();
    const bool stdcall = flags & 0x02;
    const vxbt_tx_callback callbacks[] = {
        nullptr,
        stdcall ? reinterpret_cast<vxbt_tx_callback>(stdcall_variant<plain_callback>)
                : plain_callback,
        stdcall ? reinterpret_cast<vxbt_tx_callback>(stdcall_variant<reentrant_callback>)
                : reentrant_callback};
    g_take_in_callback = flags & 0x40;
    const std::uint16_t result =
        VXBT_init(channel, max_length, max_queued, flags & 0x01 ? flags : 0, stdcall,
                  callbacks[(flags >> 2) % 3]);
    FUZZ_CHECK(result <= VXBT_ERR_NO_MEMORY || result == VXBT_ERR_NOT_CONNECTED);
    FUZZ_CHECK((result == VXBT_ERR_NOT_CONNECTED) ==
               (channel >= VXBT_MAX_CHANNELS && (flags >> 2) % 3 != 0));
}

std::uint8_t sequence_for(std::uint8_t channel, Input& in) {
    const std::uint8_t choice = in.byte();
    if (choice & 0x80 || !is_open(channel)) {
        return in.byte();
    }
    // Mostly near the expected number: repeats, the expected frame, small gaps.
    return static_cast<std::uint8_t>(library().channels[channel].expected_seq + (choice & 0x07) -
                                     2);
}

std::vector<std::uint8_t> payload_from(Input& in, std::size_t n) {
    std::vector<std::uint8_t> payload(n);
    for (std::size_t i = 0; i < n; ++i) {
        payload[i] = in.empty() ? static_cast<std::uint8_t>(i) : in.byte();
    }
    return payload;
}

void do_frame(std::uint8_t channel, Input& in) {
    const std::uint8_t ctrl = in.byte();
    const std::uint8_t seq = sequence_for(channel, in);
    const std::size_t n = std::min<std::size_t>(in.byte() * 2u, vxbt::frame_buffer_size);
    const std::uint8_t damage = in.byte();
    std::vector<std::uint8_t> frame = vxbt::encode_frame(ctrl, seq, payload_from(in, n));
    if (damage < 32) {
        frame[in.byte() % frame.size()] ^= static_cast<std::uint8_t>(1u << (damage % 8));
    }
    feed(channel, frame);
}

// One message cut into fragments of a chosen size, in consecutive numbers.
void do_fragmented_message(std::uint8_t channel, Input& in) {
    const std::size_t total = in.u16() % 4200u;
    const std::size_t piece = 1 + in.byte() * (vxbt::frame_buffer_size - 1) / 255; // 1..322
    std::uint8_t seq = sequence_for(channel, in);
    const std::vector<std::uint8_t> message = payload_from(in, total);
    std::size_t offset = 0;
    do {
        const std::size_t n = std::min(piece, total - offset);
        const bool first = offset == 0, last = offset + n == total;
        const auto ctrl = static_cast<std::uint8_t>(0x08 | (last ? 0 : 0x10) | (first ? 0 : 0x20));
        feed(channel, vxbt::encode_frame(ctrl, seq++, {message.data() + offset, n}));
        offset += n;
    } while (offset < total);
}

void do_get_msg(std::uint8_t channel) {
    const std::uint16_t capacity =
        is_open(channel) ? library().channels[channel].max_message_length : std::uint16_t{1};
    const auto dst = std::make_unique<std::uint8_t[]>(capacity); // exact size: overruns are caught
    const std::uint16_t before = VXBT_rx_msg_cnt(channel);
    const std::uint16_t n = VXBT_get_msg(channel, dst.get());
    FUZZ_CHECK(n <= capacity);
    FUZZ_CHECK(VXBT_rx_msg_cnt(channel) == (before > 0 ? before - 1 : 0));
}

void do_reply(std::uint8_t channel, bool positive) {
    g_replies_in_call = 0;
    const std::uint16_t result = positive ? VXBT_send_ack(channel) : VXBT_send_nack(channel);
    if (!is_open(channel)) {
        FUZZ_CHECK(result == VXBT_ERR_STATE && g_replies_in_call == 0);
    } else {
        FUZZ_CHECK(g_replies_in_call == 1);
    }
}

void run_operation(Input& in) {
    const std::uint8_t op = in.byte();
    const auto channel = static_cast<std::uint8_t>((op >> 4) % 8); // 7 is out of range
    switch (op % 10) {
    case 0:
        do_init(channel, in);
        break;
    case 1: {
        const bool was_open = is_open(channel);
        FUZZ_CHECK((VXBT_close(channel) == VXBT_OK) == was_open);
        break;
    }
    case 2:
        rx_byte(channel, in.byte());
        break;
    case 3:
        feed(channel, payload_from(in, in.byte()));
        break;
    case 4:
        do_frame(channel, in);
        break;
    case 5:
        do_get_msg(channel);
        break;
    case 6:
        FUZZ_CHECK(VXBT_rx_msg_cnt(channel) ==
                   (is_open(channel) ? library().channels[channel].queued_count.load() : 0));
        break;
    case 7:
        do_reply(channel, op & 0x80);
        break;
    case 8: {
        std::uint8_t version[3] = {};
        FUZZ_CHECK(VXBT_get_ver(&version[0], &version[1], &version[2]) == VXBT_OK &&
                   version[0] == 2);
        break;
    }
    case 9:
        do_fragmented_message(channel, in);
        break;
    }
    check_invariants();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    while (!in.empty()) {
        run_operation(in);
    }
    // Every input starts from closed channels, so leaks show per input.
    for (std::uint8_t ch = 0; ch < VXBT_MAX_CHANNELS; ++ch) {
        VXBT_close(ch);
    }
    check_invariants();
    return 0;
}
