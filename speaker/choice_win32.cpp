// The order in which the speaker's port layers are tried on Windows:
//   1. ports    the timer's I/O ports, where the system permits port I/O
//               (a port-access driver; never on a plain NT-family system)
//   2. emulated the 8254 model heard through winmm waveOut; silent without
//               a sound device, and always available
#include "backends.h"

namespace speaker {
namespace {

const Candidate kOrder[] = {
    {"ports", open_direct_ports},
    {"emulated", open_emulated_waveout},
};

}  // namespace

const Candidate* platform_order(std::size_t* count) {
    *count = sizeof kOrder / sizeof kOrder[0];
    return kOrder;
}

}  // namespace speaker
