/*
 * winvxbt - link protocol library of the VXORV keyboard wedge.
 *
 * The library turns the raw bytes that a remote data-collection device sends on
 * a serial line into checked, acknowledged and reassembled messages, and keeps
 * complete messages queued until the application takes them. It does no input
 * or output of its own: the application feeds it every received byte, one call
 * per byte, and the library hands each one-byte reply (ACK 0x06 or NAK 0x15)
 * back through a transmit callback.
 *
 * Up to VXBT_MAX_CHANNELS independent links ("channels", numbered 0..6) are
 * served; each has its own state, queue and lock. Only the transmit callback and
 * its calling-convention flag are shared by all channels.
 *
 * Wire format of one frame (no byte stuffing; the payload is found by counting):
 *
 *   STX(0x02) LEN_hi LEN_lo CTRL SEQ PAYLOAD[LEN-5] CRC_hi CRC_lo CR(0x0D)
 *
 *   LEN   payload length + 5, accepted 5..327 (payload 0..322 bytes).
 *   CTRL  bits 0-2 kind (1 restarts sequence numbering at this frame's SEQ),
 *         bit 3 (0x08) payload is message data, bit 4 (0x10) more fragments
 *         follow, bit 5 (0x20) continues an earlier frame.
 *   SEQ   8-bit sequence number, one per frame, wrapping 255 -> 0.
 *   CRC   CRC-16, polynomial 0x1021, MSB first, initial VXBT_CRC_INIT, no final
 *         XOR, over LEN_hi..last payload byte, sent high byte first.
 *
 * Calling order: VXBT_init once per channel; VXBT_rx_byte for every received
 * byte, in arrival order; VXBT_rx_msg_cnt / VXBT_get_msg from time to time;
 * VXBT_send_ack / VXBT_send_nack only on a channel opened with auto_ack 0;
 * VXBT_close when the link is given up (the channel may then be opened again).
 *
 * Threads: the library starts no threads. VXBT_rx_byte and VXBT_get_msg hold
 * the channel's lock for their whole run; the lock is re-entrant, so a transmit
 * callback running inside VXBT_rx_byte may call back into the library on the
 * same channel. VXBT_rx_byte and VXBT_get_msg may be called for one channel
 * from different threads. VXBT_init, VXBT_close, VXBT_rx_msg_cnt, VXBT_get_ver,
 * VXBT_send_ack and VXBT_send_nack take no lock: the caller must not let
 * VXBT_init or VXBT_close of a channel overlap with any other call for that
 * channel, and VXBT_rx_msg_cnt reads a count that may change right after.
 * Different channels share nothing but the transmit callback.
 *
 * Memory: the library owns every channel's buffers and queued messages and
 * frees them in VXBT_close. A channel never holds more than its 4096-byte
 * reassembly buffer plus max_queued messages of at most max_message_length
 * bytes. Messages leave the library only by copy into a caller-owned buffer.
 */
#ifndef WINVXBT_H
#define WINVXBT_H

#include <stdint.h>

/* On 32-bit Windows the exports use the stdcall convention; elsewhere there is
 * a single calling convention and this expands to nothing. */
#if defined(_WIN32) && !defined(_WIN64)
#define VXBT_CALL __stdcall
#else
#define VXBT_CALL
#endif

#if defined(WINVXBT_BUILDING) && !defined(_WIN32)
#define VXBT_API __attribute__((visibility("default")))
#else
#define VXBT_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Limits. */
#define VXBT_MAX_CHANNELS 7    /* channels 0..6 */
#define VXBT_MAX_QUEUED 255    /* largest max_queued accepted by VXBT_init */
#define VXBT_MAX_MESSAGE 4096  /* largest max_message_length accepted by VXBT_init */
#define VXBT_CRC_INIT 0x5A5A   /* initial value of the frame CRC register */

/* Result codes. Operations that return a code return 0 on success. */
#define VXBT_OK 0                /* success; for VXBT_rx_byte: byte taken, frame (if completed) accepted */
#define VXBT_ERR_PARAM 1         /* bad VXBT_init argument, or no transmit callback registered */
#define VXBT_ERR_STATE 2         /* channel already open (VXBT_init) or not open (the others) */
#define VXBT_ERR_NO_MEMORY 3     /* buffer allocation failed, or a complete message found the queue full */
#define VXBT_ERR_FRAME 4         /* framing error: stray byte, bad LEN, no CR after the CRC, resync drop */
#define VXBT_ERR_CRC 5           /* the completed frame failed its CRC */
#define VXBT_ERR_FRAGMENT 6      /* continuation fragment out of sequence or without a first fragment */
#define VXBT_ERR_TOO_LONG 7      /* the message would exceed max_message_length; frame dropped, no reply */
#define VXBT_ERR_DUPLICATE 8     /* frame received before (sequence number behind); ACKed, not queued */
#define VXBT_ERR_NOT_CONNECTED 9 /* VXBT_init: channel above 6; VXBT_rx_byte: internal state fault */

/*
 * Transmit callback: hands one reply byte (0x06 ACK or 0x15 NAK, never anything
 * else) to the link of `channel`. Returns 0 when the byte was handed over, or a
 * non-zero code when it could not be (VXORV answers VXBT_ERR_NOT_CONNECTED when
 * its port is closed).
 *
 * One callback serves all channels. It runs on the thread that called into the
 * library, before that call returns: inside VXBT_rx_byte with the channel's
 * lock held (auto_ack on), or inside VXBT_send_ack / VXBT_send_nack without it.
 * On 32-bit Windows a __stdcall callback is passed cast to this type together
 * with stdcall_callback = 1; elsewhere both flag values call it the same way.
 */
typedef uint16_t (*vxbt_tx_callback)(uint8_t channel, uint8_t byte);

/*
 * Opens `channel` (0..6).
 *   max_message_length  longest message accepted, 1..VXBT_MAX_MESSAGE bytes.
 *   max_queued          most complete messages kept waiting, 1..VXBT_MAX_QUEUED.
 *   auto_ack            non-zero: VXBT_rx_byte sends ACK/NAK itself when a frame
 *                       ends; zero: nothing is sent, the caller replies.
 *   stdcall_callback    calling convention of tx_callback (see above).
 *   tx_callback         must not be null.
 * A non-null callback and its flag are registered library-wide first, before
 * the channel is examined, and so replace the earlier ones even when the
 * channel then fails to open.
 * Returns VXBT_OK; VXBT_ERR_PARAM (null callback, which registers nothing, or
 * a limit out of range); VXBT_ERR_NOT_CONNECTED (channel above 6);
 * VXBT_ERR_STATE (already open: the channel is left exactly as it was);
 * VXBT_ERR_NO_MEMORY (reassembly buffer). On any failure the channel stays
 * closed (or, for VXBT_ERR_STATE, open and untouched) and nothing is allocated.
 */
VXBT_API uint16_t VXBT_CALL VXBT_init(uint8_t channel, uint16_t max_message_length,
                                      uint16_t max_queued, uint8_t auto_ack,
                                      uint8_t stdcall_callback, vxbt_tx_callback tx_callback);

/*
 * Closes `channel`, freeing its queued messages and buffers. The receiver and
 * sequence state are reset only by the next VXBT_init.
 * Returns VXBT_OK, or VXBT_ERR_STATE when the channel is not open (or above 6).
 */
VXBT_API uint16_t VXBT_CALL VXBT_close(uint8_t channel);

/* Writes the library version 2.0.0 to the three bytes (a null pointer is
 * skipped). Returns VXBT_OK. Needs no open channel. */
VXBT_API uint16_t VXBT_CALL VXBT_get_ver(uint8_t* ver_major, uint8_t* ver_minor,
                                         uint8_t* ver_build);

/* Number of complete messages waiting on `channel`; 0 when it is not open (or
 * above 6). Not a result code. */
VXBT_API uint16_t VXBT_CALL VXBT_rx_msg_cnt(uint8_t channel);

/*
 * Moves the oldest waiting message of `channel` into `dst` and returns its
 * length in bytes; returns 0, leaving `dst` untouched, when none is waiting
 * (always so on a closed channel or one above 6). A message may itself be
 * 0 bytes long: use VXBT_rx_msg_cnt to tell it from an empty queue. Exactly the
 * message's bytes are copied, with no terminator. `dst` must hold at least the
 * channel's max_message_length bytes; a null `dst` takes nothing and returns
 * 0. Not a result code.
 */
VXBT_API uint16_t VXBT_CALL VXBT_get_msg(uint8_t channel, uint8_t* dst);

/* Sends ACK (0x06) on `channel` through the transmit callback. Returns
 * VXBT_ERR_STATE when the channel is not open (the callback is not called),
 * VXBT_ERR_PARAM when no callback is registered, else the callback's result. */
VXBT_API uint16_t VXBT_CALL VXBT_send_ack(uint8_t channel);

/* As VXBT_send_ack, with NAK (0x15). */
VXBT_API uint16_t VXBT_CALL VXBT_send_nack(uint8_t channel);

/*
 * Feeds the next received byte of `channel`'s link to its frame receiver.
 * Returns what the byte did:
 *   VXBT_OK                 taken; a frame it completed was accepted (ACK)
 *   VXBT_ERR_STATE          the channel is not open (or above 6)
 *   VXBT_ERR_FRAME          stray byte between frames; LEN outside 5..327 (no
 *                           reply); no CR after the CRC (NAK); or a byte dropped
 *                           while resynchronising on CR then STX
 *   VXBT_ERR_CRC            frame failed its CRC (NAK)
 *   VXBT_ERR_NO_MEMORY      complete message not queued: queue full or no
 *                           memory (NAK; the sender repeats it)
 *   VXBT_ERR_FRAGMENT       continuation fragment out of sequence or with no
 *                           reassembly in progress (NAK)
 *   VXBT_ERR_TOO_LONG       message longer than max_message_length (no reply)
 *   VXBT_ERR_DUPLICATE      frame received before (ACK, not queued again)
 *   VXBT_ERR_NOT_CONNECTED  internal state fault; does not occur
 * The replies in brackets are sent only when the channel was opened with
 * auto_ack on, through the transmit callback, before this call returns; the
 * callback's own result is ignored.
 */
VXBT_API uint16_t VXBT_CALL VXBT_rx_byte(uint8_t channel, uint8_t byte);

#ifdef __cplusplus
}
#endif

#endif /* WINVXBT_H */
