// The Linux MIDI backends that output_linux.cpp chooses from.
#pragma once

#include "output.h"

namespace midi {

// ALSA sequencer: sends to a synthesizer port. Open answers 68 when there is
// no sequencer or no suitable port.
const Output& alsa_output();
// The port the next open uses: "client:port" or part of a client or port
// name; nullptr for the first synthesizer port.
void set_alsa_port(const char* port);

// Embedded FluidSynth synthesizer with SDL2 audio output, both loaded at open
// time. Open answers 68 when either library, the soundfont or an audio
// device is missing.
const Output& synth_output();
// The soundfont the next open loads; nullptr for the default.
void set_synth_soundfont(const char* path);

}  // namespace midi
