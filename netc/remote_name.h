// Remote and local names as the Linux backend understands them, and the
// quoting of texts for the files it writes. Plain text handling, no system
// calls: shared by the backend, its unit tests and the fuzz target.
#pragma once

#include <cstddef>
#include <cstdint>

#include "netc.h"

namespace netc {

constexpr std::size_t kServerSize = 256;
constexpr std::size_t kShareSize = 96;

struct RemoteName {
    char server[kServerSize];  // host name or address ("[...]" for IPv6)
    uint16_t port;             // 0: the default ports
    char share[kShareSize];
    char path[kTextSize];      // folders inside the share, '/'-separated, may be empty
};

// Reads "\\server\share[\path]", "//server/share[/path]" or
// "smb://server[:port]/share[/path]" (the scheme in any case; %XX escapes
// in the URL form). Returns 0, or ERROR_BAD_NET_NAME for anything else:
// no server, no share, characters a share or folder name cannot hold, "."
// or ".." folders, an invalid port.
uint32_t parse_remote_name(const char* text, RemoteName* out);

// "A:" .. "Z:" (either case) -> 'A' .. 'Z'; anything else -> 0.
char drive_letter(const char* local_name);

// Writes "smb://server[:port]/share[/path]" with share and path
// percent-encoded; `with_share` false gives "smb://server[:port]/".
// Returns false when it does not fit.
bool smb_url(const RemoteName& r, bool with_share, char* out, std::size_t cap);

// A double-quoted field of a plughost script: \" \\ and \xHH for every byte
// outside printable ASCII. Returns false when it does not fit.
bool quote_for_script(const char* text, char* out, std::size_t cap);

// A double-quoted string of an smbnetfs configuration file (\" and \\).
// Returns false when it does not fit or the text holds a line break, which
// that format cannot carry.
bool quote_for_smbnetfs(const char* text, char* out, std::size_t cap);

}  // namespace netc
