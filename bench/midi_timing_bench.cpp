// Timing of notes and songs on the real clock (Linux: clock_nanosleep).
//
// Each iteration plays a song of 10 ms notes and measures, from the moments
// the notes start:
//   item_err_*_us   |interval between consecutive note starts - 10 ms|
//                   (mean, median, 99th percentile, largest)
//   drift_*_us      (song end - song start) - sum of the durations
//                   (median and largest over the runs)
// On a shared, busy machine the largest values show the scheduler's stalls;
// the median figures show the timing itself.
// BM_Song200 plays 200 items through the notation layer directly (a block of
// 512 bytes holds at most 85 such items, so this measures the timing layer
// on a longer song); BM_Song200Busy does the same with a voice that spends
// 0.3 ms of CPU in every sound_on, which the song's deadline absorbs;
// BM_NotesOneByOne plays the 200 notes as separate timed-note commands, each
// timed from "now", for comparison; BM_HandlerSong80 goes through CommandProc
// and the recording MIDI output with a full-block song of 80 items.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "handler.h"
#include "notation.h"
#include "plugframe.h"
#include "recorder.h"
#include "timing.h"

const midi::Output& midi::system_output() { return midi::recorder::output(); }

namespace {

constexpr int64_t kItemNs = 10 * timing::kNanosPerMs;

class TimedVoice final : public notes::Voice {
public:
    std::vector<int64_t> starts;
    int64_t busy_ns = 0;
    void sound_on(uint16_t) override {
        const int64_t now = timing::now_ns();
        starts.push_back(now);
        if (busy_ns > 0) {
            while (timing::now_ns() - now < busy_ns) {
            }
        }
    }
    void sound_off() override {}
};

std::string song_of(int items) {
    std::string song;
    for (int i = 0; i < items; ++i) {
        if (i > 0) song.push_back(' ');
        song.append("60;10");
    }
    return song;
}

// Collects the errors of every run of one benchmark and publishes them.
struct Figures {
    std::vector<double> errors_us;  // per item
    std::vector<double> drifts_us;  // per run

    void add(benchmark::State& state, const std::vector<int64_t>& starts, int64_t begin, int64_t end,
             int items) {
        for (std::size_t i = 1; i < starts.size(); ++i) {
            errors_us.push_back(std::fabs(static_cast<double>(starts[i] - starts[i - 1] - kItemNs)) / 1000.0);
        }
        drifts_us.push_back(static_cast<double>(end - begin - items * kItemNs) / 1000.0);
        std::vector<double> sorted = errors_us;
        std::sort(sorted.begin(), sorted.end());
        double sum = 0;
        for (double e : sorted) sum += e;
        const auto at = [&](double q) {
            return sorted.empty() ? 0.0 : sorted[static_cast<std::size_t>(q * static_cast<double>(sorted.size() - 1))];
        };
        state.counters["item_err_mean_us"] = sorted.empty() ? 0.0 : sum / static_cast<double>(sorted.size());
        state.counters["item_err_median_us"] = at(0.5);
        state.counters["item_err_p99_us"] = at(0.99);
        state.counters["item_err_max_us"] = at(1.0);
        std::vector<double> drifts = drifts_us;
        std::sort(drifts.begin(), drifts.end());
        state.counters["drift_median_us"] = drifts[drifts.size() / 2];
        state.counters["drift_max_us"] = drifts.back();
    }
};

void song_bench(benchmark::State& state, int64_t busy_ns) {
    const std::string song = song_of(200);
    Figures figures;
    for (auto _ : state) {
        TimedVoice voice;
        voice.busy_ns = busy_ns;
        voice.starts.reserve(200);
        const int64_t begin = timing::now_ns();
        if (notes::play_song(voice, notes::Column::midi_note, song.c_str()) != 0) {
            state.SkipWithError("song refused");
            return;
        }
        const int64_t end = timing::now_ns();
        figures.add(state, voice.starts, begin, end, 200);
    }
}

void BM_Song200(benchmark::State& state) { song_bench(state, 0); }
BENCHMARK(BM_Song200)->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_Song200Busy(benchmark::State& state) { song_bench(state, 300000); }
BENCHMARK(BM_Song200Busy)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_NotesOneByOne(benchmark::State& state) {
    Figures figures;
    for (auto _ : state) {
        TimedVoice voice;
        voice.busy_ns = 300000;
        const int64_t begin = timing::now_ns();
        for (int i = 0; i < 200; ++i) notes::play_timed_note(voice, notes::Column::midi_note, "60", "10");
        const int64_t end = timing::now_ns();
        figures.add(state, voice.starts, begin, end, 200);
    }
}
BENCHMARK(BM_NotesOneByOne)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_HandlerSong80(benchmark::State& state) {
    const std::string song = song_of(80);  // 479 characters: fits one block
    char block[512] = {};
    std::memcpy(block, "SONG", 4);
    std::memcpy(block + 5, song.data(), song.size());
    char open[512] = "OPEN";
    int32_t fields = 0, size = 0;
    Init(0, 0, 0, &fields, &size);
    midi::recorder::clear();
    CommandProc(open);
    Figures figures;
    for (auto _ : state) {
        midi::recorder::clear();
        const int64_t begin = timing::now_ns();
        if (CommandProc(block) != 0) {
            state.SkipWithError("song refused");
            return;
        }
        const int64_t end = timing::now_ns();
        std::vector<int64_t> starts;
        for (std::size_t i = 0; i < midi::recorder::count(); ++i) {
            const auto& e = midi::recorder::event(i);
            if (e.kind == midi::recorder::Kind::message && (e.message & 0xF0) == 0x90) starts.push_back(e.time_ns);
        }
        figures.add(state, starts, begin, end, 80);
    }
    midi::unload();
}
BENCHMARK(BM_HandlerSong80)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
