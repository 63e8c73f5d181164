// Remote name parsing and quoting; see remote_name.h.
#include "remote_name.h"

#include <cstring>

namespace netc {
namespace {

bool is_alnum(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool is_sep(char c) { return c == '\\' || c == '/'; }

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Characters that no share name may hold.
bool bad_in_share(unsigned char c) {
    return c < 32 || c == 127 || std::strchr("\"/\\[]:|<>+=;,*?", c) != nullptr;
}

// Characters that no file or folder name may hold.
bool bad_in_path(unsigned char c) {
    return c < 32 || c == 127 || std::strchr("<>:\"/\\|?*", c) != nullptr;
}

// Takes one name up to the next separator from `*p`, decoding %XX when
// `decode` is set, into out (cap bytes). Returns its length, or -1 when it
// does not fit or an escape is broken.
int take_name(const char** p, bool decode, char* out, std::size_t cap) {
    std::size_t n = 0;
    const char* s = *p;
    while (*s != 0 && !is_sep(*s)) {
        char c = *s++;
        if (decode && c == '%') {
            int hi = hex_value(s[0]);
            int lo = hi < 0 ? -1 : hex_value(s[1]);
            if (lo < 0) return -1;
            c = static_cast<char>(hi * 16 + lo);
            s += 2;
            if (c == 0 || is_sep(c)) return -1;
        }
        if (n + 1 >= cap) return -1;
        out[n++] = c;
    }
    out[n] = 0;
    *p = s;
    return static_cast<int>(n);
}

bool valid_server(const char* s) {
    std::size_t n = std::strlen(s);
    if (n == 0 || n > 253) return false;
    if (s[0] == '[') {
        if (n < 4 || s[n - 1] != ']') return false;
        for (std::size_t i = 1; i + 1 < n; ++i) {
            if (hex_value(s[i]) < 0 && s[i] != ':' && s[i] != '.') return false;
        }
        return true;
    }
    if (s[0] == '-' || s[0] == '.') return false;
    for (std::size_t i = 0; i < n; ++i) {
        if (!is_alnum(s[i]) && s[i] != '.' && s[i] != '-' && s[i] != '_') return false;
    }
    return true;
}

bool has_prefix_nocase(const char* s, const char* prefix) {
    for (; *prefix != 0; ++s, ++prefix) {
        char c = *s;
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        if (c != *prefix) return false;
    }
    return true;
}

struct Writer {
    char* out;
    std::size_t cap;
    std::size_t n;
    bool ok;
    void put(char c) {
        if (n + 1 >= cap) {
            ok = false;
            return;
        }
        out[n++] = c;
        out[n] = 0;
    }
    void put(const char* s) {
        while (*s != 0) put(*s++);
    }
    void hex(unsigned char c) {
        static const char digits[] = "0123456789ABCDEF";
        put(digits[c >> 4]);
        put(digits[c & 15]);
    }
};

void put_encoded(Writer& w, const char* s) {
    for (; *s != 0; ++s) {
        const unsigned char c = static_cast<unsigned char>(*s);
        if (is_alnum(*s) || c == '.' || c == '-' || c == '_' || c == '~' || c == '/') {
            w.put(*s);
        } else {
            w.put('%');
            w.hex(c);
        }
    }
}

}  // namespace

uint32_t parse_remote_name(const char* text, RemoteName* out) {
    std::memset(out, 0, sizeof *out);
    const char* p = text;
    bool url = false;
    if (has_prefix_nocase(p, "SMB://")) {
        url = true;
        p += 6;
    } else if ((p[0] == '\\' && p[1] == '\\') || (p[0] == '/' && p[1] == '/')) {
        p += 2;
    } else {
        return err::kBadNetName;
    }

    // Server, with a port in the URL form. The authority of a URL ends at
    // the first separator; a bracketed IPv6 address may hold colons.
    char authority[kServerSize];
    if (take_name(&p, false, authority, sizeof authority) < 1) return err::kBadNetName;
    char* colon = nullptr;
    if (authority[0] == '[') {
        char* close = std::strchr(authority, ']');
        if (close != nullptr && close[1] == ':') colon = close + 1;
    } else {
        colon = std::strchr(authority, ':');
    }
    if (colon != nullptr) {
        if (!url || colon[1] == 0) return err::kBadNetName;
        uint32_t port = 0;
        for (const char* d = colon + 1; *d != 0; ++d) {
            if (*d < '0' || *d > '9') return err::kBadNetName;
            port = port * 10 + static_cast<uint32_t>(*d - '0');
            if (port > 65535) return err::kBadNetName;
        }
        if (port == 0) return err::kBadNetName;
        out->port = static_cast<uint16_t>(port);
        *colon = 0;
    }
    if (!valid_server(authority)) return err::kBadNetName;
    std::memcpy(out->server, authority, std::strlen(authority) + 1);

    // Share.
    if (!is_sep(*p)) return err::kBadNetName;
    ++p;
    const int share_len = take_name(&p, url, out->share, sizeof out->share);
    if (share_len < 1 || share_len > 80) return err::kBadNetName;
    for (const char* c = out->share; *c != 0; ++c) {
        if (bad_in_share(static_cast<unsigned char>(*c))) return err::kBadNetName;
    }

    // Folders inside the share; empty steps (doubled or trailing separators)
    // are dropped.
    std::size_t used = 0;
    while (*p != 0) {
        ++p;  // the separator
        char name[kTextSize];
        const int len = take_name(&p, url, name, sizeof name);
        if (len < 0) return err::kBadNetName;
        if (len == 0) continue;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) return err::kBadNetName;
        for (const char* c = name; *c != 0; ++c) {
            if (bad_in_path(static_cast<unsigned char>(*c))) return err::kBadNetName;
        }
        const std::size_t need = (used > 0 ? 1 : 0) + static_cast<std::size_t>(len);
        if (used + need + 1 > sizeof out->path) return err::kBadNetName;
        if (used > 0) out->path[used++] = '/';
        std::memcpy(out->path + used, name, static_cast<std::size_t>(len));
        used += static_cast<std::size_t>(len);
        out->path[used] = 0;
    }
    return 0;
}

char drive_letter(const char* local_name) {
    char c = local_name[0];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (c < 'A' || c > 'Z' || local_name[1] != ':' || local_name[2] != 0) return 0;
    return c;
}

bool smb_url(const RemoteName& r, bool with_share, char* out, std::size_t cap) {
    if (cap == 0) return false;
    out[0] = 0;
    Writer w{out, cap, 0, true};
    w.put("smb://");
    w.put(r.server);
    if (r.port != 0) {
        char digits[8];
        int n = 0;
        for (uint32_t v = r.port; v > 0; v /= 10) digits[n++] = static_cast<char>('0' + v % 10);
        w.put(':');
        while (n > 0) w.put(digits[--n]);
    }
    w.put('/');
    if (with_share) {
        put_encoded(w, r.share);
        if (r.path[0] != 0) {
            w.put('/');
            put_encoded(w, r.path);
        }
    }
    return w.ok;
}

bool quote_for_script(const char* text, char* out, std::size_t cap) {
    if (cap == 0) return false;
    out[0] = 0;
    Writer w{out, cap, 0, true};
    w.put('"');
    for (const char* s = text; *s != 0; ++s) {
        const unsigned char c = static_cast<unsigned char>(*s);
        if (c == '"' || c == '\\') {
            w.put('\\');
            w.put(*s);
        } else if (c < 32 || c >= 127) {
            w.put("\\x");
            w.hex(c);
        } else {
            w.put(*s);
        }
    }
    w.put('"');
    return w.ok;
}

bool quote_for_smbnetfs(const char* text, char* out, std::size_t cap) {
    if (cap == 0) return false;
    out[0] = 0;
    Writer w{out, cap, 0, true};
    w.put('"');
    for (const char* s = text; *s != 0; ++s) {
        if (*s == '\n' || *s == '\r') return false;
        if (*s == '"' || *s == '\\') w.put('\\');
        w.put(*s);
    }
    w.put('"');
    return w.ok;
}

}  // namespace netc
