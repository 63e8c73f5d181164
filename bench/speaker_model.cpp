// speaker: what the emulated timer costs (rendering a second of sound, the
// clock catching up after a long idle span) and what one command costs on
// the recording layer with a virtual clock (no waiting).
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "emulated.h"
#include "handler.h"
#include "plugframe.h"
#include "ports.h"
#include "recording.h"

namespace {

using namespace speaker;

void sound(EmulatedSpeaker& speaker, uint32_t hz) {
    const uint32_t divisor = kTimerClockHz / hz;
    speaker.write(kControlPort, 3, 0);
    speaker.write(kModePort, 0xB6, 0);
    speaker.write(kCounter2Port, static_cast<uint8_t>(divisor & 0xFF), 0);
    speaker.write(kCounter2Port, static_cast<uint8_t>(divisor >> 8), 0);
}

// One second of 48 kHz sound: the share of a core the sound thread takes.
void RenderOneSecond(benchmark::State& state) {
    EmulatedSpeaker speaker;
    speaker.stream_started();
    sound(speaker, static_cast<uint32_t>(state.range(0)));
    std::vector<int16_t> buffer(EmulatedSpeaker::kSampleRate);
    for (auto _ : state) {
        speaker.render(buffer.data(), buffer.size(), EmulatedSpeaker::kSampleRate);
        benchmark::DoNotOptimize(buffer.data());
    }
}
BENCHMARK(RenderOneSecond)->Arg(37)->Arg(440)->Arg(32767)->Unit(benchmark::kMicrosecond);

// Without a sound device the first port access after a long silence brings
// the model up to the wall clock: an hour of a sounding tone.
void CatchUpAnHour(benchmark::State& state) {
    int64_t now = 0;
    EmulatedSpeaker speaker;
    sound(speaker, static_cast<uint32_t>(state.range(0)));
    for (auto _ : state) {
        now += int64_t{3600} * 1000000000;
        benchmark::DoNotOptimize(speaker.read(kControlPort, now));
    }
}
BENCHMARK(CatchUpAnHour)->Arg(440)->Arg(32767);

std::vector<char> block(std::initializer_list<const char*> fields) {
    std::vector<char> b(512, 0);
    std::size_t at = 0;
    for (const char* f : fields) {
        std::memcpy(b.data() + at, f, std::strlen(f));
        at += std::strlen(f) + 1;
    }
    return b;
}

// A command's own cost: parsing, the note lookup and the port sequence.
void Command(benchmark::State& state, std::vector<char> b) {
    set_clock(recording::now_ns, recording::wait_until_ns);
    use_port_layer(&recording::port_layer());
    for (auto _ : state) {
        recording::reset();
        benchmark::DoNotOptimize(CommandProc(b.data()));
    }
    use_port_layer(nullptr);
    set_clock(nullptr, nullptr);
}
BENCHMARK_CAPTURE(Command, timed_note, block({"Bb_3", "100"}));
BENCHMARK_CAPTURE(Command, song_8_items,
                  block({"SONG", "C;1 D;1 E;1 F;1 G;1 A;1 B;1 C_1;1"}));

}  // namespace

BENCHMARK_MAIN();
