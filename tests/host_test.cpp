// plughost's tokenizer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script.h"

namespace {

TEST(Tokenize, FieldsQuotesAndEscapes) {
    struct Case {
        std::string line;
        std::vector<std::string> fields;
    } cases[] = {
        {"", {}},
        {"   # only a comment", {}},
        {"html FOO bar", {"html", "FOO", "bar"}},
        {"  a\tb  ", {"a", "b"}},
        {"a \"\" b", {"a", "", "b"}},
        {"a \"x y\" # c", {"a", "x y"}},
        {"a \"#not comment\"", {"a", "#not comment"}},
        {"\"q\\\"uote\" \"b\\\\s\" \"\\t\\n\\r\" \"\\x41\\xff\"",
         {"q\"uote", "b\\s", "\t\n\r", "A\xff"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> f;
        std::string error;
        ASSERT_TRUE(host::tokenize(c.line, f, error)) << c.line << ": " << error;
        EXPECT_EQ(f, c.fields) << c.line;
    }
}

TEST(Tokenize, RejectsMalformedLines) {
    for (const char* line : {"a \"open", "a \"\\q\"", "a \"\\x4\"", "a\"b\"", "\"a\"b"}) {
        std::vector<std::string> f;
        std::string error;
        EXPECT_FALSE(host::tokenize(line, f, error)) << line;
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
