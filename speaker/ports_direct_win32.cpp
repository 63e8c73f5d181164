// Real I/O ports on Windows: the in/out instructions themselves.
//
// Windows of the NT family lets no user program execute them (they fault
// with a privileged instruction, 0xC0000096) unless a driver has opened the
// ports to the process. So every access runs under a vectored exception
// handler that, for a fault at exactly that instruction, skips it and
// reports the failure; a first read of port 0x61 tells whether the system
// permits port I/O at all. Nothing here can crash the host.
#include <windows.h>

#include "backends.h"

extern "C" {
// The two guarded accesses (below, in assembly): the byte read, or 0 once
// written; 0xFFFFFFFF when the instruction faulted.
uint32_t speaker_guarded_in(uint32_t port);
uint32_t speaker_guarded_out(uint32_t port, uint32_t value);
// Where the instructions are, and where execution goes on after a fault.
extern const unsigned char speaker_in_insn[];
extern const unsigned char speaker_in_resume[];
extern const unsigned char speaker_out_insn[];
extern const unsigned char speaker_out_resume[];
}

#if defined(__x86_64__)
// Microsoft x64 calling convention: port in ecx, value in edx.
__asm__(
    ".text\n"
    ".globl speaker_guarded_in\n"
    "speaker_guarded_in:\n"
    "    movl %ecx, %edx\n"
    "    xorl %eax, %eax\n"
    ".globl speaker_in_insn\n"
    "speaker_in_insn:\n"
    "    inb %dx, %al\n"
    ".globl speaker_in_resume\n"
    "speaker_in_resume:\n"
    "    ret\n"
    ".globl speaker_guarded_out\n"
    "speaker_guarded_out:\n"
    "    movl %edx, %eax\n"
    "    movl %ecx, %edx\n"
    ".globl speaker_out_insn\n"
    "speaker_out_insn:\n"
    "    outb %al, %dx\n"
    "    xorl %eax, %eax\n"
    ".globl speaker_out_resume\n"
    "speaker_out_resume:\n"
    "    ret\n");
#define SPEAKER_PC(context) (context)->Rip
#define SPEAKER_RESULT(context) (context)->Rax
#elif defined(__i386__)
// cdecl: arguments on the stack, symbols with a leading underscore.
__asm__(
    ".text\n"
    ".globl _speaker_guarded_in\n"
    "_speaker_guarded_in:\n"
    "    movl 4(%esp), %edx\n"
    "    xorl %eax, %eax\n"
    ".globl _speaker_in_insn\n"
    "_speaker_in_insn:\n"
    "    inb %dx, %al\n"
    ".globl _speaker_in_resume\n"
    "_speaker_in_resume:\n"
    "    ret\n"
    ".globl _speaker_guarded_out\n"
    "_speaker_guarded_out:\n"
    "    movl 8(%esp), %eax\n"
    "    movl 4(%esp), %edx\n"
    ".globl _speaker_out_insn\n"
    "_speaker_out_insn:\n"
    "    outb %al, %dx\n"
    "    xorl %eax, %eax\n"
    ".globl _speaker_out_resume\n"
    "_speaker_out_resume:\n"
    "    ret\n");
#define SPEAKER_PC(context) (context)->Eip
#define SPEAKER_RESULT(context) (context)->Eax
#else
#error "port I/O needs an x86 processor"
#endif

namespace speaker {
namespace {

constexpr uint32_t kFaulted = 0xFFFFFFFF;

LONG CALLBACK on_exception(EXCEPTION_POINTERS* info) {
    const void* at = info->ExceptionRecord->ExceptionAddress;
    CONTEXT* context = info->ContextRecord;
    const unsigned char* resume = nullptr;
    if (at == speaker_in_insn) resume = speaker_in_resume;
    if (at == speaker_out_insn) resume = speaker_out_resume;
    // Anything else is none of ours: leave it to the host's handlers.
    if (resume == nullptr) return EXCEPTION_CONTINUE_SEARCH;
    SPEAKER_PC(context) = reinterpret_cast<uintptr_t>(resume);
    SPEAKER_RESULT(context) = kFaulted;
    return EXCEPTION_CONTINUE_EXECUTION;
}

// One access with the handler in place for just its duration.
uint32_t guarded(bool write, uint16_t port, uint8_t value) {
    void* handler = AddVectoredExceptionHandler(1, on_exception);
    if (handler == nullptr) return kFaulted;  // unguarded, it is not tried
    const uint32_t result = write ? speaker_guarded_out(port, value) : speaker_guarded_in(port);
    RemoveVectoredExceptionHandler(handler);
    return result;
}

uint8_t in(uint16_t port) {
    const uint32_t value = guarded(false, port, 0);
    return value == kFaulted ? 0 : static_cast<uint8_t>(value);
}

void out(uint16_t port, uint8_t value) { guarded(true, port, value); }

const PortLayer kLayer = {"ports", in, out, nullptr, nullptr};

}  // namespace

const PortLayer* open_direct_ports() {
    return guarded(false, 0x61, 0) == kFaulted ? nullptr : &kLayer;
}

}  // namespace speaker
