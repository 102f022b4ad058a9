// Sequence numbering, fragment reassembly and the message queue of a channel.
#include "channel.hpp"

#include <cstdlib>
#include <cstring>

namespace vxbt {
namespace {

enum class Role { whole, first, middle, last };

Role role_of(std::uint8_t ctrl) {
    const bool more = ctrl & ctrl_more;
    const bool cont = ctrl & ctrl_cont;
    if (cont) {
        return more ? Role::middle : Role::last;
    }
    return more ? Role::first : Role::whole;
}

void advance(vxbt_channel& ch, std::uint8_t seq) { ch.expected_seq = static_cast<std::uint8_t>(seq + 1); }

// Computed in int, so that 4096 + 322 cannot wrap.
bool exceeds_limit(const vxbt_channel& ch, int length) { return length > ch.max_message_length; }

std::uint16_t whole_message(vxbt_channel& ch, const std::uint8_t* payload, std::uint16_t n,
                            std::uint8_t seq) {
    ch.fragment_active = 0;
    if (exceeds_limit(ch, n)) {
        advance(ch, seq);
        return VXBT_ERR_TOO_LONG;
    }
    if (!vxbt_enqueue(ch, payload, n)) {
        return VXBT_ERR_NO_MEMORY; // not advanced: the same frame sent again is accepted
    }
    advance(ch, seq);
    return VXBT_OK;
}

std::uint16_t first_fragment(vxbt_channel& ch, const std::uint8_t* payload, std::uint16_t n,
                             std::uint8_t seq) {
    if (exceeds_limit(ch, n)) {
        ch.fragment_active = 0;
        advance(ch, seq);
        return VXBT_ERR_TOO_LONG;
    }
    std::memcpy(ch.assembly_buffer, payload, n);
    ch.fragment_length = n;
    ch.fragment_active = 1;
    ch.first_fragment_seq = seq;
    advance(ch, seq);
    return VXBT_OK;
}

// The checks shared by middle and last fragments, in their order. Returns
// VXBT_OK when the payload may be appended.
std::uint16_t check_continuation(vxbt_channel& ch, std::uint16_t n, std::uint8_t seq, bool gap) {
    if (gap) {
        return VXBT_ERR_FRAGMENT; // a reassembly in progress stays in progress
    }
    if (exceeds_limit(ch, ch.fragment_length + n)) {
        ch.fragment_active = 0;
        advance(ch, seq);
        return VXBT_ERR_TOO_LONG;
    }
    if (!ch.fragment_active) {
        return VXBT_ERR_FRAGMENT;
    }
    return VXBT_OK;
}

void append_fragment(vxbt_channel& ch, const std::uint8_t* payload, std::uint16_t n) {
    std::memcpy(ch.assembly_buffer + ch.fragment_length, payload, n);
    ch.fragment_length = static_cast<std::uint16_t>(ch.fragment_length + n);
}

std::uint16_t middle_fragment(vxbt_channel& ch, const std::uint8_t* payload, std::uint16_t n,
                              std::uint8_t seq, bool gap) {
    if (const std::uint16_t refused = check_continuation(ch, n, seq, gap)) {
        return refused;
    }
    append_fragment(ch, payload, n);
    advance(ch, seq);
    return VXBT_OK;
}

std::uint16_t last_fragment(vxbt_channel& ch, const std::uint8_t* payload, std::uint16_t n,
                            std::uint8_t seq, bool gap) {
    if (const std::uint16_t refused = check_continuation(ch, n, seq, gap)) {
        return refused;
    }
    ch.fragment_active = 0;
    append_fragment(ch, payload, n);
    if (!vxbt_enqueue(ch, ch.assembly_buffer, ch.fragment_length)) {
        ch.expected_seq = ch.first_fragment_seq; // the whole message must come again
        return VXBT_ERR_NO_MEMORY;
    }
    advance(ch, seq);
    return VXBT_OK;
}

} // namespace

std::uint16_t vxbt_handle_frame(vxbt_channel& ch, const std::uint8_t* payload, std::uint16_t n,
                                std::uint8_t ctrl, std::uint8_t seq) noexcept {
    if (!ch.seq_synced || (ctrl & ctrl_kind_mask) == kind_seq_restart) {
        ch.expected_seq = seq;
        ch.seq_synced = 1;
    }
    // 0: expected; 1..127: ahead (frames were lost); 128..255: behind (sent before).
    const auto distance = static_cast<std::uint8_t>(seq - ch.expected_seq);
    if (distance >= 128) {
        return VXBT_ERR_DUPLICATE;
    }
    const bool gap = distance != 0;
    if (!(ctrl & ctrl_data)) {
        advance(ch, seq); // consumes its sequence number only
        return VXBT_OK;
    }
    switch (role_of(ctrl)) {
    case Role::whole:
        return whole_message(ch, payload, n, seq);
    case Role::first:
        return first_fragment(ch, payload, n, seq);
    case Role::middle:
        return middle_fragment(ch, payload, n, seq, gap);
    case Role::last:
        return last_fragment(ch, payload, n, seq, gap);
    }
    return VXBT_ERR_NOT_CONNECTED;
}

bool vxbt_enqueue(vxbt_channel& ch, const std::uint8_t* bytes, std::uint16_t length) noexcept {
    if (ch.queued_count.load(std::memory_order_relaxed) >= ch.max_queued) {
        return false;
    }
    auto* node = static_cast<vxbt_msg_node*>(std::malloc(sizeof(vxbt_msg_node)));
    // An empty message has no data block; malloc(0) may answer null, which is no failure.
    auto* data = length > 0 ? static_cast<std::uint8_t*>(std::malloc(length)) : nullptr;
    if (node == nullptr || (length > 0 && data == nullptr)) {
        std::free(data);
        std::free(node);
        return false;
    }
    if (length > 0) {
        std::memcpy(data, bytes, length);
    }
    *node = vxbt_msg_node{data, length, nullptr};
    vxbt_msg_node** tail = &ch.queue_head;
    while (*tail != nullptr) {
        tail = &(*tail)->next;
    }
    *tail = node;
    ch.queued_count.fetch_add(1, std::memory_order_relaxed);
    return true;
}

std::uint16_t take_message(vxbt_channel& ch, std::uint8_t* dst) noexcept {
    vxbt_msg_node* node = ch.queue_head;
    if (ch.queued_count.load(std::memory_order_relaxed) == 0 || node == nullptr) {
        return 0;
    }
    const std::uint16_t length = node->length;
    if (length > 0) {
        std::memcpy(dst, node->data, length);
    }
    ch.queued_count.fetch_sub(1, std::memory_order_relaxed);
    ch.queue_head = node->next;
    std::free(node->data);
    std::free(node);
    return length;
}

void free_queue(vxbt_channel& ch) noexcept {
    while (vxbt_msg_node* node = ch.queue_head) {
        ch.queue_head = node->next;
        std::free(node->data);
        std::free(node);
    }
    ch.queued_count.store(0, std::memory_order_relaxed);
}

} // namespace vxbt
