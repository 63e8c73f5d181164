// Shared by the benchmarks: a 256-byte parameter block and the memcpy
// baseline every figure is read beside.
#pragma once

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace bench {

inline std::vector<char> make_block(const char* first, const char* second) {
    std::vector<char> b(256, 0);
    std::size_t n = std::strlen(first);
    std::memcpy(b.data(), first, n);
    std::memcpy(b.data() + n + 1, second, std::strlen(second));
    return b;
}

inline void memcpy_baseline(benchmark::State& state) {
    std::vector<char> src(256, 'a'), dst(256);
    for (auto _ : state) {
        benchmark::DoNotOptimize(src.data());
        std::memcpy(dst.data(), src.data(), 256);
        benchmark::ClobberMemory();
    }
}

}  // namespace bench
