// The byte-at-a-time frame receiver: one function per state, a dispatcher
// that only switches, and the completion of a frame at its closing CR.
#include "channel.hpp"
#include "crc.hpp"

namespace vxbt {
namespace {

void reply(const vxbt_channel& ch, std::uint8_t byte) {
    if (ch.auto_ack) {
        vxbt_transmit(ch.channel, byte); // a failed reply is not repeated and changes nothing
    }
}

void start_frame(vxbt_channel& ch) {
    ch.field_index = 0;
    ch.crc = VXBT_CRC_INIT;
    ch.rx_state = RX_LENGTH;
}

void crc_step(vxbt_channel& ch, std::uint8_t byte) { ch.crc = crc_update(ch.crc, byte); }

std::uint16_t on_wait_stx(vxbt_channel& ch, std::uint8_t byte) {
    if (byte != STX) {
        return VXBT_ERR_FRAME;
    }
    start_frame(ch);
    return VXBT_OK;
}

// Both LEN bytes pass through frame_buffer[0..1]. A length outside 5..327 is
// refused before any payload byte is stored, which bounds every later store.
std::uint16_t on_length(vxbt_channel& ch, std::uint8_t byte) {
    crc_step(ch, byte);
    ch.frame_buffer[ch.field_index++] = byte;
    if (ch.field_index < 2) {
        return VXBT_OK;
    }
    ch.field_index = 0;
    ch.frame_length = static_cast<std::uint16_t>(ch.frame_buffer[0] << 8 | ch.frame_buffer[1]);
    if (ch.frame_length < min_frame_length || ch.frame_length > max_frame_length) {
        ch.rx_state = RX_RESYNC_CR; // no reply: the sender cannot be told which frame this was
        return VXBT_ERR_FRAME;
    }
    ch.rx_state = RX_CTRL;
    return VXBT_OK;
}

std::uint16_t on_ctrl(vxbt_channel& ch, std::uint8_t byte) {
    crc_step(ch, byte);
    ch.frame_ctrl = byte;
    ch.rx_state = RX_SEQ;
    return VXBT_OK;
}

std::uint16_t on_seq(vxbt_channel& ch, std::uint8_t byte) {
    crc_step(ch, byte);
    ch.frame_seq = byte;
    ch.rx_state = ch.frame_length == min_frame_length ? RX_CRC : RX_PAYLOAD;
    return VXBT_OK;
}

std::uint16_t on_payload(vxbt_channel& ch, std::uint8_t byte) {
    crc_step(ch, byte);
    ch.frame_buffer[ch.field_index++] = byte;
    if (ch.field_index == ch.frame_length - min_frame_length) {
        ch.field_index = 0;
        ch.rx_state = RX_CRC;
    }
    return VXBT_OK;
}

std::uint16_t on_crc(vxbt_channel& ch, std::uint8_t byte) {
    crc_step(ch, byte); // the CRC bytes are checked through the register, not stored
    if (++ch.field_index == 2) {
        ch.field_index = 0;
        ch.rx_state = RX_TERMINATOR;
    }
    return VXBT_OK;
}

// Out of line: it runs once per frame, and keeping it out of the per-byte
// path spares that path the register saves that frame handling needs.
[[gnu::noinline]] std::uint16_t complete_frame(vxbt_channel& ch) {
    ch.rx_state = RX_WAIT_STX;
    if (ch.crc != 0) {
        reply(ch, NAK); // sequence state untouched: the frame sent again is accepted
        return VXBT_ERR_CRC;
    }
    const auto payload_length = static_cast<std::uint16_t>(ch.frame_length - min_frame_length);
    const std::uint16_t outcome =
        vxbt_handle_frame(ch, ch.frame_buffer, payload_length, ch.frame_ctrl, ch.frame_seq);
    switch (outcome) {
    case VXBT_OK:
    case VXBT_ERR_DUPLICATE:
        reply(ch, ACK);
        return outcome;
    case VXBT_ERR_NO_MEMORY:
    case VXBT_ERR_FRAGMENT:
        reply(ch, NAK);
        return outcome;
    case VXBT_ERR_TOO_LONG:
        return outcome;
    default:
        return VXBT_ERR_NOT_CONNECTED;
    }
}

std::uint16_t on_terminator(vxbt_channel& ch, std::uint8_t byte) {
    if (byte == CR) {
        return complete_frame(ch);
    }
    ch.rx_state = RX_RESYNC_CR;
    reply(ch, NAK);
    return VXBT_ERR_FRAME;
}

// After a frame error bytes are dropped until a CR immediately followed by STX.
std::uint16_t on_resync_cr(vxbt_channel& ch, std::uint8_t byte) {
    if (byte != CR) {
        return VXBT_ERR_FRAME;
    }
    ch.rx_state = RX_RESYNC_STX;
    return VXBT_OK;
}

std::uint16_t on_resync_stx(vxbt_channel& ch, std::uint8_t byte) {
    if (byte != STX) {
        ch.rx_state = RX_RESYNC_CR;
        return VXBT_ERR_FRAME;
    }
    start_frame(ch);
    return VXBT_OK;
}

} // namespace

std::uint16_t receive_byte(vxbt_channel& ch, std::uint8_t byte) noexcept {
    switch (ch.rx_state) {
    case RX_WAIT_STX:
        return on_wait_stx(ch, byte);
    case RX_LENGTH:
        return on_length(ch, byte);
    case RX_CTRL:
        return on_ctrl(ch, byte);
    case RX_SEQ:
        return on_seq(ch, byte);
    case RX_PAYLOAD:
        return on_payload(ch, byte);
    case RX_CRC:
        return on_crc(ch, byte);
    case RX_TERMINATOR:
        return on_terminator(ch, byte);
    case RX_RESYNC_CR:
        return on_resync_cr(ch, byte);
    case RX_RESYNC_STX:
        return on_resync_stx(ch, byte);
    default:
        return VXBT_ERR_NOT_CONNECTED;
    }
}

} // namespace vxbt
