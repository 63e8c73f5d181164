// html: tag stripping and its carried-over inside-tag flag, through FuncProc.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "plugframe.h"
#include "strip_tags.h"
#include "test_block.h"

namespace {

std::vector<char> block(const std::string& text, const std::string& cont) {
    return plugtest::make_block(256, {text, cont});
}

std::string func(const std::string& text, const std::string& cont = "") {
    std::vector<char> b = block(text, cont);
    return FuncProc(b.data());
}

class Html : public ::testing::Test {
protected:
    void SetUp() override {
        plug::reset_frame_for_tests();
        html::inside_tag_flag() = 0;
    }
};

TEST_F(Html, StripsTagsFromOneText) {
    struct Case {
        const char* in;
        const char* out;
        int flag;
    } cases[] = {
        {"a<b>c", "ac", 0}, {"<p>Hello</p>", "Hello", 0}, {"a>b", "ab", 0},
        {"<>", "", 0}, {"<<a>>", "", 0}, {"a<b c", "a", 1}, {"  x  ", "  x  ", 0},
        {"<!-- a > b -->", " b --", 0}, {"&lt;b&gt;", "&lt;b&gt;", 0},
        {"\xe4<\xff>\x80", "\xe4\x80", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(func(c.in), c.out) << c.in;
        EXPECT_EQ(html::inside_tag_flag(), c.flag) << c.in;
    }
}

TEST_F(Html, CarriesTheOpenTagOverWhenAsked) {
    EXPECT_EQ(func("a<b c"), "a");
    EXPECT_EQ(func("no close", "1"), "");  // still inside
    EXPECT_EQ(html::inside_tag_flag(), 1);
    EXPECT_EQ(func("d>e", "yes"), "e");
    EXPECT_EQ(func("a<b c"), "a");
    EXPECT_EQ(func("d>e", " \t"), "de");  // blank continuation starts afresh
}

TEST_F(Html, BlankTextAnswersEmptyAndKeepsFlag) {
    std::vector<char> first = block("x<", "");
    const char* answer = FuncProc(first.data());
    EXPECT_STREQ(answer, "x");
    std::vector<char> blank = block("   ", "");
    EXPECT_STREQ(FuncProc(blank.data()), "");
    EXPECT_EQ(html::inside_tag_flag(), 1);
    // A blank text stops before the result buffer: the previous answer stays.
    EXPECT_STREQ(answer, "x");
}

TEST_F(Html, LongTextsComeBackWhole) {
    std::string text(255, 'q');
    EXPECT_EQ(func(text), text);
    std::vector<char> no_nul(256, 'r');  // no NUL at all: the field is the whole block
    EXPECT_EQ(std::string(FuncProc(no_nul.data())), std::string(256, 'r'));
}

TEST_F(Html, StatusIsOnlyChangedByCommandProc) {
    EXPECT_EQ(StatProc(), 0);
    func("a<b>c");
    EXPECT_EQ(StatProc(), 0);
    std::vector<char> b = block("x", "");
    EXPECT_EQ(CommandProc(b.data()), 1);
    func("a<b>c");
    EXPECT_EQ(StatProc(), 1);
    int32_t fields = 0, size = 0;
    EXPECT_STREQ(Init(0, 0, 0, &fields, &size), "HTML");
    EXPECT_EQ(fields, 2);
    EXPECT_EQ(size, 256);
}

}  // namespace
