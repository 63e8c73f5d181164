// Keeps libasound from printing its error messages while an object of this
// class lives: a plug-in writes no messages of its own, and a missing device
// is an ordinary answer. The previous handler comes back afterwards.
#pragma once

#include <alsa/asoundlib.h>

namespace midi {

class QuietAlsa {
public:
    QuietAlsa() : previous_(snd_lib_error) { snd_lib_error_set_handler(silent); }
    ~QuietAlsa() { snd_lib_error_set_handler(previous_); }
    QuietAlsa(const QuietAlsa&) = delete;
    QuietAlsa& operator=(const QuietAlsa&) = delete;

private:
    static void silent(const char*, int, const char*, int, const char*, ...) {}
    snd_lib_error_handler_t previous_;
};

}  // namespace midi
