// VXBT_rx_byte called through the shared library's export, as the application
// calls it (lock and automatic ACK included), against the floor: a bare
// table-driven CRC loop over the same bytes.
#include "frame_stream.hpp"
#include "winvxbt.h"

#include <benchmark/benchmark.h>

namespace vxbt::bench {
namespace {

void set_per_byte_counter(benchmark::State& state, std::size_t bytes_per_iteration) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes_per_iteration));
    // An inverted rate of bytes counted in billions: nanoseconds per byte.
    state.counters["ns_per_byte"] = benchmark::Counter(
        static_cast<double>(state.iterations() * bytes_per_iteration) * 1e-9,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_RxByteThroughExport(benchmark::State& state) {
    const FrameStream stream = make_stream(static_cast<std::size_t>(state.range(0)));
    VXBT_init(0, 4096, 5, 1, 1, ignore_reply);
    std::vector<std::uint8_t> message(VXBT_MAX_MESSAGE);
    for (auto _ : state) {
        const std::uint8_t* p = stream.bytes.data();
        for (std::size_t f = 0; f < stream.frames; ++f) {
            for (std::size_t i = 0; i < stream.frame_size; ++i) {
                benchmark::DoNotOptimize(VXBT_rx_byte(0, *p++));
            }
            while (VXBT_rx_msg_cnt(0) > 0) {
                benchmark::DoNotOptimize(VXBT_get_msg(0, message.data()));
            }
        }
    }
    VXBT_close(0);
    set_per_byte_counter(state, stream.bytes.size());
}

void BM_CrcFloor(benchmark::State& state) {
    const FrameStream stream = make_stream(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        std::uint16_t crc = VXBT_CRC_INIT;
        for (std::uint8_t b : stream.bytes) {
            crc = crc_update(crc, b);
            benchmark::DoNotOptimize(crc);
        }
    }
    set_per_byte_counter(state, stream.bytes.size());
}

BENCHMARK(BM_RxByteThroughExport)->Arg(322)->Arg(16);
BENCHMARK(BM_CrcFloor)->Arg(322)->Arg(16);

} // namespace
} // namespace vxbt::bench

BENCHMARK_MAIN();
