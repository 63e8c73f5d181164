// netc: the settings, the command words and the error table.
#include "netc.h"

#include <cstring>

#include "plugframe.h"

namespace netc {
namespace {

constexpr int32_t kBlockSize = 256;

Settings state;

// Copies a field into a setting, bounded; whatever the setting held before
// is wiped first, so no tail of a longer old value stays behind.
void store(char (&setting)[kTextSize], const char* field) {
    secure_zero(setting, sizeof setting);
    std::size_t n = std::strlen(field);
    if (n > kTextSize - 1) n = kTextSize - 1;
    std::memcpy(setting, field, n);
}

// LOCALNAME and REMOTENAME: upper-cased, kept untrimmed, blank refused.
void store_name(char (&setting)[kTextSize]) {
    char* field = plug::upper_in_place(plug::next_field());
    if (plug::is_blank(field)) {
        plug::set_status(plug::kEmptyField);
        return;
    }
    store(setting, field);
}

void finish(uint32_t code) {
    if (code != 0) plug::set_status(net_error_status(code));
}

struct ErrorRow {
    uint32_t code;
    int32_t status;
};

constexpr ErrorRow kErrorTable[] = {
    {5, 34},     // ERROR_ACCESS_DENIED
    {85, 35},    // ERROR_ALREADY_ASSIGNED
    {66, 36},    // ERROR_BAD_DEV_TYPE
    {1200, 37},  // ERROR_BAD_DEVICE
    {67, 38},    // ERROR_BAD_NET_NAME
    {53, 39},    // ERROR_BAD_NETPATH
    {1206, 40},  // ERROR_BAD_PROFILE
    {1204, 41},  // ERROR_BAD_PROVIDER
    {170, 42},   // ERROR_BUSY
    {1223, 43},  // ERROR_CANCELLED
    {1205, 44},  // ERROR_CANNOT_OPEN_PROFILE
    {1202, 45},  // ERROR_DEVICE_ALREADY_REMEMBERED
    {2404, 46},  // ERROR_DEVICE_IN_USE
    {1208, 47},  // ERROR_EXTENDED_ERROR
    {86, 48},    // ERROR_INVALID_PASSWORD
    {1203, 49},  // ERROR_NO_NET_OR_BAD_PATH
    {1222, 50},  // ERROR_NO_NETWORK
    {2250, 51},  // ERROR_NOT_CONNECTED
    {2401, 52},  // ERROR_OPEN_FILES
    {1326, 53},  // ERROR_LOGON_FAILURE
};

}  // namespace

Settings& settings() { return state; }

void secure_zero(void* p, std::size_t n) {
    volatile unsigned char* b = static_cast<volatile unsigned char*>(p);
    while (n-- > 0) *b++ = 0;
}

int32_t net_error_status(uint32_t code) {
    for (const ErrorRow& row : kErrorTable) {
        if (row.code == code) return row.status;
    }
    return kOtherNetError;
}

AddConnectionCall add_connection_call(Settings& s) {
    return AddConnectionCall{kResourceTypeAny, s.local_name, s.remote_name, s.provider,
                             s.password, s.user_name,
                             s.reconnect ? kConnectUpdateProfile : 0u};
}

CancelConnectionCall cancel_connection_call(Settings& s) {
    return CancelConnectionCall{s.local_name, kConnectUpdateProfile, -1};
}

void handle_command(char* word) {
    if (plug::same_text(word, "LOCALNAME")) {
        store_name(state.local_name);
    } else if (plug::same_text(word, "REMOTENAME")) {
        store_name(state.remote_name);
    } else if (plug::same_text(word, "RECONNECT")) {
        state.reconnect = !plug::is_blank(plug::next_field());
    } else if (plug::same_text(word, "USERNAME")) {
        store(state.user_name, plug::next_field());
    } else if (plug::same_text(word, "PASSWORD")) {
        // The block copy would hold the new password until the next command;
        // wipe it there once it is stored.
        char* field = plug::next_field();
        store(state.password, field);
        secure_zero(field, std::strlen(field));
    } else if (plug::same_text(word, "PROVIDER")) {
        store(state.provider, plug::next_field());
    } else if (plug::same_text(word, "CONNECT")) {
        if (plug::is_blank(state.local_name) || plug::is_blank(state.remote_name)) {
            plug::set_status(kNameMissing);
            return;
        }
        finish(connect_drive(state));
    } else if (plug::same_text(word, "DISCONNECT")) {
        if (plug::is_blank(state.local_name)) {
            plug::set_status(kNameMissing);
            return;
        }
        finish(disconnect_drive(state));
    } else {
        plug::set_status(plug::kUnrecognised);
    }
}

void wipe_settings() {
    secure_zero(state.password, sizeof state.password);
    secure_zero(&state, sizeof state);
}

}  // namespace netc

namespace plug {
const Plugin plugin = {
    "NETC", 2, netc::kBlockSize,
    nullptr,                // no start-up objects
    netc::handle_command,
    nullptr,                // default function answer
    netc::wipe_settings,    // the password does not outlive the plug-in
};
}  // namespace plug
