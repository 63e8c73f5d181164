// The splash plug-in's description for the frame.
#include "commands.h"
#include "plugframe.h"

const plug::Plugin plug::plugin = {
    "SPLASH", 5, 256, splash::startup, splash::command, nullptr, splash::unload,
};
