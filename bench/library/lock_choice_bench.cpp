// The frame receiver alone, behind no lock, the library's re-entrant lock, and
// a general-purpose recursive mutex: what the lock costs per byte.
#include "channel.hpp"
#include "frame_stream.hpp"

#include <benchmark/benchmark.h>

#include <mutex>

namespace vxbt::bench {
namespace {

struct NoLock {
    void lock() {}
    void unlock() {}
};

template <typename Lock>
void BM_Receiver(benchmark::State& state) {
    const FrameStream stream = make_stream(static_cast<std::size_t>(state.range(0)));
    VXBT_init(0, 4096, 5, 1, 1, ignore_reply);
    vxbt_channel& ch = library().channels[0];
    std::vector<std::uint8_t> message(VXBT_MAX_MESSAGE);
    static Lock lock;
    for (auto _ : state) {
        const std::uint8_t* p = stream.bytes.data();
        for (std::size_t f = 0; f < stream.frames; ++f) {
            for (std::size_t i = 0; i < stream.frame_size; ++i) {
                std::lock_guard guard(lock);
                benchmark::DoNotOptimize(receive_byte(ch, *p++));
            }
            while (ch.queued_count > 0) {
                take_message(ch, message.data());
            }
        }
    }
    VXBT_close(0);
    // An inverted rate of bytes counted in billions: nanoseconds per byte.
    const double bytes = static_cast<double>(state.iterations() * stream.bytes.size());
    state.counters["ns_per_byte"] = benchmark::Counter(
        bytes * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK_TEMPLATE(BM_Receiver, NoLock)->Arg(322)->Arg(16);
BENCHMARK_TEMPLATE(BM_Receiver, ReentrantLock)->Arg(322)->Arg(16);
BENCHMARK_TEMPLATE(BM_Receiver, std::recursive_mutex)->Arg(322)->Arg(16);

} // namespace
} // namespace vxbt::bench

BENCHMARK_MAIN();
