// The midi plug-in: "MIDI", two fields, 512-byte blocks.
#include "handler.h"
#include "plugframe.h"

const plug::Plugin plug::plugin = {"MIDI", 2, 512, midi::startup, midi::command, nullptr,
                                   midi::unload};
