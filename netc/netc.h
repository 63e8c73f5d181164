// netc: connects a local device name to a remote network resource.
//
// The command handler keeps six settings and hands them to the platform
// through connect_drive / disconnect_drive, one implementation per backend
// (Windows networking, Linux SMB mounts, a recorder for tests). Each
// returns a Windows error code, 0 for success, which net_error_status turns
// into the plug-in's status.
#pragma once

#include <cstddef>
#include <cstdint>

namespace netc {

// Status codes of this plug-in.
enum NetcStatus : int32_t {
    kNameMissing = 33,  // local name (or, for CONNECT, remote name) empty
    kOtherNetError = 54,
};

// A setting holds one field of a 256-byte block; a field that runs to the
// block's end is still shorter than this.
constexpr std::size_t kTextSize = 260;

struct Settings {
    char local_name[kTextSize];
    char remote_name[kTextSize];
    char user_name[kTextSize];
    char password[kTextSize];
    char provider[kTextSize];
    bool reconnect;
};

// The module's settings (tests read them; nothing else does).
Settings& settings();

// Windows error code -> status code (34..54).
int32_t net_error_status(uint32_t code);

// The command handler the frame calls with the upper-cased command word.
void handle_command(char* word);

// Wipes every setting, the password first; the unload step.
void wipe_settings();

// Overwrites n bytes with zeros in a way the compiler keeps.
void secure_zero(void* p, std::size_t n);

// ---- the platform boundary ---------------------------------------------------
// Both receive the settings as stored (never null texts) and return the
// Windows error code of the attempt: 0 when it succeeded.
uint32_t connect_drive(Settings& s);
uint32_t disconnect_drive(Settings& s);

// The arguments of WNetAddConnection2A and WNetCancelConnection2A as the
// settings give them: every text a pointer into the settings (an empty
// setting is an empty text, never null), the flags by the reconnect setting.
constexpr uint32_t kResourceTypeAny = 0;    // RESOURCETYPE_ANY
constexpr uint32_t kConnectUpdateProfile = 1;  // CONNECT_UPDATE_PROFILE

struct AddConnectionCall {
    uint32_t type;
    char* local_name;
    char* remote_name;
    char* provider;
    char* password;
    char* user_name;
    uint32_t flags;
};
AddConnectionCall add_connection_call(Settings& s);

struct CancelConnectionCall {
    char* name;
    uint32_t flags;
    int32_t force;  // all bits set: forced whatever is open
};
CancelConnectionCall cancel_connection_call(Settings& s);

// Windows error codes used by more than one backend.
namespace err {
constexpr uint32_t kAccessDenied = 5;
constexpr uint32_t kBadNetPath = 53;
constexpr uint32_t kBadNetName = 67;
constexpr uint32_t kAlreadyAssigned = 85;
constexpr uint32_t kInvalidPassword = 86;
constexpr uint32_t kBusy = 170;
constexpr uint32_t kBadDevice = 1200;
constexpr uint32_t kNoNetOrBadPath = 1203;
constexpr uint32_t kBadProvider = 1204;
constexpr uint32_t kCannotOpenProfile = 1205;
constexpr uint32_t kBadProfile = 1206;
constexpr uint32_t kExtendedError = 1208;
constexpr uint32_t kNoNetwork = 1222;
constexpr uint32_t kLogonFailure = 1326;
constexpr uint32_t kNotConnected = 2250;
constexpr uint32_t kOpenFiles = 2401;
constexpr uint32_t kDeviceInUse = 2404;
constexpr uint32_t kUnexpectedNetError = 59;
}  // namespace err

}  // namespace netc
