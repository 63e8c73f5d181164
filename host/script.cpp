#include "script.h"

#include <cstdlib>
#include <cstring>

#include "meanings.h"

namespace host {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool parse_int(const std::string& s, long long& value) {
    if (s.empty()) return false;
    char* end = nullptr;
    value = std::strtoll(s.c_str(), &end, 10);
    return end != nullptr && *end == 0;
}

// Shows a field the way a script would write it.
std::string quoted(const std::string& s) {
    bool plain = !s.empty();
    for (char c : s) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u <= 32 || u >= 127 || c == '"' || c == '\\' || c == '#') plain = false;
    }
    if (plain) return s;
    std::string q = "\"";
    static const char kHex[] = "0123456789abcdef";
    for (char c : s) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            q += '\\';
            q += c;
        } else if (c == '\t') {
            q += "\\t";
        } else if (u < 32 || u >= 127) {
            q += "\\x";
            q += kHex[u >> 4];
            q += kHex[u & 15];
        } else {
            q += c;
        }
    }
    return q + "\"";
}

}  // namespace

bool tokenize(const std::string& line, std::vector<std::string>& fields, std::string& error) {
    fields.clear();
    std::size_t i = 0;
    const std::size_t n = line.size();
    while (true) {
        while (i < n && is_blank(line[i])) ++i;
        if (i >= n || line[i] == '#') return true;
        std::string field;
        if (line[i] != '"') {
            while (i < n && !is_blank(line[i])) {
                if (line[i] == '"') {
                    error = "a quote may only start a field";
                    return false;
                }
                field += line[i++];
            }
            fields.push_back(field);
            continue;
        }
        ++i;  // opening quote
        bool closed = false;
        while (i < n) {
            char c = line[i++];
            if (c == '"') {
                closed = true;
                break;
            }
            if (c != '\\') {
                field += c;
                continue;
            }
            if (i >= n) break;
            char e = line[i++];
            switch (e) {
                case '"': field += '"'; break;
                case '\\': field += '\\'; break;
                case 'n': field += '\n'; break;
                case 'r': field += '\r'; break;
                case 't': field += '\t'; break;
                case 'x': {
                    int hi = i < n ? hex_value(line[i]) : -1;
                    int lo = i + 1 < n ? hex_value(line[i + 1]) : -1;
                    if (hi < 0 || lo < 0) {
                        error = "\\x needs two hexadecimal digits";
                        return false;
                    }
                    field += static_cast<char>(hi * 16 + lo);
                    i += 2;
                    break;
                }
                default:
                    error = std::string("unknown escape \\") + e;
                    return false;
            }
        }
        if (!closed) {
            error = "unterminated quote";
            return false;
        }
        if (i < n && !is_blank(line[i])) {
            error = "a closing quote must end the field";
            return false;
        }
        fields.push_back(field);
    }
}

Interpreter::Interpreter(Options options, std::ostream& out, std::ostream& err)
    : options_(std::move(options)), out_(out), err_(err) {
    if (options_.plugin_dir.empty()) options_.plugin_dir = executable_dir();
}

Interpreter::~Interpreter() { unload_all(); }

void Interpreter::unload_all() {
    while (!plugins_.empty()) {
        close_library(plugins_.back().lib);
        plugins_.pop_back();
    }
}

void Interpreter::report(const std::string& message) {
    err_ << source_ << ":" << line_no_ << ": " << message << "\n";
    err_.flush();
}

void Interpreter::fail(int code) {
    if (code > exit_code_) exit_code_ = code;
    if (options_.strict) stopped_ = true;
}

Interpreter::Plugin* Interpreter::find(const std::string& name) {
    for (Plugin& p : plugins_) {
        if (p.name == name) return &p;
    }
    return nullptr;
}

void Interpreter::run_line(const std::string& source, int line_no, const std::string& line) {
    if (stopped_) return;
    source_ = source;
    line_no_ = line_no;
    std::vector<std::string> f;
    std::string error;
    if (!tokenize(line, f, error)) {
        report("syntax error: " + error);
        fail(2);
        return;
    }
    if (f.empty()) return;

    if (f[0] != "expect") {
        Outcome outcome;
        execute(f, 0, outcome, false);
        return;
    }
    // expect VALUE STATEMENT: runs the statement and compares its outcome.
    if (f.size() < 3) {
        report("syntax error: expect VALUE followed by a command, `status` or `call`");
        fail(2);
        return;
    }
    Outcome outcome;
    if (!execute(f, 2, outcome, true)) return;
    if (outcome.kind == Kind::kNone) {
        report("syntax error: expect needs a command, `status` or `call` after the value");
        fail(2);
        return;
    }
    const std::string& want = f[1];
    if (outcome.kind == Kind::kText) {
        if (outcome.text != want) {
            report("expected " + quoted(want) + ", got " + quoted(outcome.text));
            fail(1);
        }
        return;
    }
    long long expected = 0;
    if (!parse_int(want, expected)) {
        report("syntax error: expect needs a number before a command or `status`");
        fail(2);
        return;
    }
    if (expected != outcome.number) {
        const Plugin* p = find(f[2] == "status" && f.size() > 3 ? f[3] : f[2]);
        const char* reported = p != nullptr ? p->reported.c_str() : nullptr;
        report("expected " + want + " (" + status_meaning(reported, static_cast<int32_t>(expected)) +
               "), got " + std::to_string(outcome.number) + " (" +
               status_meaning(reported, outcome.number) + ")");
        fail(1);
    }
}

bool Interpreter::execute(const std::vector<std::string>& f, std::size_t first, Outcome& outcome,
                          bool quiet_failure) {
    const std::string& word = f[first];
    const std::size_t argc = f.size() - first - 1;
    if (word == "load") {
        return load(f, first);
    }
    if (word == "unload") {
        if (argc != 1) {
            report("syntax error: unload NAME");
            fail(2);
            return false;
        }
        return unload(f[first + 1]);
    }
    if (word == "echo") {
        std::string text;
        for (std::size_t i = first + 1; i < f.size(); ++i) {
            if (i > first + 1) text += ' ';
            text += f[i];
        }
        out_ << text << "\n";
        out_.flush();
        return true;
    }
    if (word == "wait") {
        long long ms = 0;
        if (argc != 1 || !parse_int(f[first + 1], ms) || ms < 0 || ms > 86400000) {
            report("syntax error: wait MS (0 to 86400000)");
            fail(2);
            return false;
        }
        sleep_ms(static_cast<uint32_t>(ms));
        return true;
    }
    if (word == "status" || word == "call") {
        if (argc < 1) {
            report("syntax error: " + word + " NAME" + (word == "call" ? " [FIELD...]" : ""));
            fail(2);
            return false;
        }
        Plugin* p = find(f[first + 1]);
        if (p == nullptr) {
            report("no plug-in called " + quoted(f[first + 1]) + " is loaded");
            fail(2);
            return false;
        }
        if (word == "status") {
            if (argc != 1) {
                report("syntax error: status NAME");
                fail(2);
                return false;
            }
            outcome.kind = Kind::kNumber;
            outcome.number = p->lib.stat_proc();
            if (!quiet_failure) {
                out_ << outcome.number << "\n";
                out_.flush();
            }
            return true;
        }
        std::vector<char> block;
        if (!build_block(*p, f, first + 2, block)) return false;
        const char* answer = p->lib.func_proc(block.data());
        outcome.kind = Kind::kText;
        outcome.text = answer != nullptr ? answer : "";
        if (!quiet_failure) {
            out_ << outcome.text << "\n";
            out_.flush();
        }
        return true;
    }

    Plugin* p = find(word);
    if (p == nullptr) {
        report("unknown statement " + quoted(word) +
               " (not a loaded plug-in; see plughost --help)");
        fail(2);
        return false;
    }
    if (argc < 1) {
        report("syntax error: " + word + " COMMAND [FIELD...]");
        fail(2);
        return false;
    }
    std::vector<char> block;
    if (!build_block(*p, f, first + 1, block)) return false;
    const int32_t status = p->lib.command_proc(block.data());
    outcome.kind = Kind::kNumber;
    outcome.number = status;
    if (options_.verbose && !quiet_failure) {
        out_ << word << " " << quoted(f[first + 1]) << " -> " << status << "\n";
        out_.flush();
    }
    if (status != 0 && !quiet_failure) {
        std::string command;
        for (std::size_t i = first; i < f.size(); ++i) {
            if (i > first) command += ' ';
            command += quoted(f[i]);
        }
        report(command + ": status " + std::to_string(status) + " (" +
               status_meaning(p->reported.c_str(), status) + ")");
        fail(1);
    }
    return true;
}

bool Interpreter::build_block(const Plugin& p, const std::vector<std::string>& f, std::size_t first,
                              std::vector<char>& block) {
    std::size_t need = 0;
    for (std::size_t i = first; i < f.size(); ++i) {
        if (std::memchr(f[i].data(), 0, f[i].size()) != nullptr) {
            report("a field may not contain a NUL byte (\\x00)");
            fail(2);
            return false;
        }
        need += f[i].size() + 1;
    }
    const std::size_t size = static_cast<std::size_t>(p.block_size);
    if (need > size) {
        report("the fields need " + std::to_string(need) + " bytes but " + p.name +
               "'s block holds " + std::to_string(size) + "; nothing was sent");
        fail(2);
        return false;
    }
    // Exactly the block size, zero-filled, so a plug-in that reads past it
    // is caught by the sanitizers.
    block.assign(size, 0);
    std::size_t at = 0;
    for (std::size_t i = first; i < f.size(); ++i) {
        std::memcpy(block.data() + at, f[i].data(), f[i].size());
        at += f[i].size() + 1;
    }
    return true;
}

bool Interpreter::load(const std::vector<std::string>& f, std::size_t first) {
    const std::size_t argc = f.size() - first - 1;
    if (argc < 1 || argc > 2) {
        report("syntax error: load NAME [PATH]");
        fail(2);
        return false;
    }
    const std::string& name = f[first + 1];
    static const char* const kReserved[] = {"load", "unload", "echo", "wait",
                                            "status", "call", "expect"};
    for (const char* r : kReserved) {
        if (name == r) {
            report("a plug-in cannot be called " + name);
            fail(2);
            return false;
        }
    }
    if (find(name) != nullptr) {
        report(name + " is loaded already");
        fail(2);
        return false;
    }
    std::string path = argc == 2 ? f[first + 2]
                                 : options_.plugin_dir + "/" + library_file_name(name);
    Plugin p;
    p.name = name;
    std::string error;
    if (!open_library(path, p.lib, error)) {
        report("cannot load " + path + ": " + error);
        fail(2);
        return false;
    }
    int32_t fields = -1;
    int32_t block_size = -1;
    const char* reported = p.lib.init(0, 0, 0, &fields, &block_size);
    p.reported = reported != nullptr ? reported : "";
    p.field_count = fields;
    p.block_size = block_size;
    if (block_size < 1 || block_size > 65536) {
        report("cannot use " + path + ": Init reported a block size of " +
               std::to_string(block_size));
        close_library(p.lib);
        fail(2);
        return false;
    }
    out_ << p.reported << ": " << fields << " fields, " << block_size << "-byte block\n";
    out_.flush();
    plugins_.push_back(std::move(p));
    return true;
}

bool Interpreter::unload(const std::string& name) {
    for (auto it = plugins_.begin(); it != plugins_.end(); ++it) {
        if (it->name == name) {
            close_library(it->lib);
            plugins_.erase(it);
            return true;
        }
    }
    report("no plug-in called " + quoted(name) + " is loaded");
    fail(2);
    return false;
}

}  // namespace host
