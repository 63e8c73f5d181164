// The splash window on screen: plughost drives the real plug-in (splash.dll
// under Wine, or splash.so natively, chosen by SPLASH_HOST) and the test reads
// the pixels of the X display. SPLASH_HOST holds the command that runs
// plughost, its words separated by '|'; SPLASH_SCRIPTS_DIR is the working
// directory (where fixtures/ lies).
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "screen.h"

namespace {

using screen::Rgb;
using namespace std::chrono_literals;

const Rgb kRed{255, 0, 0}, kLime{0, 255, 0}, kBlue{0, 0, 255}, kYellow{255, 255, 0};
const Rgb kNavy{0, 0, 128}, kFuchsia{255, 0, 255}, kTeal{0, 128, 128}, kAqua{0, 255, 255};
const Rgb kBlack{0, 0, 0}, kWhite{255, 255, 255}, kSilver{192, 192, 192};

// The window's initial place and client size.
const int kLeft = 205, kTop = 107, kWidth = 427, kHeight = 273;

std::vector<std::string> host_command() {
    std::vector<std::string> words;
    const char* joined = std::getenv("SPLASH_HOST");
    if (joined == nullptr) return words;
    std::string s = joined, word;
    for (char c : s) {
        if (c == '|') {
            words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty()) words.push_back(word);
    return words;
}

// A point of the screen and the colour expected there.
struct Spot {
    int x, y;
    Rgb color;
};

class SplashScreen : public ::testing::Test {
protected:
    void SetUp() override {
        if (!display_.ok()) GTEST_SKIP() << "no X display (DISPLAY)";
        const std::vector<std::string> command = host_command();
        const char* dir = std::getenv("SPLASH_SCRIPTS_DIR");
        if (command.empty() || dir == nullptr) GTEST_SKIP() << "SPLASH_HOST not set";
        host_ = std::make_unique<screen::Host>(command, dir);
        ASSERT_TRUE(host_->started());
        // Wine may need a while to start.
        ASSERT_TRUE(host_->run("load splash", 120s)) << host_->output();
    }

    void TearDown() override {
        if (host_) {
            EXPECT_EQ(host_->finish(), 0) << "plughost reported a failure:\n" << host_->output();
        }
    }

    void run(const std::string& line) { ASSERT_TRUE(host_->run(line)) << line; }

    Rgb client(int x, int y, int left = kLeft, int top = kTop) {
        return display_.pixel(left + x, top + y);
    }

    // Waits until every spot (in client coordinates) shows its colour.
    ::testing::AssertionResult shows(const std::vector<Spot>& spots, int left = kLeft,
                                     int top = kTop) {
        bool ok = screen::poll_until([&] {
            for (const Spot& s : spots) {
                if (!screen::near(client(s.x, s.y, left, top), s.color)) return false;
            }
            return true;
        });
        if (ok) return ::testing::AssertionSuccess();
        ::testing::AssertionResult failure = ::testing::AssertionFailure();
        for (const Spot& s : spots) {
            const Rgb got = client(s.x, s.y, left, top);
            if (!screen::near(got, s.color)) {
                failure << "(" << s.x << "," << s.y << ") is " << screen::to_string(got)
                        << ", want " << screen::to_string(s.color) << "; ";
            }
        }
        return failure;
    }

    screen::Display display_;
    std::unique_ptr<screen::Host> host_;
};

TEST_F(SplashScreen, PicturesAtTheirOwnSizeTopLeftWithTheWindowColourAround) {
    run("splash SHOW");
    // No picture yet: the window colour everywhere.
    Rgb window{-1, -1, -1};
    ASSERT_TRUE(screen::poll_until([&] {
        window = client(kWidth / 2, kHeight / 2);
        return window.r >= 0 && screen::near(client(3, 3), window) &&
               screen::near(client(kWidth - 3, kHeight - 3), window);
    })) << "the window never showed one colour";

    struct Case {
        const char* file;
        std::vector<Spot> spots;
    };
    const Case cases[] = {
        {"bmp24_100x50.bmp",
         {{10, 5, kRed}, {90, 5, kLime}, {10, 45, kBlue}, {90, 45, kYellow},
          {110, 25, window}, {50, 60, window}}},
        {"bmp8_64x32.bmp",
         {{8, 16, kFuchsia}, {24, 16, kAqua}, {40, 16, {255, 128, 0}}, {56, 16, kBlack},
          {70, 16, window}, {30, 40, window}}},
        {"bmp1_32x16.bmp",
         {{4, 4, kNavy}, {12, 4, kSilver}, {4, 12, kSilver}, {12, 12, kNavy}, {40, 8, window}}},
        {"icon_16_32.ico",  // the 32 x 32 image, its transparent corner showing the colour
         {{3, 3, window}, {20, 20, kRed}, {28, 4, kRed}, {40, 20, window}, {20, 40, window}}},
        {"placeable_96x48.wmf",
         {{24, 24, kLime}, {4, 4, kRed}, {4, 44, kRed}, {72, 24, kBlue}, {104, 24, window},
          {48, 56, window}}},
        {"plain_80x40.wmf", {{40, 8, kFuchsia}, {40, 32, kTeal}, {88, 20, window}, {40, 48, window}}},
        {"shapes_96x48.emf",
         {{24, 24, kFuchsia}, {4, 4, kYellow}, {72, 24, kNavy}, {104, 24, window}, {48, 56, window}}},
    };
    for (const Case& c : cases) {
        run(std::string("expect 0 splash BITMAP fixtures/") + c.file);
        EXPECT_TRUE(shows(c.spots)) << c.file;
    }
}

TEST_F(SplashScreen, StretchFillsTheClientAreaAndUnreadablePicturesKeepThePrevious) {
    run("splash BITMAP fixtures/bmp24_100x50.bmp");
    run("splash STRETCH 1");
    run("splash SHOW");
    const std::vector<Spot> quadrants = {{5, 5, kRed},           {kWidth - 5, 5, kLime},
                                         {5, kHeight - 5, kBlue}, {kWidth - 5, kHeight - 5, kYellow},
                                         {200, 120, kRed},        {230, 150, kYellow}};
    EXPECT_TRUE(shows(quadrants));
    // Files that exist but are no picture, or one too large, change nothing.
    run("expect 33 splash BITMAP fixtures/not_a_picture.bmp");
    run("expect 33 splash BITMAP fixtures/not_a_picture.emf");
    run("expect 33 splash BITMAP fixtures/huge_20000x20000.bmp");
    run("expect 33 splash BITMAP fixtures/clip8_64x48.avi");
    run("expect -1 splash BITMAP fixtures/missing.bmp");
    EXPECT_TRUE(shows(quadrants));
    // A metafile stretches as well.
    run("splash BITMAP fixtures/placeable_96x48.wmf");
    EXPECT_TRUE(shows({{10, 10, kRed}, {kWidth - 10, kHeight / 2, kBlue}, {10, kHeight - 10, kRed},
                       {106, 136, kLime}}));
    run("splash STRETCH \"\"");
    EXPECT_TRUE(shows({{24, 24, kLime}, {72, 24, kBlue}}));
}

TEST_F(SplashScreen, ColorRedFillsTheWindowAndSizeMovesIt) {
    run("splash COLOR red");
    run("splash SHOW");
    EXPECT_TRUE(shows({{3, 3, kRed}, {kWidth / 2, kHeight / 2, kRed}, {kWidth - 3, kHeight - 3, kRed}}));
    run("splash SIZE 40 50 200 100");
    EXPECT_TRUE(shows({{3, 3, kRed}, {100, 50, kRed}, {196, 96, kRed}}, 40, 50));
    EXPECT_TRUE(screen::poll_until([&] {
        return !screen::near(client(300, 200), kRed) && !screen::near(client(203, 50, 40, 50), kRed) &&
               !screen::near(client(100, 103, 40, 50), kRed);
    })) << "the window did not leave its old place or kept its size";
    run("splash HIDE");
    EXPECT_TRUE(screen::poll_until([&] { return !screen::near(client(100, 50, 40, 50), kRed); }));
}

struct Clip {
    const char* file;
    int width, height;
};

TEST_F(SplashScreen, ClipsShowTheirFirstFrameCentredAndThenPlay) {
    run("splash COLOR navy");
    run("splash AVISHOW");
    run("splash SHOW");
    const Clip clips[] = {
        {"clip8_64x48.avi", 64, 48},
        {"clip24_61x45.avi", 61, 45},
        {"clip_rle8_61x45.avi", 61, 45},
        {"clip_rle8_delta_61x45.avi", 61, 45},
    };
    for (const Clip& c : clips) {
        SCOPED_TRACE(c.file);
        run(std::string("expect 0 splash AVI fixtures/") + c.file);
        const int x0 = (kWidth - c.width) / 2, y0 = (kHeight - c.height) / 2;
        const int dots = y0 + c.height - 4;
        // The first frame: its teal background is transparent, the block red,
        // the dots of frame 0 at their own size.
        EXPECT_TRUE(shows({{kWidth / 2, kHeight / 2, kRed},
                           {x0 + 1, y0 + 1, kNavy},
                           {x0 + c.width - 2, y0 + 1, kNavy},
                           {x0 + 3, dots, kBlack},
                           {x0 + 4, dots, kWhite},
                           {x0 + 5, dots, {128, 128, 128}},
                           {x0 - 3, kHeight / 2, kNavy},
                           {20, 20, kNavy}}));
    }
    run("splash AVIPLAY");
    // Later frames follow. (Under Wine the screen may show only every other
    // frame when the host runs no message loop, so two of the three later
    // ones are enough.)
    std::set<int> seen;
    const Rgb later[] = {kBlue, kYellow, kLime};
    EXPECT_TRUE(screen::poll_until(
        [&] {
            const Rgb centre = client(kWidth / 2, kHeight / 2);
            for (int i = 0; i < 3; ++i) {
                if (screen::near(centre, later[i])) seen.insert(i);
            }
            return seen.size() >= 2;
        },
        10s))
        << "later frames seen: " << seen.size();
    // The clip area follows the window colour, also while it plays.
    run("splash COLOR yellow");
    EXPECT_TRUE(shows({{20, 20, kYellow}, {(kWidth - 61) / 2 + 1, (kHeight - 45) / 2 + 1, kYellow}}));
    run("expect 33 splash AVI fixtures/not_a_clip.avi");
    run("splash AVIHIDE");
    EXPECT_TRUE(shows({{kWidth / 2, kHeight / 2, kYellow}}));
}

TEST_F(SplashScreen, AboutBlocksUntilEnterAndLeavesTheWindowHidden) {
    run("splash COLOR lime");
    run("splash SIZE 100 100 300 200");
    run("splash SHOW");
    EXPECT_TRUE(shows({{150, 100, kLime}}, 100, 100));
    host_->send("expect 0 splash ABOUT");
    const std::string done = host_->send_marker();
    // The button sits 10 pixels from the right and bottom edges: 215,165.
    EXPECT_TRUE(screen::poll_until([&] {
        return !screen::near(client(215 + 37, 165 + 12, 100, 100), kLime) &&
               screen::near(client(215 - 6, 165 + 12, 100, 100), kLime) &&
               screen::near(client(215 + 37, 165 - 6, 100, 100), kLime) &&
               screen::near(client(150, 100, 100, 100), kLime);
    })) << "no button at 215,165";
    EXPECT_FALSE(host_->marker_seen(done)) << "ABOUT returned before the button was pressed";
    // Enter presses the default button once the window has the focus.
    EXPECT_TRUE(screen::poll_until(
        [&] {
            display_.press_key("Return");
            return host_->wait_marker(done, 500ms);
        },
        20s))
        << "ABOUT did not end on Enter";
    EXPECT_TRUE(screen::poll_until([&] { return !screen::near(client(150, 100, 100, 100), kLime); }))
        << "the window is still shown after ABOUT";
}

}  // namespace
