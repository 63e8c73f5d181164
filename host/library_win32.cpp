#include <windows.h>
#include <io.h>

#include "library.h"

namespace host {

namespace {
template <typename Fn>
Fn find(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
}  // namespace

bool open_library(const std::string& path, Library& lib, std::string& error) {
    // No error boxes from the loader: a bad path is reported here instead.
    UINT old_mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryA(path.c_str());
    DWORD code = GetLastError();
    SetErrorMode(old_mode);
    if (module == nullptr) {
        error = "cannot load (Windows error " + std::to_string(code) + ")";
        return false;
    }
    Library found;
    found.handle = module;
    found.stat_proc = find<StatProcFn>(module, "StatProc");
    found.func_proc = find<FuncProcFn>(module, "FuncProc");
    found.command_proc = find<CommandProcFn>(module, "CommandProc");
    found.init = find<InitFn>(module, "Init");
    if (!found.stat_proc || !found.func_proc || !found.command_proc || !found.init) {
        FreeLibrary(module);
        error = "not a plug-in: it lacks StatProc, FuncProc, CommandProc or Init";
        return false;
    }
    lib = found;
    return true;
}

void close_library(Library& lib) {
    if (lib.handle != nullptr) FreeLibrary(static_cast<HMODULE>(lib.handle));
    lib = Library{};
}

std::string library_file_name(const std::string& name) { return name + ".dll"; }

std::string executable_dir() {
    char buf[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return ".";
    std::string path(buf, n);
    std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

void sleep_ms(uint32_t ms) {
    // A plain Sleep is good enough for scripts; plug-ins time their own notes.
    timeBeginPeriod(1);
    Sleep(ms);
    timeEndPeriod(1);
}

bool stdin_is_terminal() { return _isatty(0) != 0; }

}  // namespace host
