// CommandProc of a command plug-in end to end: block copy, command word,
// keyword dispatch and the command itself, beside a 256-byte memcpy.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench_blocks.h"
#include "plugframe.h"

namespace {

void BM_Memcpy256(benchmark::State& state) { bench::memcpy_baseline(state); }
BENCHMARK(BM_Memcpy256);

// "RECONNECT" is the third keyword and stores one flag: a cheap command.
void BM_CommandProcReconnect(benchmark::State& state) {
    std::vector<char> b = bench::make_block("reconnect", "yes");
    for (auto _ : state) benchmark::DoNotOptimize(CommandProc(b.data()));
}
BENCHMARK(BM_CommandProcReconnect);

// A word that is no keyword walks the whole list before status 14.
void BM_CommandProcUnknownWord(benchmark::State& state) {
    std::vector<char> b = bench::make_block("nosuchword", "");
    for (auto _ : state) benchmark::DoNotOptimize(CommandProc(b.data()));
}
BENCHMARK(BM_CommandProcUnknownWord);

}  // namespace

BENCHMARK_MAIN();
