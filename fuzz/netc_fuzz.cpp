// netc: any sequence of blocks through every export against the recorder,
// with the statuses the handler may give checked; every stored remote name
// also goes through the Linux backend's reader and quoting.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "block_input.h"
#include "netc.h"
#include "netc_recorder.h"
#include "plugframe.h"
#include "remote_name.h"

namespace {

bool netc_status(int32_t s) { return s == 0 || s == 2 || s == 14 || (s >= 33 && s <= 54); }

void check_names(const netc::Settings& s) {
    netc::RemoteName r;
    if (netc::parse_remote_name(s.remote_name, &r) == 0) {
        if (r.server[0] == 0 || r.share[0] == 0) __builtin_trap();
        char url[1024];
        if (!netc::smb_url(r, true, url, sizeof url)) __builtin_trap();
    }
    char quoted[4 * netc::kTextSize + 3];
    if (!netc::quote_for_script(s.password, quoted, sizeof quoted)) __builtin_trap();
    netc::quote_for_smbnetfs(s.user_name, quoted, sizeof quoted);
    netc::drive_letter(s.local_name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    int32_t fields = 0, block_size = 0;
    plug::reset_frame_for_tests();
    netc::wipe_settings();
    Init(0, 0, 0, &fields, &block_size);
    while (size > 0) {
        const uint8_t selector = fuzz::take_byte(data, size);
        netc::recorder::reset(static_cast<uint32_t>(selector) * 37u % 2500u);
        std::vector<char> block = fuzz::take_block(data, size, static_cast<std::size_t>(block_size));
        switch (selector % 4) {
            case 0:
                if (FuncProc(block.data())[0] != 0 || StatProc() != 7) __builtin_trap();
                break;
            case 1: {
                // The reader on raw text, lower case and all.
                StatProc();
                char text[netc::kTextSize] = {};
                std::memcpy(text, block.data(), sizeof text - 1 < block.size() ? sizeof text - 1 : block.size());
                netc::RemoteName r;
                if (netc::parse_remote_name(text, &r) == 0 && (r.server[0] == 0 || r.share[0] == 0))
                    __builtin_trap();
                break;
            }
            default: {
                const int32_t status = CommandProc(block.data());
                if (!netc_status(status) || status != StatProc()) __builtin_trap();
                for (const netc::recorder::Call& c : netc::recorder::calls()) {
                    if (c.any_null) __builtin_trap();
                }
            }
        }
        check_names(netc::settings());
    }
    return 0;
}
