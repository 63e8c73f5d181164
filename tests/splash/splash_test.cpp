// splash: the command handler against the recording window fake, through the
// frame's exports.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "commands.h"
#include "plugframe.h"
#include "window_fake.h"
#include "window_ops.h"
#include "test_block.h"

namespace {

namespace fs = std::filesystem;
using splash::fake::calls;
using splash::fake::window;
using Calls = std::vector<std::string>;

int32_t send(std::initializer_list<std::string> fields) {
    const int32_t status = CommandProc(plugtest::make_block(256, fields).data());
    EXPECT_EQ(StatProc(), status);
    return status;
}

class Splash : public ::testing::Test {
protected:
    void SetUp() override {
        splash::unload();
        plug::reset_frame_for_tests();
        splash::fake::reset();
        int32_t fields = 0, size = 0;
        EXPECT_STREQ(Init(1, 2, 3, &fields, &size), "SPLASH");
        EXPECT_EQ(fields, 5);
        EXPECT_EQ(size, 256);
        calls.clear();
        dir_ = fs::temp_directory_path() / ("splash_test_" + std::to_string(::getpid()));
        fs::create_directories(dir_ / "folder.bmp");
        std::ofstream(dir_ / "pic.bmp") << "x";
        std::ofstream(dir_ / "clip.avi") << "x";
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string path(const char* name) { return (dir_ / name).string(); }

    fs::path dir_;
};

TEST_F(Splash, InitCreatesTheHiddenWindowAndSecondInitKeepsIt) {
    EXPECT_TRUE(window.exists);
    EXPECT_FALSE(window.visible);
    EXPECT_EQ(window.left, 205);
    EXPECT_EQ(window.top, 107);
    EXPECT_EQ(window.width, 427);
    EXPECT_EQ(window.height, 273);
    EXPECT_EQ(window.color, splash::kClWindow);
    EXPECT_EQ(StatProc(), 0);
    int32_t fields = 0, size = 0;
    Init(0, 0, 0, &fields, &size);
    EXPECT_TRUE(calls.empty());
}

TEST_F(Splash, DispatchesEveryKeywordAndUpperCasesTheWord) {
    struct Case {
        std::initializer_list<std::string> fields;
        Calls calls;
    };
    const std::string pic = path("pic.bmp"), clip = path("clip.avi");
    const Case cases[] = {
        {{"bitmap", pic}, {"load_picture " + pic}},
        {{"Show"}, {"show"}},
        {{"HIDE"}, {"hide"}},
        {{"size", "1", "2", "3", "4"}, {"set_left 1", "set_top 2", "set_width 3", "set_height 4"}},
        {{"stretch", "1"}, {"set_stretch 1"}},
        {{"avi", clip}, {"clip_file " + clip}},
        {{"aviplay"}, {"clip_active"}},
        {{"avihide"}, {"clip_visible 0"}},
        {{"avishow"}, {"clip_visible 1"}},
        {{"color", "navy"}, {"set_color 8388608"}},
    };
    for (const Case& c : cases) {
        calls.clear();
        EXPECT_EQ(send(c.fields), 0) << *c.fields.begin();
        EXPECT_EQ(calls, c.calls) << *c.fields.begin();
    }
    EXPECT_STREQ(plug::block_copy(), "COLOR");  // the word is upper-cased in place
}

TEST_F(Splash, UnknownWordsAndBlanksAroundKeywordsReleaseTheWindow) {
    for (const char* word : {"SHOW ", " SHOW", "SHOWX", "BITMAPS", "QUIT"}) {
        SetUp();
        EXPECT_EQ(send({word}), 14) << word;
        EXPECT_EQ(calls, Calls{"destroy"}) << word;
        EXPECT_FALSE(splash::have_window());
    }
}

TEST_F(Splash, BlankWordIsStatus2AndKeepsTheWindow) {
    EXPECT_EQ(send({" \t"}), 2);
    EXPECT_EQ(send({""}), 2);
    EXPECT_TRUE(calls.empty());
}

TEST_F(Splash, ColorTableAndItsCaseRules) {
    struct Case {
        const char* name;
        uint32_t value;
    } const table[] = {
        {"AQUA", 0x00FFFF00},  {"BLACK", 0},           {"BLUE", 0x00FF0000},
        {"DKGRAY", 0x808080},  {"FUCHSIA", 0xFF00FF},  {"GRAY", 0x808080},
        {"GREEN", 0x008000},   {"LIME", 0x00FF00},     {"LTGRAY", 0xC0C0C0},
        {"MAROON", 0x000080},  {"NAVY", 0x800000},     {"OLIVE", 0x008080},
        {"PURPLE", 0x800080},  {"RED", 0x0000FF},      {"SILVER", 0xC0C0C0},
        {"TEAL", 0x808000},    {"WHITE", 0xFFFFFF},    {"YELLOW", 0x00FFFF},
    };
    for (const Case& c : table) {
        EXPECT_EQ(send({"COLOR", c.name}), 0) << c.name;
        EXPECT_EQ(window.color, c.value) << c.name;
    }
    EXPECT_EQ(send({"COLOR", "red"}), 0);
    EXPECT_EQ(window.color, 0x0000FFu);
    EXPECT_EQ(send({"color", "Lime"}), 0);
    EXPECT_EQ(window.color, 0x00FF00u);
    for (const char* bad : {" RED", "RED ", "", "ORANGE", "CLWINDOW"}) {
        SetUp();
        EXPECT_EQ(send({"COLOR", bad}), 14) << bad;
        EXPECT_EQ(calls, Calls{"destroy"}) << bad;  // colour untouched, then released
    }
}

TEST_F(Splash, SizeConvertsAllFourBeforeTouchingTheWindow) {
    const std::initializer_list<std::string> bad[] = {
        {"SIZE", "10", "20", "300", "x"}, {"SIZE", "10", "20"}, {"SIZE", "1", "2", "3", "4 "},
        {"SIZE", "1.5", "2", "3", "4"},   {"SIZE"},
    };
    for (const auto& fields : bad) {
        EXPECT_EQ(send(fields), 25);
        EXPECT_TRUE(calls.empty());
        EXPECT_TRUE(splash::have_window());
    }
    EXPECT_EQ(send({"SIZE", "-50", "0", "100", "$50"}), 0);
    EXPECT_EQ(calls, (Calls{"set_left -50", "set_top 0", "set_width 100", "set_height 80"}));
}

TEST_F(Splash, StretchIsOnForAnyTextAndOffForBlankOrMissing) {
    struct Case {
        std::initializer_list<std::string> fields;
        bool on;
    } const cases[] = {
        {{"STRETCH", "0"}, true}, {{"STRETCH", "OFF"}, true}, {{"STRETCH", " "}, false},
        {{"STRETCH", "x"}, true}, {{"STRETCH"}, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(send(c.fields), 0);
        EXPECT_EQ(window.stretch, c.on);
    }
}

TEST_F(Splash, MissingFilesAndFoldersGiveMinusOneAndKeepTheWindow) {
    for (const char* word : {"BITMAP", "AVI"}) {
        for (const std::string& p : {path("none.bmp"), path("folder.bmp"), std::string()}) {
            EXPECT_EQ(send({word, p}), -1) << word << " " << p;
            EXPECT_TRUE(calls.empty());
        }
    }
    EXPECT_EQ(StatProc(), -1);
    EXPECT_EQ(send({"SHOW"}), 0);  // the status never carries over
}

TEST_F(Splash, UnreadablePictureOrClipIs33AndKeepsTheWindow) {
    EXPECT_EQ(send({"BITMAP", path("pic.bmp")}), 0);
    splash::fake::picture_loads = false;
    splash::fake::clip_opens = false;
    EXPECT_EQ(send({"BITMAP", path("clip.avi")}), 33);
    EXPECT_EQ(window.picture, path("pic.bmp"));
    EXPECT_EQ(send({"AVI", path("clip.avi")}), 33);
    EXPECT_EQ(send({"AVIPLAY"}), 33);  // no clip could be opened
    EXPECT_TRUE(splash::have_window());
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "destroy"), 0);
}

TEST_F(Splash, AviplayWithoutAnyClipIs33) {
    EXPECT_EQ(send({"AVIPLAY"}), 33);
    EXPECT_TRUE(splash::have_window());
}

TEST_F(Splash, BitmapPathIsTakenUntrimmedAndNotUpperCased) {
    const std::string p = path("pic.bmp");
    EXPECT_EQ(send({"BITMAP", " " + p}), -1);
    EXPECT_EQ(send({"BITMAP", p}), 0);
    EXPECT_EQ(window.picture, p);
}

TEST_F(Splash, AboutPlacesTheButtonAndEndsHidden) {
    EXPECT_EQ(send({"SHOW"}), 0);
    calls.clear();
    EXPECT_EQ(send({"ABOUT"}), 0);
    EXPECT_EQ(calls, (Calls{"hide", "button_left 342", "button_top 238", "button_show", "modal",
                            "button_hide"}));
    EXPECT_FALSE(splash::fake::visible_at_modal);
    EXPECT_FALSE(window.visible);
    EXPECT_FALSE(window.button_visible);

    EXPECT_EQ(send({"SIZE", "0", "0", "200", "100"}), 0);
    calls.clear();
    EXPECT_EQ(send({"ABOUT"}), 0);  // hidden already: no hide first
    EXPECT_EQ(calls, (Calls{"button_left 115", "button_top 65", "button_show", "modal",
                            "button_hide"}));

    // Any size may be set; the placement wraps around in 32 bits like the
    // sizes themselves instead of overflowing.
    EXPECT_EQ(send({"SIZE", "0", "0", "$80000000", "$80000005"}), 0);
    calls.clear();
    EXPECT_EQ(send({"ABOUT"}), 0);
    EXPECT_EQ(calls, (Calls{"button_left 2147483563", "button_top 2147483618", "button_show",
                            "modal", "button_hide"}));
}

TEST_F(Splash, ErrorReleaseRunsOnlyOn14AndAFreshWindowFollows) {
    EXPECT_EQ(send({"SIZE", "1", "2", "3", "4"}), 0);
    EXPECT_EQ(send({"COLOR", "RED"}), 0);
    EXPECT_EQ(send({"NOPE"}), 14);
    EXPECT_FALSE(splash::have_window());
    calls.clear();
    // Commands that do not act on the window make none.
    EXPECT_EQ(send({"BITMAP", path("none.bmp")}), -1);
    EXPECT_EQ(send({"SIZE", "x", "1", "1", "1"}), 25);
    EXPECT_EQ(send({"NOPE"}), 14);  // a second release: nothing to destroy
    EXPECT_TRUE(calls.empty());
    // The next command that acts on it gets a fresh window with the settings
    // of Init, not those of the released one.
    EXPECT_EQ(send({"SHOW"}), 0);
    EXPECT_EQ(calls, (Calls{"create", "show"}));
    EXPECT_EQ(window.left, 205);
    EXPECT_EQ(window.width, 427);
    EXPECT_EQ(window.color, splash::kClWindow);
}

TEST_F(Splash, UnloadDestroysTheWindowOnce) {
    splash::unload();
    EXPECT_EQ(calls, Calls{"destroy"});
    splash::unload();
    EXPECT_EQ(calls, Calls{"destroy"});
}

TEST_F(Splash, NoDisplayGives99AndNeverTouchesTheMissingWindow) {
    EXPECT_EQ(send({"NOPE"}), 14);
    splash::fake::create_succeeds = false;
    calls.clear();
    EXPECT_EQ(send({"SHOW"}), 99);
    EXPECT_EQ(send({"ABOUT"}), 99);
    EXPECT_EQ(calls, (Calls{"create", "create"}));
}

TEST_F(Splash, FuncProcIsTheDefaultAnswer) {
    std::vector<char> block(256, 'x');
    EXPECT_STREQ(FuncProc(block.data()), "");
    EXPECT_EQ(StatProc(), 7);
}

}  // namespace
