// Short meanings of status codes, for plughost's reports.
#pragma once

#include <cstdint>

namespace host {

// The meaning of `code` as reported by the plug-in named `plugin` (the name
// Init returned, such as "MIDI"). Never null.
const char* status_meaning(const char* plugin, int32_t code);

}  // namespace host
