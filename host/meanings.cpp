#include "meanings.h"

#include <cstring>

namespace host {
namespace {

struct Meaning {
    const char* plugin;  // null: shared by every plug-in
    int32_t code;
    const char* text;
};

// Plug-in codes first, so that they win over the shared ones.
const Meaning kMeanings[] = {
    {"SPLASH", 33, "the file exists but is not a picture or clip that can be read"},
    {"MIDI", 33, "no MIDI output device"},
    {"MIDI", 34, "the MIDI output device is already in use"},
    {"MIDI", 35, "not enough memory for the MIDI output"},
    {"MIDI", 36, "the MIDI output refused the request"},
    {"NETC", 33, "the local name (or, for CONNECT, the remote name) is empty"},
    {"NETC", 34, "access denied"},
    {"NETC", 35, "the local device is already connected"},
    {"NETC", 36, "the device type and the resource type do not match"},
    {"NETC", 37, "the local device name is not valid"},
    {"NETC", 38, "the network name cannot be found (no such share)"},
    {"NETC", 39, "the network path was not found (no such server)"},
    {"NETC", 40, "the user profile is not valid"},
    {"NETC", 41, "the network provider is not valid"},
    {"NETC", 42, "the network provider is busy"},
    {"NETC", 43, "the operation was cancelled"},
    {"NETC", 44, "the user profile cannot be opened"},
    {"NETC", 45, "the local device is already remembered for another connection"},
    {"NETC", 46, "the device is in use"},
    {"NETC", 47, "a network-specific error occurred"},
    {"NETC", 48, "the password is not valid"},
    {"NETC", 49, "no network, or a bad network path"},
    {"NETC", 50, "the network is not present or not started"},
    {"NETC", 51, "the device is not connected"},
    {"NETC", 52, "files are open on the connection"},
    {"NETC", 53, "logon failure: unknown user name or bad password"},
    {"NETC", 54, "the network call failed for another reason"},
    {nullptr, 0, "success"},
    {nullptr, -1, "the named file does not exist"},
    {nullptr, 1, "the plug-in offers no commands"},
    {nullptr, 2, "a required field is empty"},
    {nullptr, 7, "the plug-in offers no function"},
    {nullptr, 14, "keyword or value not recognised"},
    {nullptr, 25, "a number was expected"},
    {nullptr, 99, "the plug-in failed unexpectedly (internal error or out of memory)"},
};

}  // namespace

const char* status_meaning(const char* plugin, int32_t code) {
    for (const Meaning& m : kMeanings) {
        if (m.code != code) continue;
        if (m.plugin == nullptr || (plugin != nullptr && std::strcmp(m.plugin, plugin) == 0)) {
            return m.text;
        }
    }
    return "unknown status";
}

}  // namespace host
