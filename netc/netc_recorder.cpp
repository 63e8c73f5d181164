// Recording backend: no system call, a preset answer.
#include "netc_recorder.h"

namespace netc {
namespace {

std::vector<recorder::Call> recorded;
uint32_t answer = 0;

std::string text(const char* p, bool* any_null) {
    if (p == nullptr) {
        *any_null = true;
        return std::string();
    }
    return std::string(p);
}

}  // namespace

void recorder::reset(uint32_t result) {
    recorded.clear();
    answer = result;
}

const std::vector<recorder::Call>& recorder::calls() { return recorded; }

uint32_t connect_drive(Settings& s) {
    const AddConnectionCall a = add_connection_call(s);
    recorder::Call c;
    c.connect = true;
    c.type = a.type;
    c.local_name = text(a.local_name, &c.any_null);
    c.remote_name = text(a.remote_name, &c.any_null);
    c.provider = text(a.provider, &c.any_null);
    c.password = text(a.password, &c.any_null);
    c.user_name = text(a.user_name, &c.any_null);
    c.flags = a.flags;
    recorded.push_back(c);
    return answer;
}

uint32_t disconnect_drive(Settings& s) {
    const CancelConnectionCall a = cancel_connection_call(s);
    recorder::Call c;
    c.connect = false;
    c.local_name = text(a.name, &c.any_null);
    c.flags = a.flags;
    c.force = a.force;
    recorded.push_back(c);
    return answer;
}

}  // namespace netc
