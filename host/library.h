// Loading a plug-in library and finding its four entry points: one small
// operation per platform (library_linux.cpp, library_win32.cpp).
#pragma once

#include <cstdint>
#include <string>

namespace host {

using StatProcFn = int32_t (*)();
using FuncProcFn = const char* (*)(const char*);
using CommandProcFn = int32_t (*)(const char*);
using InitFn = const char* (*)(uint32_t, uint32_t, uint32_t, int32_t*, int32_t*);

struct Library {
    void* handle = nullptr;
    StatProcFn stat_proc = nullptr;
    FuncProcFn func_proc = nullptr;
    CommandProcFn command_proc = nullptr;
    InitFn init = nullptr;
};

// Loads the library at `path` and resolves the four exports. On failure
// returns false and describes the reason in `error`.
bool open_library(const std::string& path, Library& lib, std::string& error);
// Unloads the library; the plug-in's own unload step runs inside.
void close_library(Library& lib);

// The file name of a plug-in called `name` ("html" -> "html.so"/"html.dll").
std::string library_file_name(const std::string& name);
// The folder that holds the running executable.
std::string executable_dir();
// Blocks the calling thread for `ms` milliseconds.
void sleep_ms(uint32_t ms);
// True when standard input is an interactive terminal.
bool stdin_is_terminal();

}  // namespace host
