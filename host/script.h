// plughost's script language: one statement per line.
#pragma once

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "library.h"

namespace host {

// Splits a line into fields: blanks separate fields; a double-quoted field
// may hold blanks and the escapes \" \\ \n \r \t \xHH; "" is an empty field.
// A "#" that starts a field begins a comment. Returns false with a reason on
// an unterminated quote or a bad escape.
bool tokenize(const std::string& line, std::vector<std::string>& fields, std::string& error);

struct Options {
    std::string plugin_dir;  // empty: the folder of plughost itself
    bool strict = false;     // stop at the first failure
    bool verbose = false;    // also print the status of every command
};

class Interpreter {
public:
    Interpreter(Options options, std::ostream& out, std::ostream& err);
    ~Interpreter();
    Interpreter(const Interpreter&) = delete;
    Interpreter& operator=(const Interpreter&) = delete;

    // Runs one line of `source` (a script name for reports).
    void run_line(const std::string& source, int line_no, const std::string& line);
    // Unloads every plug-in, last loaded first.
    void unload_all();
    // True once --strict has stopped the run.
    bool stopped() const { return stopped_; }
    // 0: every command succeeded (or failed as expected); 1: a command or an
    // expectation failed; 2: the script itself was wrong (syntax, load).
    int exit_code() const { return exit_code_; }

private:
    struct Plugin {
        std::string name;      // the script's name for it, e.g. "html"
        std::string reported;  // the name Init returned, e.g. "HTML"
        int32_t field_count = 0;
        int32_t block_size = 0;
        Library lib;
    };

    enum class Kind { kNumber, kText, kNone };
    struct Outcome {
        Kind kind = Kind::kNone;
        int32_t number = 0;
        std::string text;
    };

    bool execute(const std::vector<std::string>& f, std::size_t first, Outcome& outcome,
                 bool quiet_failure);
    bool load(const std::vector<std::string>& f, std::size_t first);
    bool unload(const std::string& name);
    bool build_block(const Plugin& p, const std::vector<std::string>& f, std::size_t first,
                     std::vector<char>& block);
    Plugin* find(const std::string& name);
    void fail(int code);
    void report(const std::string& message);

    Options options_;
    std::ostream& out_;
    std::ostream& err_;
    std::vector<Plugin> plugins_;
    std::string source_;
    int line_no_ = 0;
    int exit_code_ = 0;
    bool stopped_ = false;
};

}  // namespace host
