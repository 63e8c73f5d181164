// The frame: exports, command frame, field scanning and text operations,
// exercised through a small test plug-in.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "plugframe.h"
#include "test_block.h"

namespace {

std::vector<std::string> seen_words;
int startups = 0;
bool throw_in_command = false;

void test_startup() { ++startups; }
void test_command(char* word) {
    seen_words.emplace_back(word);
    if (throw_in_command) throw std::runtime_error("boom");
    if (std::strcmp(word, "FAIL") == 0) plug::set_status(14);
}

}  // namespace

namespace plug {
const Plugin plugin = {"TEST", 5, 256, test_startup, test_command, nullptr, nullptr};
}

namespace {

struct Block {
    std::vector<char> bytes;
    Block(std::initializer_list<std::string_view> fields) : bytes(plugtest::make_block(256, fields)) {}
    const char* data() const { return bytes.data(); }
};

class Frame : public ::testing::Test {
protected:
    void SetUp() override {
        plug::reset_frame_for_tests();
        seen_words.clear();
        throw_in_command = false;
    }
};

TEST_F(Frame, InitReportsConstantsAndKeepsStatus) {
    int32_t fields = 0, size = 0;
    const char* name = Init(11, 22, 33, &fields, &size);
    EXPECT_STREQ(name, "TEST");
    EXPECT_EQ(Init(0, 0, 0xFFFFFFFF, &fields, &size), name);  // same pointer every time
    EXPECT_EQ(fields, 5);
    EXPECT_EQ(size, 256);
    EXPECT_EQ(plug::first_host_value(), 0u);
    EXPECT_EQ(StatProc(), 0);
}

TEST_F(Frame, CommandWordIsUpperCasedInPlaceAndUntrimmed) {
    Block b{"show", "abc"};
    EXPECT_EQ(CommandProc(b.data()), 0);
    ASSERT_EQ(seen_words.size(), 1u);
    EXPECT_EQ(seen_words[0], "SHOW");
    EXPECT_STREQ(plug::block_copy(), "SHOW");
    EXPECT_STREQ(plug::block_copy() + 5, "abc");  // other fields unchanged
    EXPECT_EQ(b.bytes[0], 's');                     // the host's block is never written

    Block padded{" show "};
    CommandProc(padded.data());
    EXPECT_EQ(seen_words.back(), " SHOW ");
}

TEST_F(Frame, BlankCommandWordGivesTwoWithoutHandler) {
    for (const char* word : {"", "   ", "\t \t", "\x01\x1f"}) {
        Block b{word};
        EXPECT_EQ(CommandProc(b.data()), 2) << word;
        EXPECT_EQ(StatProc(), 2);
    }
    EXPECT_TRUE(seen_words.empty());
}

TEST_F(Frame, StatusNeverCarriesOverAndDefaultFunctionAnswers7) {
    Block fail{"fail"}, ok{"ok"};
    EXPECT_EQ(CommandProc(fail.data()), 14);
    EXPECT_EQ(StatProc(), 14);
    EXPECT_EQ(StatProc(), 14);
    EXPECT_STREQ(FuncProc(ok.data()), "");
    EXPECT_EQ(StatProc(), 7);
    EXPECT_EQ(CommandProc(ok.data()), 0);
    EXPECT_EQ(StatProc(), 0);
}

TEST_F(Frame, ExceptionsBecomeInternalFailure) {
    throw_in_command = true;
    Block b{"x"};
    EXPECT_EQ(CommandProc(b.data()), plug::kInternalFailure);
    EXPECT_EQ(StatProc(), plug::kInternalFailure);
}

TEST_F(Frame, EveryByteIsCopiedAndFieldsAreScannedInPlace) {
    Block b{"cmd", "", "two"};
    b.bytes[255] = 'Z';
    plug::copy_block(b.data());
    EXPECT_EQ(plug::block_copy()[255], 'Z');
    EXPECT_STREQ(plug::next_field(), "cmd");
    EXPECT_EQ(plug::field_cursor(), 4);
    EXPECT_STREQ(plug::next_field(), "");  // two NULs in a row: an empty field
    EXPECT_EQ(plug::field_cursor(), 5);
    EXPECT_STREQ(plug::next_field(), "two");
    EXPECT_STREQ(plug::next_field(), "");  // zero bytes the host left
    EXPECT_STREQ(plug::next_field(), "");
}

TEST_F(Frame, FieldWithoutNulEndsAtBlockEnd) {
    std::vector<char> block(256, 'x');
    block[10] = 0;
    plug::copy_block(block.data());
    EXPECT_EQ(std::strlen(plug::next_field()), 10u);
    const char* last = plug::next_field();
    EXPECT_EQ(std::strlen(last), 245u);  // offsets 11..255
    EXPECT_EQ(plug::field_cursor(), 256);
    for (int i = 0; i < 3; ++i) {
        EXPECT_STREQ(plug::next_field(), "");
        EXPECT_EQ(plug::field_cursor(), 256);
    }

    std::vector<char> no_nul(256, 'y');
    plug::copy_block(no_nul.data());
    EXPECT_EQ(std::strlen(plug::next_field()), 256u);
    EXPECT_STREQ(plug::next_field(), "");
}

TEST(TextOps, TrimAndBlank) {
    struct Case {
        const char* in;
        const char* trimmed;
    } cases[] = {
        {"", ""}, {"   \t ", ""}, {" a b ", "a b"}, {"\x01x\x20", "x"},
        {"\xa0", "\xa0"}, {"\x7f ", "\x7f"},
    };
    for (const Case& c : cases) {
        plug::Text t = plug::trim_text(c.in);
        EXPECT_EQ(std::string(t.data, t.size), c.trimmed) << c.in;
        EXPECT_EQ(plug::is_blank(c.in), std::strlen(c.trimmed) == 0) << c.in;
    }
}

TEST(TextOps, UpperCaseTouchesAsciiLettersOnly) {
    char buf[] = "abz{AZ`\xe4q";
    EXPECT_STREQ(plug::upper_in_place(buf), "ABZ{AZ`\xe4Q");
    char out[4];
    EXPECT_STREQ(plug::upper_copy("hello", out, sizeof out), "HEL");
}

TEST(TextOps, TextToInt) {
    struct Case {
        const char* in;
        bool ok;
        int32_t value;
    } cases[] = {
        {"42", true, 42}, {"  42", true, 42}, {"+7", true, 7}, {"-0", true, 0},
        {"$ff", true, 255}, {"$FF", true, 255}, {"$FFFFFFFF", true, -1},
        {"$80000000", true, INT32_MIN}, {"$000000000001", true, 1},
        {"2147483647", true, 2147483647}, {"-2147483647", true, -2147483647},
        {"00000000000000000042", true, 42},
        {"-2147483648", false, 0}, {"2147483648", false, 0}, {"99999999999999999999", false, 0},
        {"42 ", false, 0}, {"\t5", false, 0}, {"", false, 0}, {" ", false, 0}, {"-", false, 0},
        {"$", false, 0}, {"-$1", false, 0}, {"$-1", false, 0}, {"$100000000", false, 0},
        {"0x10", false, 0}, {"1.5", false, 0}, {"1e3", false, 0}, {"--1", false, 0},
        {"+-1", false, 0}, {"$1g", false, 0},
    };
    for (const Case& c : cases) {
        int32_t v = 12345;
        EXPECT_EQ(plug::text_to_int(c.in, &v), c.ok) << c.in;
        if (c.ok) EXPECT_EQ(v, c.value) << c.in;
        else EXPECT_EQ(v, 12345) << c.in;
    }
}

}  // namespace
