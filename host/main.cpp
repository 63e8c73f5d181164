// plughost: runs scripts of commands against plugkit plug-ins.
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "library.h"
#include "script.h"

namespace {

const char kHelp[] =
    R"(Usage: plughost [OPTIONS] [SCRIPT | -]
       plughost [OPTIONS] -e LINE [-e LINE]...

Runs a script of commands against plugkit plug-ins. With no SCRIPT and no -e,
reads the script from standard input, or offers a prompt when standard input is
a terminal.

Options:
  -e LINE            run LINE as a script line (may be given several times)
  --plugin-dir DIR   where `load NAME` looks for NAME.so / NAME.dll
                     (default: the folder that holds plughost)
  --strict           stop at the first failure
  -v, --verbose      print the status of every command
  -h, --help         show this text

Script language (one statement per line):
  # text                   a comment (also after a statement)
  load NAME [PATH]         load plug-in NAME (NAME.so or NAME.dll from the
                           plug-in folder, or the library at PATH), call its
                           Init and print its name, field count and block size
  unload NAME              unload the plug-in; its own unload step runs
  NAME WORD [FIELD...]     send a command to plug-in NAME (CommandProc); a
                           non-zero status is reported on standard error with
                           the line, the command, the code and its meaning
  call NAME [FIELD...]     call the plug-in's function (FuncProc) and print
                           its answer on a line of its own
  status NAME              print the plug-in's last status (StatProc)
  wait MS                  wait MS milliseconds
  echo [TEXT...]           print the text
  expect VALUE STATEMENT   run a command, `status` or `call` and check its
                           outcome: a status number, or for `call` the answer
                           text; a mismatch is reported and counts as a
                           failure, a match is silent (even a non-zero status)

Fields are separated by blanks. A field in double quotes may hold blanks and
the escapes \" \\ \t \n \r and \xHH (any byte but \x00); "" is an empty
field. The host writes the fields one after the other, each ended by a NUL,
into a zero-filled block of the plug-in's block size, and refuses a line
whose fields do not fit, without calling the plug-in.

Exit status: 0 when every statement succeeded, 1 when a command returned an
unexpected non-zero status or an expectation failed, 2 when the script itself
was wrong (syntax, unknown plug-in, a library that does not load).

Example:
  plughost -e "load html" -e "call html \"a<b>c\" \"\""
)";

int run_stream(host::Interpreter& interp, std::istream& in, const std::string& source,
               bool prompt) {
    std::string line;
    int line_no = 0;
    while (!interp.stopped()) {
        if (prompt) {
            std::cout << "plughost> " << std::flush;
        }
        if (!std::getline(in, line)) break;
        ++line_no;
        interp.run_line(source, line_no, line);
    }
    if (prompt) std::cout << "\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    host::Options options;
    std::vector<std::string> lines;
    std::string script;
    bool have_script = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::cout << kHelp;
            return 0;
        } else if (arg == "--strict") {
            options.strict = true;
        } else if (arg == "-v" || arg == "--verbose") {
            options.verbose = true;
        } else if (arg == "-e" || arg == "--plugin-dir") {
            if (i + 1 >= argc) {
                std::cerr << "plughost: " << arg << " needs a value (see --help)\n";
                return 2;
            }
            if (arg == "-e") lines.push_back(argv[++i]);
            else options.plugin_dir = argv[++i];
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::cerr << "plughost: unknown option " << arg << " (see --help)\n";
            return 2;
        } else if (have_script) {
            std::cerr << "plughost: only one script may be given (see --help)\n";
            return 2;
        } else {
            script = arg;
            have_script = true;
        }
    }
    if (have_script && !lines.empty()) {
        std::cerr << "plughost: give either a script or -e lines, not both\n";
        return 2;
    }

    host::Interpreter interp(options, std::cout, std::cerr);
    if (!lines.empty()) {
        int n = 0;
        for (const std::string& line : lines) interp.run_line("-e", ++n, line);
    } else if (have_script && script != "-") {
        std::ifstream in(script, std::ios::binary);
        if (!in) {
            std::cerr << "plughost: cannot open " << script << "\n";
            return 2;
        }
        run_stream(interp, in, script, false);
    } else {
        bool prompt = !have_script && host::stdin_is_terminal();
        run_stream(interp, std::cin, have_script ? "-" : "stdin", prompt);
    }
    interp.unload_all();
    return interp.exit_code();
}
