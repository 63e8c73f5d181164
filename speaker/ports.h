// The port layer: the only way the speaker's command handler reaches the
// hardware, and tone_on / tone_off on top of it.
//
// A port layer either reads and writes I/O ports (real ones, or the emulated
// 8254 and port 0x61), and tone_on / tone_off program the timer through it;
// or it is a kernel tone device that sounds a frequency as a whole, and
// tone_on / tone_off hand it the frequency (0: silence).
//
// Which layer serves is chosen once, at the first tone_on, tone_off or port
// access, in a fixed order (choice_linux.cpp, choice_win32.cpp); the
// environment variable PLUGKIT_SPEAKER can name one layer instead.
#pragma once

#include <cstddef>
#include <cstdint>

namespace speaker {

struct PortLayer {
    const char* name;  // the PLUGKIT_SPEAKER value that selects it
    // Port layers: one byte from / to an I/O port. Null for tone devices.
    uint8_t (*port_in)(uint16_t port);
    void (*port_out)(uint16_t port, uint8_t value);
    // Tone devices: sound `hz`, or silence for 0. Null for port layers.
    void (*tone)(uint16_t hz);
    // Releases what the layer holds (descriptors, sound device); may be null.
    void (*close)();
};

// ---- the port layer as the handler sees it ------------------------------------
// None of these raises a failure.

// One byte from a 16-bit I/O port (0 to 255).
uint8_t port_in(uint16_t port);
// The low 8 bits of `value` to a 16-bit I/O port.
void port_out(uint16_t port, uint32_t value);

// Lowest and highest frequency the timer is programmed for.
constexpr uint16_t kLowestHz = 37;
constexpr uint16_t kHighestHz = 32767;

// Starts a tone at the low 16 bits of `value` in Hz, or re-tunes a sounding
// one. Outside 37..32767: last status 14 and no port is touched. Every
// decision is taken by reading port 0x61; nothing is remembered here.
void tone_on(uint32_t value);
// Silences the speaker: port 0x61 with bits 0 and 1 cleared.
void tone_off();

// ---- choosing the layer --------------------------------------------------------

// The layer in use; chooses one on first use.
const PortLayer& current_port_layer();
// Puts `layer` in use (tests, fuzz targets, benchmarks); nullptr lets the
// next use choose again. The layer replaced is closed.
void use_port_layer(const PortLayer* layer);
// Closes the layer in use (at unload); the next use chooses again.
void close_port_layer();

// One entry of a platform's order of choice: `open` answers the layer when it
// can serve here and now, or nullptr.
struct Candidate {
    const char* name;
    const PortLayer* (*open)();
};

// The name of the environment variable that overrides the automatic choice.
constexpr const char* kOverrideVariable = "PLUGKIT_SPEAKER";

// The choice itself, apart from the platform: with `requested` empty, null
// or "auto", the first candidate in order that opens; with the name of a
// candidate, that one if it opens; otherwise (an unknown name, or a named one
// that cannot serve) the last candidate, which must always open.
const PortLayer* choose_port_layer(const Candidate* order, std::size_t count,
                                   const char* requested);

// The platform's order (choice_linux.cpp / choice_win32.cpp).
const Candidate* platform_order(std::size_t* count);

}  // namespace speaker
