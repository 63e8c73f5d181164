// CommandProc dispatch and html FuncProc, beside a 256-byte memcpy baseline.
// html's CommandProc answers at once without reading the block, so dispatch
// is measured with the full command frame through FuncProc's block copy and
// field scan plus CommandProc itself.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench_blocks.h"
#include "plugframe.h"

namespace {

void BM_Memcpy256(benchmark::State& state) { bench::memcpy_baseline(state); }
BENCHMARK(BM_Memcpy256);

void BM_CommandProcDispatch(benchmark::State& state) {
    std::vector<char> b = bench::make_block("anything", "");
    for (auto _ : state) benchmark::DoNotOptimize(CommandProc(b.data()));
}
BENCHMARK(BM_CommandProcDispatch);

void BM_CommandFrame(benchmark::State& state) {
    // The steps every command plug-in runs before its handler.
    std::vector<char> b = bench::make_block("show", "");
    for (auto _ : state) {
        plug::copy_block(b.data());
        char* word = plug::upper_in_place(plug::next_field());
        benchmark::DoNotOptimize(plug::is_blank(word));
        benchmark::DoNotOptimize(plug::same_text(word, "SHOW"));
    }
}
BENCHMARK(BM_CommandFrame);

void BM_HtmlFuncProc255(benchmark::State& state) {
    std::string text;
    while (text.size() < 255) text += "<b>bold</b> text ";
    text.resize(255);
    std::vector<char> b = bench::make_block(text.c_str(), "");
    for (auto _ : state) benchmark::DoNotOptimize(FuncProc(b.data()));
}
BENCHMARK(BM_HtmlFuncProc255);

}  // namespace

BENCHMARK_MAIN();
