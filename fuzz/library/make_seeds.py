#!/usr/bin/env python3
"""Writes the seed corpus of the channel fuzzer: real frames and exchanges in
the fuzzer's operation format (one operation byte: low digit the operation,
high nibble the channel; see channel_fuzzer.cpp)."""
import os
import sys

INIT, CLOSE, BYTE, RAW, FRAME, GET, COUNT, REPLY, VERSION, FRAGMENTS = range(10)
FRAME_A = bytes.fromhex("0200080900616263D7A70D")
FRAME_B = bytes.fromhex("02000808016162630B420D")


def op(code, channel=0):
    return bytes([code + 16 * channel])


def init(channel=0, length_choice=6, queued=5, flags=0b101):
    """length_choice 6 is 4096; flags: auto_ack, plain callback."""
    return op(INIT, channel) + bytes([length_choice, queued, flags])


def raw(data, channel=0):
    return op(RAW, channel) + bytes([len(data)]) + data


def frame(ctrl, seq, payload=b"", channel=0, damage=0xFF, where=0):
    out = op(FRAME, channel) + bytes([ctrl, 0x80, seq, len(payload) // 2, damage])
    if damage < 32:
        out += bytes([where])
    return out + payload[: 2 * (len(payload) // 2)]


def fragments(total, piece, channel=0):
    return op(FRAGMENTS, channel) + bytes([total >> 8, total & 0xFF, -(-(piece - 1) * 255 // 321), 0x82])


SEEDS = {
    "frame_a": init() + raw(FRAME_A) + op(GET),
    "duplicate": init() + raw(FRAME_A + FRAME_B + FRAME_B + FRAME_A) + op(GET) + op(COUNT),
    "crc_error": init() + frame(0x08, 1, b"abcd", damage=3, where=6) + raw(FRAME_A),
    "bad_length": init() + raw(bytes.fromhex("020148") + b"xy\r" + FRAME_A) + op(GET),
    "no_cr": init() + raw(FRAME_A[:-1] + b"\n\r" + FRAME_B),
    "empty_messages": init() + frame(0x08, 0) + frame(0x00, 1) + op(GET) + op(GET),
    "fragments_600": init() + fragments(600, 322) + op(GET),
    "fragments_4096": init() + fragments(4096, 100) + op(GET) + fragments(4097, 322),
    "queue_full": init(queued=2) + frame(0x08, 5, b"11") + frame(0x08, 6, b"22")
    + frame(0x18, 7, b"hd") + frame(0x28, 8, b"tl") + frame(0x28, 8, b"tl") + op(GET)
    + frame(0x18, 7, b"hd") + frame(0x28, 8, b"tl") + op(GET) + op(GET),
    "too_long": init(length_choice=3) + frame(0x18, 0, b"x" * 60) + frame(0x38, 1, b"y" * 50)
    + frame(0x38, 2, b"z" * 44) + frame(0x38, 3, b"w" * 30),
    "manual_replies": init(channel=3, flags=0b100) + raw(FRAME_A, 3) + op(REPLY, 3)
    + bytes([REPLY + 16 * 3 + 0x80]) + op(CLOSE, 3) + op(REPLY, 3),
    "reentrant": init(flags=0b1001001) + raw(FRAME_A + FRAME_B) + op(COUNT),
    "channels": init(0) + init(6) + init(7) + init(0) + raw(FRAME_A, 6) + op(CLOSE, 6)
    + op(CLOSE, 6) + op(VERSION) + op(GET, 7) + op(COUNT, 7) + op(BYTE, 7) + b"\x02",
}


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus")
    os.makedirs(out_dir, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
