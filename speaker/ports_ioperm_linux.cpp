// Real I/O ports on Linux: ioperm on 0x42-0x43 and 0x61, then in/out
// instructions. Needs an x86 machine, root or CAP_SYS_RAWIO, and a kernel
// built with I/O permission support (CONFIG_X86_IOPL_IOPERM).
#include "backends.h"

#if defined(__i386__) || defined(__x86_64__)
#include <sys/io.h>
#define SPEAKER_HAVE_IOPERM 1
#endif

namespace speaker {

#if defined(SPEAKER_HAVE_IOPERM)
namespace {

// The kernel grants port access per thread; a thread that has not been
// granted it would fault on the first in/out, so each asks for itself.
thread_local bool granted = false;

bool grant() {
    if (!granted) granted = ioperm(0x42, 2, 1) == 0 && ioperm(0x61, 1, 1) == 0;
    return granted;
}

uint8_t in(uint16_t port) { return grant() ? inb(port) : 0; }

void out(uint16_t port, uint8_t value) {
    if (grant()) outb(value, port);
}

const PortLayer kLayer = {"ports", in, out, nullptr, nullptr};

}  // namespace

const PortLayer* open_ioperm_ports() { return grant() ? &kLayer : nullptr; }
#else
const PortLayer* open_ioperm_ports() { return nullptr; }
#endif

}  // namespace speaker
