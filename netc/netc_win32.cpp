// Windows backend: the system's own network connections (mpr).
#include <windows.h>
#include <winnetwk.h>

#include "netc.h"

namespace netc {

// The error code is the call's own result: the API documents it as the
// reason of the failure, and some implementations of mpr leave the thread's
// last-error value untouched when they fail.
uint32_t connect_drive(Settings& s) {
    const AddConnectionCall call = add_connection_call(s);
    NETRESOURCEA resource;
    resource.dwScope = 0;
    resource.dwType = call.type;
    resource.dwDisplayType = 0;
    resource.dwUsage = 0;
    resource.lpLocalName = call.local_name;
    resource.lpRemoteName = call.remote_name;
    resource.lpComment = nullptr;
    resource.lpProvider = call.provider;
    return WNetAddConnection2A(&resource, call.password, call.user_name, call.flags);
}

uint32_t disconnect_drive(Settings& s) {
    const CancelConnectionCall call = cancel_connection_call(s);
    return WNetCancelConnection2A(call.name, call.flags, call.force);
}

}  // namespace netc
