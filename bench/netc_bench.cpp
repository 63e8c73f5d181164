// CommandProc of a command plug-in end to end: block copy, command word,
// keyword dispatch and the command itself, beside a 256-byte memcpy.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "plugframe.h"

namespace {

std::vector<char> make_block(const char* word, const char* field) {
    std::vector<char> b(256, 0);
    std::size_t n = std::strlen(word);
    std::memcpy(b.data(), word, n);
    std::memcpy(b.data() + n + 1, field, std::strlen(field));
    return b;
}

void BM_Memcpy256(benchmark::State& state) {
    std::vector<char> src(256, 'a'), dst(256);
    for (auto _ : state) {
        benchmark::DoNotOptimize(src.data());
        std::memcpy(dst.data(), src.data(), 256);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Memcpy256);

// "RECONNECT" is the third keyword and stores one flag: a cheap command.
void BM_CommandProcReconnect(benchmark::State& state) {
    std::vector<char> b = make_block("reconnect", "yes");
    for (auto _ : state) benchmark::DoNotOptimize(CommandProc(b.data()));
}
BENCHMARK(BM_CommandProcReconnect);

// A word that is no keyword walks the whole list before status 14.
void BM_CommandProcUnknownWord(benchmark::State& state) {
    std::vector<char> b = make_block("nosuchword", "");
    for (auto _ : state) benchmark::DoNotOptimize(CommandProc(b.data()));
}
BENCHMARK(BM_CommandProcUnknownWord);

}  // namespace

BENCHMARK_MAIN();
