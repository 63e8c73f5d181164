// A backend that records what would go to the system and answers with a
// preset error code; for tests and the fuzz target.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "netc.h"

namespace netc::recorder {

struct Call {
    bool connect;  // true: WNetAddConnection2A, false: WNetCancelConnection2A
    // connect: the record and the arguments as they would be passed
    uint32_t type = 0;
    std::string local_name, remote_name, provider, password, user_name;
    bool any_null = false;  // a text handed over as a null pointer
    uint32_t flags = 0;
    int32_t force = 0;      // disconnect only
};

// Forgets the calls; every later call answers `result`.
void reset(uint32_t result = 0);
const std::vector<Call>& calls();

}  // namespace netc::recorder
