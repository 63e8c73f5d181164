// Linux backend: SMB shares on drive letters.
//
// A drive letter is an entry of the user's drives folder (like Wine's
// dosdevices): "z:" there is a link to the folder where the share's files
// appear. CONNECT first asks the server itself through libsmbclient, so
// that a wrong password, an unknown share or an unreachable host give the
// Windows codes a script expects; then it mounts the share, with the
// kernel's cifs when the caller is root and the kernel has it, else with
// smbnetfs (FUSE, no root needed), one instance per drive letter. The mount
// outlives the plug-in and the host, as a Windows connection does, until
// DISCONNECT.
//
// Places (all per user):
//   drives      ${XDG_DATA_HOME:-~/.local/share}/plugkit/drives/<l>:
//   runtime     ${XDG_RUNTIME_DIR}/plugkit-netc/<l>/  (mount point, smbnetfs
//               configuration with the password in a 0600 file, its pid);
//               without XDG_RUNTIME_DIR: /tmp/plugkit-netc-<uid>, 0700
//   remembered  ${XDG_CONFIG_HOME:-~/.config}/plugkit/netc/<l>.phs, a
//               plughost script that restores the connection at login.
#include <dlfcn.h>
#include <errno.h>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <limits.h>
#include <libsmbclient.h>
#include <netdb.h>
#include <pwd.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "netc.h"
#include "remote_name.h"

namespace netc {
namespace {

constexpr std::size_t kPath = 4096;

// ---- small helpers -------------------------------------------------------------

__attribute__((format(printf, 3, 4))) bool format(char* out, std::size_t cap, const char* fmt,
                                                  ...) {
    va_list args;
    va_start(args, fmt);
    const int n = std::vsnprintf(out, cap, fmt, args);
    va_end(args);
    return n >= 0 && static_cast<std::size_t>(n) < cap;
}

bool copy_text(char* out, std::size_t cap, const char* in) { return format(out, cap, "%s", in); }

long long now_ms() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

void pause_ms(long ms) {
    timespec t{ms / 1000, (ms % 1000) * 1000000};
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}

bool is_dir(const char* path) {
    struct stat st;
    return lstat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool is_executable(const char* path) {
    struct stat st;
    return stat(path, &st) == 0 && S_ISREG(st.st_mode) && access(path, X_OK) == 0;
}

// mkdir -p; the last folder gets `mode`, missing parents 0755 (less the
// umask, as usual).
bool make_dirs(const char* path, mode_t mode) {
    char buf[kPath];
    if (!copy_text(buf, sizeof buf, path)) return false;
    for (char* p = buf + 1; *p != 0; ++p) {
        if (*p != '/') continue;
        *p = 0;
        if (mkdir(buf, 0755) != 0 && errno != EEXIST) return false;
        *p = '/';
    }
    if (mkdir(buf, mode) != 0 && errno != EEXIST) return false;
    return is_dir(buf);
}

// A folder only this user may enter: created 0700 or found so, never
// through a symbolic link.
bool private_dir(const char* path) {
    if (mkdir(path, 0700) != 0 && errno != EEXIST) return false;
    struct stat st;
    if (lstat(path, &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    return st.st_uid == geteuid() && (st.st_mode & 077) == 0;
}

// Writes a whole file, created new with `mode`.
bool write_file(const char* path, const char* text, mode_t mode) {
    unlink(path);
    const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) return false;
    std::size_t left = std::strlen(text);
    bool ok = true;
    while (left > 0) {
        const ssize_t n = write(fd, text, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        text += n;
        left -= static_cast<std::size_t>(n);
    }
    if (close(fd) != 0) ok = false;
    if (!ok) unlink(path);
    return ok;
}

// Overwrites a file's bytes with zeros before removing it.
void shred_file(const char* path) {
    const int fd = open(path, O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        struct stat st;
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
            static const char zeros[512] = {};
            for (off_t left = st.st_size; left > 0;) {
                const std::size_t n = left < 512 ? static_cast<std::size_t>(left) : 512;
                if (write(fd, zeros, n) <= 0) break;
                left -= static_cast<off_t>(n);
            }
            fsync(fd);
        }
        close(fd);
    }
    unlink(path);
}

// Looks a program up in PATH, then in the usual folders.
bool find_program(const char* name, char* out, std::size_t cap) {
    const char* path = std::getenv("PATH");
    char dirs[kPath];
    if (!format(dirs, sizeof dirs, "%s:/usr/bin:/bin:/usr/sbin:/sbin", path != nullptr ? path : ""))
        return false;
    for (char* dir = dirs; dir != nullptr;) {
        char* next = std::strchr(dir, ':');
        if (next != nullptr) *next++ = 0;
        if (dir[0] == '/' && format(out, cap, "%s/%s", dir, name) && is_executable(out)) return true;
        dir = next;
    }
    return false;
}

// ---- processes --------------------------------------------------------------------

void close_inherited_fds() {
#if defined(SYS_close_range)
    if (syscall(SYS_close_range, 3u, ~0u, 0u) == 0) return;
#endif
    for (int fd = 3; fd < 1024; ++fd) close(fd);
}

void null_stdio() {
    const int fd = open("/dev/null", O_RDWR);
    if (fd >= 0) {
        dup2(fd, 0);
        dup2(fd, 1);
        dup2(fd, 2);
        if (fd > 2) close(fd);
    }
}

// Runs a program to its end; returns its exit status, or -1.
int run_program(char* const argv[], char* const envp[]) {
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        null_stdio();
        close_inherited_fds();
        execve(argv[0], argv, envp);
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Starts a program that runs on by itself in a session of its own, not a
// child of the host (it outlives it). Returns its pid, or -1.
pid_t spawn_detached(char* const argv[], char* const envp[]) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return -1;
    const pid_t child = fork();
    if (child < 0) {
        close(fds[0]);
        close(fds[1]);
        return -1;
    }
    if (child == 0) {
        setsid();
        const pid_t grandchild = fork();
        if (grandchild == 0) {
            null_stdio();
            close_inherited_fds();
            execve(argv[0], argv, envp);
            _exit(127);
        }
        const ssize_t written = write(fds[1], &grandchild, sizeof grandchild);
        _exit(written == static_cast<ssize_t>(sizeof grandchild) ? 0 : 1);
    }
    close(fds[1]);
    pid_t pid = -1;
    ssize_t n;
    do {
        n = read(fds[0], &pid, sizeof pid);
    } while (n < 0 && errno == EINTR);
    close(fds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return n == static_cast<ssize_t>(sizeof pid) ? pid : -1;
}

// True while `pid` runs the program called `comm` (any program when comm
// is null) and is no zombie.
bool process_alive(pid_t pid, const char* comm) {
    if (pid <= 0) return false;
    char path[64], buf[256];
    if (!format(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid))) return false;
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const ssize_t n = read(fd, buf, sizeof buf - 1);
    close(fd);
    if (n <= 0) return false;
    buf[n] = 0;
    // "pid (comm) S ..."
    const char* open_paren = std::strchr(buf, '(');
    const char* close_paren = std::strrchr(buf, ')');
    if (open_paren == nullptr || close_paren == nullptr || close_paren[1] == 0) return false;
    const std::size_t len = static_cast<std::size_t>(close_paren - open_paren - 1);
    if (comm != nullptr &&
        (len != std::strlen(comm) || std::strncmp(open_paren + 1, comm, len) != 0))
        return false;
    const char state = close_paren[2];
    return state != 'Z' && state != 'X';
}

// ---- mounts -----------------------------------------------------------------------

// Decodes the octal escapes (\040 and the like) of a mountinfo field.
void decode_mount_field(const char* in, std::size_t len, char* out, std::size_t cap) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < len && n + 1 < cap; ++i) {
        if (in[i] == '\\' && i + 3 < len && in[i + 1] >= '0' && in[i + 1] <= '3') {
            out[n++] = static_cast<char>((in[i + 1] - '0') * 64 + (in[i + 2] - '0') * 8 +
                                         (in[i + 3] - '0'));
            i += 3;
        } else {
            out[n++] = in[i];
        }
    }
    out[n] = 0;
}

bool is_mounted(const char* mount_point) {
    FILE* f = std::fopen("/proc/self/mountinfo", "re");
    if (f == nullptr) return false;
    static char line[8192];
    bool found = false;
    while (!found && std::fgets(line, sizeof line, f) != nullptr) {
        // id parent major:minor root mount-point ...
        const char* p = line;
        for (int field = 0; field < 4 && p != nullptr; ++field) {
            p = std::strchr(p, ' ');
            if (p != nullptr) ++p;
        }
        if (p == nullptr) continue;
        const char* end = std::strchr(p, ' ');
        if (end == nullptr) continue;
        char decoded[kPath];
        decode_mount_field(p, static_cast<std::size_t>(end - p), decoded, sizeof decoded);
        found = std::strcmp(decoded, mount_point) == 0;
    }
    std::fclose(f);
    return found;
}

// Forced unmount: what is open on the share does not keep it. Returns true
// when nothing is mounted there any more.
bool unmount_forced(const char* mount_point) {
    if (!is_mounted(mount_point)) return true;
    if (geteuid() == 0) {
        if (umount2(mount_point, MNT_FORCE) != 0) umount2(mount_point, MNT_DETACH);
    } else {
        char fusermount[kPath];
        if (find_program("fusermount", fusermount, sizeof fusermount) ||
            find_program("fusermount3", fusermount, sizeof fusermount)) {
            char mp[kPath];
            copy_text(mp, sizeof mp, mount_point);
            char u[] = "-u", z[] = "-z";
            char* argv[] = {fusermount, u, z, mp, nullptr};
            char path_env[] = "PATH=/usr/bin:/bin";
            char* envp[] = {path_env, nullptr};
            run_program(argv, envp);
        }
    }
    return !is_mounted(mount_point);
}

// ---- places -----------------------------------------------------------------------

bool home_dir(char* out, std::size_t cap) {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return copy_text(out, cap, home);
    passwd pw;
    passwd* found = nullptr;
    static char buf[4096];
    if (getpwuid_r(geteuid(), &pw, buf, sizeof buf, &found) != 0 || found == nullptr) return false;
    return found->pw_dir != nullptr && found->pw_dir[0] == '/' && copy_text(out, cap, found->pw_dir);
}

// ${VAR:-~/fallback}/rest
bool xdg_place(const char* var, const char* fallback, const char* rest, char* out,
               std::size_t cap) {
    const char* base = std::getenv(var);
    if (base != nullptr && base[0] == '/') return format(out, cap, "%s/%s", base, rest);
    char home[kPath];
    return home_dir(home, sizeof home) && format(out, cap, "%s/%s/%s", home, fallback, rest);
}

struct Places {
    char letter;              // lower case
    char drives[kPath];       // the drives folder
    char link[kPath];         // drives/<l>:
    char runtime[kPath];      // the private runtime folder (canonical)
    char conn[kPath];         // runtime/<l>
    char mnt[kPath];          // runtime/<l>/mnt
    char remembered[kPath];   // the remembered-connections folder
    char script[kPath];       // remembered/<l>.phs
};

bool runtime_base(char* out, std::size_t cap) {
    char dir[kPath];
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (xdg != nullptr && xdg[0] == '/' && is_dir(xdg)) {
        if (!format(dir, sizeof dir, "%s/plugkit-netc", xdg)) return false;
    } else if (!format(dir, sizeof dir, "/tmp/plugkit-netc-%u", static_cast<unsigned>(geteuid()))) {
        return false;
    }
    if (!private_dir(dir)) return false;
    char real[PATH_MAX];
    if (realpath(dir, real) == nullptr) return false;
    return copy_text(out, cap, real);
}

bool find_places(char letter, Places* p) {
    p->letter = static_cast<char>(letter - 'A' + 'a');
    return xdg_place("XDG_DATA_HOME", ".local/share", "plugkit/drives", p->drives,
                     sizeof p->drives) &&
           format(p->link, sizeof p->link, "%s/%c:", p->drives, p->letter) &&
           runtime_base(p->runtime, sizeof p->runtime) &&
           format(p->conn, sizeof p->conn, "%s/%c", p->runtime, p->letter) &&
           format(p->mnt, sizeof p->mnt, "%s/mnt", p->conn) &&
           xdg_place("XDG_CONFIG_HOME", ".config", "plugkit/netc", p->remembered,
                     sizeof p->remembered) &&
           format(p->script, sizeof p->script, "%s/%c.phs", p->remembered, p->letter);
}

// ---- credentials ------------------------------------------------------------------

struct Credentials {
    char domain[kTextSize];
    char user[kTextSize];
    char password[kTextSize];
};

// "DOMAIN\user" names a domain (workgroup); a plain name uses the default.
void split_credentials(const Settings& s, Credentials* c) {
    std::memset(c, 0, sizeof *c);
    const char* slash = std::strchr(s.user_name, '\\');
    if (slash != nullptr) {
        std::memcpy(c->domain, s.user_name, static_cast<std::size_t>(slash - s.user_name));
        copy_text(c->user, sizeof c->user, slash + 1);
    } else {
        copy_text(c->user, sizeof c->user, s.user_name);
    }
    copy_text(c->password, sizeof c->password, s.password);
}

// ---- libsmbclient -------------------------------------------------------------------
// Loaded on first use and kept loaded (its libraries do not take unloading
// well), so the plug-in itself loads and unloads without it.

struct SmbClient {
    bool tried;
    bool ok;
    SMBCCTX* (*new_context)();
    SMBCCTX* (*init_context)(SMBCCTX*);
    int (*free_context)(SMBCCTX*, int);
    void (*set_auth)(SMBCCTX*, smbc_get_auth_data_with_context_fn);
    void (*set_user_data)(SMBCCTX*, void*);
    void* (*get_user_data)(SMBCCTX*);
    void (*set_no_auto_anonymous)(SMBCCTX*, smbc_bool);
    void (*set_use_kerberos)(SMBCCTX*, smbc_bool);
    void (*set_use_ccache)(SMBCCTX*, smbc_bool);
    int (*set_configuration)(SMBCCTX*, const char*);
    void (*set_debug)(SMBCCTX*, int);
    smbc_opendir_fn (*get_opendir)(SMBCCTX*);
    smbc_closedir_fn (*get_closedir)(SMBCCTX*);
};

SmbClient smb;

template <typename F>
bool bind_symbol(void* lib, const char* name, F* out) {
    void* sym = dlsym(lib, name);
    if (sym == nullptr) return false;
    std::memcpy(out, &sym, sizeof sym);
    return true;
}

bool load_smbclient() {
    if (smb.tried) return smb.ok;
    smb.tried = true;
    void* lib = dlopen("libsmbclient.so.0", RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (lib == nullptr) return false;
    smb.ok = bind_symbol(lib, "smbc_new_context", &smb.new_context) &&
             bind_symbol(lib, "smbc_init_context", &smb.init_context) &&
             bind_symbol(lib, "smbc_free_context", &smb.free_context) &&
             bind_symbol(lib, "smbc_setFunctionAuthDataWithContext", &smb.set_auth) &&
             bind_symbol(lib, "smbc_setOptionUserData", &smb.set_user_data) &&
             bind_symbol(lib, "smbc_getOptionUserData", &smb.get_user_data) &&
             bind_symbol(lib, "smbc_setOptionNoAutoAnonymousLogin", &smb.set_no_auto_anonymous) &&
             bind_symbol(lib, "smbc_setOptionUseKerberos", &smb.set_use_kerberos) &&
             bind_symbol(lib, "smbc_setOptionUseCCache", &smb.set_use_ccache) &&
             bind_symbol(lib, "smbc_setConfiguration", &smb.set_configuration) &&
             bind_symbol(lib, "smbc_setDebug", &smb.set_debug) &&
             bind_symbol(lib, "smbc_getFunctionOpendir", &smb.get_opendir) &&
             bind_symbol(lib, "smbc_getFunctionClosedir", &smb.get_closedir);
    return smb.ok;
}

void copy_bounded(char* out, int cap, const char* in) {
    if (out == nullptr || cap <= 0) return;
    copy_text(out, static_cast<std::size_t>(cap), in);
}

void supply_credentials(SMBCCTX* c, const char*, const char*, char* workgroup, int workgroup_len,
                        char* user, int user_len, char* password, int password_len) {
    const Credentials* cr = static_cast<const Credentials*>(smb.get_user_data(c));
    if (cr == nullptr) return;
    if (cr->domain[0] != 0) copy_bounded(workgroup, workgroup_len, cr->domain);
    copy_bounded(user, user_len, cr->user);
    copy_bounded(password, password_len, cr->password);
}

// Client settings for every SMB lookup made here: names resolve through the
// system's host lookup only, never by NetBIOS broadcasts.
bool write_client_conf(const char* path) {
    return write_file(path,
                      "[global]\n"
                      "  disable netbios = yes\n"
                      "  name resolve order = host\n"
                      "  client use kerberos = off\n",
                      0600);
}

uint32_t errno_to_code(int e) {
    switch (e) {
        case ENOENT:
        case ENODEV:
        case ENOTDIR:
            return err::kBadNetName;
        case ECONNREFUSED:
        case EHOSTUNREACH:
        case EHOSTDOWN:
        case ENETUNREACH:
        case ENETDOWN:
        case ETIMEDOUT:
        case ECONNRESET:
        case EADDRNOTAVAIL:
        case EINVAL:  // the host name does not resolve
            return err::kBadNetPath;
        case EACCES:
        case EPERM:
            return err::kAccessDenied;
        case EBUSY:
            return err::kBusy;
        default:
            return err::kUnexpectedNetError;
    }
}

// Asks the server whether the share (and folder) exists and the credentials
// open it. Returns 0 or the Windows code of the reason.
uint32_t check_share(const RemoteName& r, const Credentials& cr, const char* client_conf) {
    if (!load_smbclient()) return err::kNoNetwork;
    SMBCCTX* ctx = smb.new_context();
    if (ctx == nullptr) return err::kUnexpectedNetError;
    smb.set_debug(ctx, 0);
    smb.set_user_data(ctx, const_cast<Credentials*>(&cr));
    smb.set_auth(ctx, supply_credentials);
    smb.set_use_kerberos(ctx, 0);
    smb.set_use_ccache(ctx, 0);
    // With a user name, a refused logon must not turn into a guest session.
    smb.set_no_auto_anonymous(ctx, cr.user[0] != 0 ? 1 : 0);
    if (smb.init_context(ctx) == nullptr) {
        smb.free_context(ctx, 1);
        return err::kNoNetwork;
    }
    smb.set_configuration(ctx, client_conf);

    uint32_t code = 0;
    char url[kPath];
    if (!smb_url(r, true, url, sizeof url)) {
        code = err::kBadNetName;
    } else if (SMBCFILE* dir = smb.get_opendir(ctx)(ctx, url); dir != nullptr) {
        smb.get_closedir(ctx)(ctx, dir);
    } else {
        code = errno_to_code(errno);
        if (code == err::kAccessDenied) {
            // A wrong password, an unknown user and a share closed to this
            // user look alike here. Listing the server's shares tells them
            // apart: it works once the logon itself succeeds.
            char server_url[kPath];
            SMBCFILE* list = smb_url(r, false, server_url, sizeof server_url)
                                 ? smb.get_opendir(ctx)(ctx, server_url)
                                 : nullptr;
            if (list != nullptr) {
                smb.get_closedir(ctx)(ctx, list);
            } else if (errno == EACCES || errno == EPERM) {
                code = err::kLogonFailure;
            }
        }
    }
    smb.free_context(ctx, 1);
    return code;
}

// ---- mounting ------------------------------------------------------------------------

// The kernel's cifs client; root only. Returns 0 or an errno value.
int mount_kernel(const RemoteName& r, const Credentials& cr, const char* mnt) {
    if (std::strchr(cr.user, ',') != nullptr || std::strchr(cr.domain, ',') != nullptr) return EINVAL;
    char host[kServerSize];
    copy_text(host, sizeof host, r.server);
    if (host[0] == '[') {
        host[std::strlen(host) - 1] = 0;
        std::memmove(host, host + 1, std::strlen(host));
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0 || found == nullptr) return EHOSTUNREACH;
    char address[NI_MAXHOST];
    const int got = getnameinfo(found->ai_addr, found->ai_addrlen, address, sizeof address, nullptr,
                                0, NI_NUMERICHOST);
    freeaddrinfo(found);
    if (got != 0) return EHOSTUNREACH;

    // A comma in the password is written twice.
    char password[2 * kTextSize];
    std::size_t n = 0;
    for (const char* p = cr.password; *p != 0 && n + 2 < sizeof password; ++p) {
        password[n++] = *p;
        if (*p == ',') password[n++] = ',';
    }
    password[n] = 0;

    char source[kPath];
    char data[3 * kTextSize + 256];
    bool ok = format(source, sizeof source, "//%s/%s", host, r.share);
    if (ok && cr.user[0] == 0) {
        ok = format(data, sizeof data, "ip=%s,guest,uid=%u,gid=%u", address,
                    static_cast<unsigned>(geteuid()), static_cast<unsigned>(getegid()));
    } else if (ok) {
        ok = format(data, sizeof data, "ip=%s,username=%s,password=%s%s%s,uid=%u,gid=%u", address,
                    cr.user, password, cr.domain[0] != 0 ? ",domain=" : "", cr.domain,
                    static_cast<unsigned>(geteuid()), static_cast<unsigned>(getegid()));
    }
    if (ok && r.port != 0) {
        const std::size_t len = std::strlen(data);
        ok = format(data + len, sizeof data - len, ",port=%u", static_cast<unsigned>(r.port));
    }
    int result = EINVAL;
    if (ok) result = mount(source, mnt, "cifs", MS_NOSUID | MS_NODEV, data) == 0 ? 0 : errno;
    secure_zero(password, sizeof password);
    secure_zero(data, sizeof data);
    return result;
}

// Where smbnetfs shows a share: <mount>/<server>[:<port>]/<share>.
bool share_folder(const RemoteName& r, const char* mnt, char* out, std::size_t cap) {
    if (r.port != 0)
        return format(out, cap, "%s/%s:%u/%s", mnt, r.server, static_cast<unsigned>(r.port), r.share);
    return format(out, cap, "%s/%s/%s", mnt, r.server, r.share);
}

// smbnetfs over FUSE, one instance per drive letter, configured by a
// private HOME holding its smb.conf and its configuration file (with the
// password, mode 0600). Returns 0 or a Windows code; *pid gets its pid.
uint32_t mount_fuse(const RemoteName& r, const Credentials& cr, const Places& pl, pid_t* pid) {
    char program[kPath];
    if (!find_program("smbnetfs", program, sizeof program)) return err::kNoNetwork;
    // smbnetfs opens /dev/fuse itself; without root, the set-user-id
    // fusermount then mounts it.
    if (access("/dev/fuse", R_OK | W_OK) != 0) return err::kNoNetwork;
    char fusermount[kPath];
    if (geteuid() != 0 && !find_program("fusermount", fusermount, sizeof fusermount))
        return err::kNoNetwork;
    // FUSE option lists are comma-separated.
    if (std::strchr(pl.conn, ',') != nullptr) return err::kCannotOpenProfile;

    char home[kPath], dot_smb[kPath], smb_conf[kPath], conf[kPath];
    if (!format(home, sizeof home, "%s/home", pl.conn) ||
        !format(dot_smb, sizeof dot_smb, "%s/.smb", home) ||
        !format(smb_conf, sizeof smb_conf, "%s/smb.conf", dot_smb) ||
        !format(conf, sizeof conf, "%s/smbnetfs.conf", pl.conn))
        return err::kCannotOpenProfile;
    if (!private_dir(home) || !private_dir(dot_smb) || !write_client_conf(smb_conf))
        return err::kCannotOpenProfile;

    // One instance serves one share, so the default credentials are the
    // share's.
    static char text[4 * kTextSize + 512];
    char user[2 * kTextSize + 4], password[2 * kTextSize + 4];
    char domain_user[2 * kTextSize];
    uint32_t code = 0;
    if (cr.domain[0] != 0) {
        format(domain_user, sizeof domain_user, "%s/%s", cr.domain, cr.user);
    } else {
        copy_text(domain_user, sizeof domain_user, cr.user);
    }
    if (!quote_for_smbnetfs(domain_user, user, sizeof user) ||
        !quote_for_smbnetfs(cr.password, password, sizeof password)) {
        code = err::kInvalidPassword;
    } else {
        const bool with_auth = cr.user[0] != 0;
        const bool written =
            format(text, sizeof text,
                   "smb_query_browsers false\n"
                   "use_libsecret false\n"
                   "show_$_shares true\n"
                   "%s%s%s%s\n",
                   with_auth ? "auth " : "", with_auth ? user : "", with_auth ? " " : "",
                   with_auth ? password : "") &&
            write_file(conf, text, 0600);
        if (!written) code = err::kCannotOpenProfile;
    }
    secure_zero(password, sizeof password);
    secure_zero(text, sizeof text);
    if (code != 0) return code;

    char mnt[kPath], options[kPath + 16];
    copy_text(mnt, sizeof mnt, pl.mnt);
    format(options, sizeof options, "config=%s", conf);
    char foreground[] = "-f", dash_o[] = "-o";
    char* argv[] = {program, mnt, foreground, dash_o, options, nullptr};
    char home_env[kPath + 8], path_env[kPath + 8];
    format(home_env, sizeof home_env, "HOME=%s", home);
    const char* path = std::getenv("PATH");
    format(path_env, sizeof path_env, "PATH=%s", path != nullptr ? path : "/usr/bin:/bin");
    char* envp[6] = {home_env, path_env, nullptr, nullptr, nullptr, nullptr};
    int envc = 2;
    static char locale[3][256];
    const char* locale_vars[] = {"LANG", "LC_ALL", "LC_CTYPE"};
    for (int i = 0; i < 3; ++i) {
        const char* v = std::getenv(locale_vars[i]);
        if (v != nullptr && format(locale[i], sizeof locale[i], "%s=%s", locale_vars[i], v))
            envp[envc++] = locale[i];
    }

    *pid = spawn_detached(argv, envp);
    if (*pid <= 0) return err::kNoNetwork;
    const long long deadline = now_ms() + 10000;
    while (!is_mounted(pl.mnt)) {
        // Until its exec the new process still bears the host's name.
        if (!process_alive(*pid, nullptr) || now_ms() > deadline) {
            kill(*pid, SIGTERM);
            return err::kNoNetwork;
        }
        pause_ms(10);
    }
    // The share's folder as smbnetfs shows it. Reading it makes smbnetfs
    // open the connection; a mere look would not.
    char share_dir[kPath];
    if (!share_folder(r, pl.mnt, share_dir, sizeof share_dir)) {
        code = err::kBadNetName;
    } else if (DIR* dir = opendir(share_dir); dir == nullptr) {
        code = errno == EIO ? err::kBadNetPath : errno_to_code(errno);
    } else {
        errno = 0;
        if (readdir(dir) == nullptr && errno != 0)
            code = errno == EIO ? err::kBadNetPath : errno_to_code(errno);
        closedir(dir);
    }
    if (code != 0) {
        unmount_forced(pl.mnt);
        kill(*pid, SIGTERM);
    }
    return code;
}

// Stops the smbnetfs of a connection (after its unmount it ends by itself).
void stop_daemon(const char* pid_file) {
    char buf[32] = {};
    const int fd = open(pid_file, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    const ssize_t n = read(fd, buf, sizeof buf - 1);
    close(fd);
    if (n <= 0) return;
    const pid_t pid = static_cast<pid_t>(std::atoi(buf));
    long long deadline = now_ms() + 3000;
    while (process_alive(pid, "smbnetfs") && now_ms() < deadline) pause_ms(10);
    if (!process_alive(pid, "smbnetfs")) return;
    kill(pid, SIGTERM);
    deadline = now_ms() + 2000;
    while (process_alive(pid, "smbnetfs") && now_ms() < deadline) pause_ms(10);
    if (process_alive(pid, "smbnetfs")) kill(pid, SIGKILL);
}

int remove_entry(const char* path, const struct stat*, int type, FTW*) {
    if (type == FTW_DP) {
        rmdir(path);
    } else {
        unlink(path);
    }
    return 0;
}

// rm -r without following links.
void remove_tree(const char* path) { nftw(path, remove_entry, 16, FTW_DEPTH | FTW_PHYS); }

// Removes what a connection keeps in its runtime folder, unmounting first.
bool clear_connection(const Places& pl) {
    if (!is_dir(pl.conn)) return true;
    if (!unmount_forced(pl.mnt)) return false;
    char path[kPath];
    if (format(path, sizeof path, "%s/pid", pl.conn)) {
        stop_daemon(path);
        unlink(path);
    }
    if (format(path, sizeof path, "%s/smbnetfs.conf", pl.conn)) shred_file(path);
    // smbnetfs's private HOME, with whatever its libraries left there.
    if (format(path, sizeof path, "%s/home", pl.conn) && is_dir(path)) remove_tree(path);
    rmdir(pl.mnt);
    rmdir(pl.conn);
    return true;
}

// ---- remembered connections --------------------------------------------------------

// Writes the plughost script that restores the connection; the password
// goes in only when the user asked for it by creating "save-passwords" in
// the same folder.
bool remember(const Places& pl, const Settings& s) {
    if (!make_dirs(pl.remembered, 0700)) return false;
    char opt_in[kPath];
    if (!format(opt_in, sizeof opt_in, "%s/save-passwords", pl.remembered)) return false;
    const bool with_password = access(opt_in, F_OK) == 0 && s.password[0] != 0;

    static char text[8 * kTextSize + 1024];
    char local[4 * kTextSize + 3], remote[4 * kTextSize + 3], user[4 * kTextSize + 3],
        provider[4 * kTextSize + 3], password[4 * kTextSize + 3];
    bool ok = quote_for_script(s.local_name, local, sizeof local) &&
              quote_for_script(s.remote_name, remote, sizeof remote) &&
              quote_for_script(s.user_name, user, sizeof user) &&
              quote_for_script(s.provider, provider, sizeof provider) &&
              quote_for_script(with_password ? s.password : "", password, sizeof password);
    ok = ok && format(text, sizeof text,
                      "# Connection of %c: remembered by netc; restored at login by\n"
                      "#   plughost %s\n"
                      "load netc\n"
                      "netc LOCALNAME %s\n"
                      "netc REMOTENAME %s\n"
                      "netc USERNAME %s\n"
                      "%snetc PASSWORD %s\n"
                      "netc PROVIDER %s\n"
                      "netc CONNECT\n",
                      s.local_name[0], pl.script, local, remote, user,
                      with_password ? "" : "# (password not saved) ", password, provider);
    char temp[kPath];
    ok = ok && format(temp, sizeof temp, "%s.new", pl.script) && write_file(temp, text, 0600) &&
         rename(temp, pl.script) == 0;
    secure_zero(password, sizeof password);
    secure_zero(text, sizeof text);
    return ok;
}

bool provider_known(const char* provider) {
    if (provider[0] == 0) return true;
    const char* known = "MICROSOFT WINDOWS NETWORK";
    std::size_t i = 0;
    for (; provider[i] != 0 && known[i] != 0; ++i) {
        char c = provider[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        if (c != known[i]) return false;
    }
    return provider[i] == 0 && known[i] == 0;
}

bool link_is_ours(const Places& pl) {
    char target[kPath];
    const ssize_t n = readlink(pl.link, target, sizeof target - 1);
    if (n <= 0) return false;
    target[n] = 0;
    const std::size_t len = std::strlen(pl.mnt);
    return std::strncmp(target, pl.mnt, len) == 0 && (target[len] == 0 || target[len] == '/');
}

}  // namespace

uint32_t connect_drive(Settings& s) {
    const char letter = drive_letter(s.local_name);
    if (letter == 0) return err::kBadDevice;
    static RemoteName r;
    const uint32_t parsed = parse_remote_name(s.remote_name, &r);
    if (parsed != 0) return parsed;
    if (!provider_known(s.provider)) return err::kBadProvider;
    static Places pl;
    if (!find_places(letter, &pl)) return err::kCannotOpenProfile;
    struct stat st;
    if (lstat(pl.link, &st) == 0) {
        // A connection of ours whose mount is gone (a new login, a crash)
        // holds its letter no longer; anything else does.
        if (!S_ISLNK(st.st_mode) || !link_is_ours(pl) || is_mounted(pl.mnt))
            return err::kAlreadyAssigned;
        if (!clear_connection(pl) || unlink(pl.link) != 0) return err::kAlreadyAssigned;
    } else if (errno != ENOENT) {
        return err::kAlreadyAssigned;
    }

    static Credentials cr;
    split_credentials(s, &cr);
    char client_conf[kPath];
    uint32_t code = 0;
    if (!format(client_conf, sizeof client_conf, "%s/client.conf", pl.runtime) ||
        !write_client_conf(client_conf)) {
        code = err::kCannotOpenProfile;
    } else {
        code = check_share(r, cr, client_conf);
    }
    // A folder left by a connection that ended without DISCONNECT.
    if (code == 0 && !clear_connection(pl)) code = err::kDeviceInUse;
    if (code == 0 && (!private_dir(pl.conn) || !private_dir(pl.mnt))) code = err::kCannotOpenProfile;

    char target[kPath];
    if (code == 0) {
        pid_t pid = 0;
        bool kernel = geteuid() == 0 && mount_kernel(r, cr, pl.mnt) == 0;
        if (kernel) {
            if (!(r.path[0] != 0 ? format(target, sizeof target, "%s/%s", pl.mnt, r.path)
                                 : copy_text(target, sizeof target, pl.mnt)))
                code = err::kBadNetName;
        } else {
            code = mount_fuse(r, cr, pl, &pid);
            char share_dir[kPath];
            if (code == 0 &&
                !(share_folder(r, pl.mnt, share_dir, sizeof share_dir) &&
                  (r.path[0] != 0 ? format(target, sizeof target, "%s/%s", share_dir, r.path)
                                  : copy_text(target, sizeof target, share_dir))))
                code = err::kBadNetName;
            if (code == 0) {
                char pid_file[kPath], pid_text[32];
                format(pid_text, sizeof pid_text, "%d\n", static_cast<int>(pid));
                if (!format(pid_file, sizeof pid_file, "%s/pid", pl.conn) ||
                    !write_file(pid_file, pid_text, 0600))
                    code = err::kCannotOpenProfile;
            }
        }
        if (code == 0 && (!make_dirs(pl.drives, 0755) || symlink(target, pl.link) != 0)) {
            code = errno == EEXIST ? err::kAlreadyAssigned : err::kCannotOpenProfile;
        }
        if (code == 0 && s.reconnect && !remember(pl, s)) {
            unlink(pl.link);
            code = err::kCannotOpenProfile;
        }
        if (code != 0) clear_connection(pl);
    } else if (is_dir(pl.conn)) {
        clear_connection(pl);
    }
    secure_zero(&cr, sizeof cr);
    return code;
}

uint32_t disconnect_drive(Settings& s) {
    const char letter = drive_letter(s.local_name);
    if (letter == 0) return err::kBadDevice;
    static Places pl;
    if (!find_places(letter, &pl)) return err::kCannotOpenProfile;
    struct stat st;
    if (lstat(pl.link, &st) != 0) {
        // Not connected; forgetting a remembered connection still counts.
        return unlink(pl.script) == 0 ? 0 : err::kNotConnected;
    }
    if (!S_ISLNK(st.st_mode) || !link_is_ours(pl)) return err::kNotConnected;
    if (!clear_connection(pl)) return err::kDeviceInUse;
    if (unlink(pl.link) != 0) return err::kCannotOpenProfile;
    unlink(pl.script);
    return 0;
}

}  // namespace netc
