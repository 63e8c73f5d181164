#include <dlfcn.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "library.h"

namespace host {

bool open_library(const std::string& path, Library& lib, std::string& error) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = dlerror();
        error = why != nullptr ? why : "cannot load";
        return false;
    }
    Library found;
    found.handle = handle;
    found.stat_proc = reinterpret_cast<StatProcFn>(dlsym(handle, "StatProc"));
    found.func_proc = reinterpret_cast<FuncProcFn>(dlsym(handle, "FuncProc"));
    found.command_proc = reinterpret_cast<CommandProcFn>(dlsym(handle, "CommandProc"));
    found.init = reinterpret_cast<InitFn>(dlsym(handle, "Init"));
    if (!found.stat_proc || !found.func_proc || !found.command_proc || !found.init) {
        dlclose(handle);
        error = "not a plug-in: it lacks StatProc, FuncProc, CommandProc or Init";
        return false;
    }
    lib = found;
    return true;
}

void close_library(Library& lib) {
    if (lib.handle != nullptr) dlclose(lib.handle);
    lib = Library{};
}

std::string library_file_name(const std::string& name) { return name + ".so"; }

std::string executable_dir() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    std::string path(buf, static_cast<std::size_t>(n));
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

void sleep_ms(uint32_t ms) {
    timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (clock_nanosleep(CLOCK_MONOTONIC, 0, &ts, &ts) == EINTR) {
    }
}

bool stdin_is_terminal() { return isatty(0) != 0; }

}  // namespace host
