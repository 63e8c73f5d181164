// The speaker plug-in: "SPEAKER", two fields, 512-byte blocks.
#include "handler.h"
#include "plugframe.h"
#include "ports.h"

namespace {

// The song lists are fixed arrays of the notation and need no start-up.
// At unload the speaker is left as it is (a held tone sounds on where the
// hardware allows); only what the port layer holds is released.
void unload() { speaker::close_port_layer(); }

}  // namespace

namespace plug {
const Plugin plugin = {
    "SPEAKER", 2, 512,
    nullptr,           // start-up: nothing to create
    speaker::command,  // CommandProc
    nullptr,           // default function answer
    unload,
};
}  // namespace plug
