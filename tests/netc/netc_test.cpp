// netc: the command handler against the recording backend, and the name
// handling of the Linux backend.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "netc.h"
#include "netc_recorder.h"
#include "plugframe.h"
#include "remote_name.h"
#include "script.h"
#include "test_block.h"

namespace {

using netc::recorder::Call;

// Sends one command: the word and its fields, NUL-separated, in a zeroed
// 256-byte block.
int32_t cmd(const std::vector<std::string>& fields) {
    return CommandProc(plugtest::make_block(256, fields).data());
}

class Netc : public ::testing::Test {
protected:
    void SetUp() override {
        plug::reset_frame_for_tests();
        netc::wipe_settings();
        netc::recorder::reset();
    }
    const std::vector<Call>& calls() { return netc::recorder::calls(); }
};

TEST_F(Netc, InitAndFunctionAnswer) {
    int32_t fields = 0, block = 0;
    EXPECT_STREQ(Init(1, 2, 3, &fields, &block), "NETC");
    EXPECT_EQ(fields, 2);
    EXPECT_EQ(block, 256);
    EXPECT_STREQ(FuncProc(std::string(256, 'x').c_str()), "");
    EXPECT_EQ(StatProc(), 7);
    // The unload step wipes the settings, the password with them.
    EXPECT_EQ(plug::plugin.unload, &netc::wipe_settings);
}

TEST_F(Netc, StoresEachSettingByItsRule) {
    struct Case {
        const char* word;
        std::string field;
        int32_t status;
        std::string stored;  // what the setting holds afterwards
        char* (*setting)();
    };
    auto local = [] { return netc::settings().local_name; };
    auto remote = [] { return netc::settings().remote_name; };
    auto user = [] { return netc::settings().user_name; };
    auto password = [] { return netc::settings().password; };
    auto provider = [] { return netc::settings().provider; };
    const Case cases[] = {
        {"LOCALNAME", "z:", 0, "Z:", local},
        {"LOCALNAME", " z: ", 0, " Z: ", local},  // blanks kept
        {"LOCALNAME", "", 2, " Z: ", local},      // refused: the old value stays
        {"LOCALNAME", " \t ", 2, " Z: ", local},
        {"localname", "\xe4x:", 0, "\xe4X:", local},  // ASCII letters only
        {"REMOTENAME", "\\\\server\\share", 0, "\\\\SERVER\\SHARE", remote},
        {"REMOTENAME", "  ", 2, "\\\\SERVER\\SHARE", remote},
        {"USERNAME", " Dom\\Alice ", 0, " Dom\\Alice ", user},
        {"USERNAME", "", 0, "", user},
        {"PASSWORD", "Se Cret", 0, "Se Cret", password},
        {"PASSWORD", "", 0, "", password},
        {"PROVIDER", "Microsoft Windows Network", 0, "Microsoft Windows Network", provider},
        {"PROVIDER", "", 0, "", provider},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(cmd({c.word, c.field}), c.status) << c.word << " '" << c.field << "'";
        EXPECT_EQ(std::string(c.setting()), c.stored) << c.word << " '" << c.field << "'";
    }
    EXPECT_TRUE(calls().empty());
}

TEST_F(Netc, ReconnectIsOnForAnyNonBlankText) {
    cmd({"LOCALNAME", "Z:"});
    cmd({"REMOTENAME", "\\\\S\\T"});
    const std::pair<std::vector<std::string>, uint32_t> cases[] = {
        {{"RECONNECT", "0"}, 1u},   {{"RECONNECT", ""}, 0u},  {{"RECONNECT", "NO"}, 1u},
        {{"RECONNECT", " \t"}, 0u}, {{"RECONNECT", "x"}, 1u}, {{"RECONNECT"}, 0u},
    };
    for (const auto& [fields, flags] : cases) {
        netc::recorder::reset();
        EXPECT_EQ(cmd(fields), 0);
        EXPECT_EQ(cmd({"CONNECT"}), 0);
        ASSERT_EQ(calls().size(), 1u);
        EXPECT_EQ(calls()[0].flags, flags) << "RECONNECT '" << (fields.size() > 1 ? fields[1] : "") << "'";
    }
}

TEST_F(Netc, ConnectAndDisconnectNeedTheirNamesBeforeAnySystemCall) {
    EXPECT_EQ(cmd({"CONNECT"}), 33);
    EXPECT_EQ(cmd({"DISCONNECT"}), 33);
    cmd({"REMOTENAME", "\\\\S\\T"});
    EXPECT_EQ(cmd({"CONNECT"}), 33);  // remote name alone
    EXPECT_EQ(cmd({"DISCONNECT"}), 33);
    EXPECT_TRUE(calls().empty());

    plug::reset_frame_for_tests();
    netc::wipe_settings();
    cmd({"LOCALNAME", "Z:"});
    EXPECT_EQ(cmd({"CONNECT"}), 33);  // local name alone
    EXPECT_TRUE(calls().empty());
    EXPECT_EQ(cmd({"DISCONNECT"}), 0);  // needs only the local name
    EXPECT_EQ(calls().size(), 1u);
}

TEST_F(Netc, HandsTheSettingsOverAsTheyStand) {
    cmd({"LOCALNAME", " z: "});
    cmd({"REMOTENAME", "\\\\srv\\share"});
    cmd({"USERNAME", ""});
    cmd({"PASSWORD", ""});
    cmd({"PROVIDER", ""});
    cmd({"RECONNECT", "yes"});
    EXPECT_EQ(cmd({"connect"}), 0);
    EXPECT_EQ(cmd({"DISCONNECT"}), 0);
    ASSERT_EQ(calls().size(), 2u);
    const Call& c = calls()[0];
    EXPECT_TRUE(c.connect);
    EXPECT_FALSE(c.any_null);  // empty texts, never null pointers
    EXPECT_EQ(c.type, 0u);
    EXPECT_EQ(c.local_name, " Z: ");
    EXPECT_EQ(c.remote_name, "\\\\SRV\\SHARE");
    EXPECT_EQ(c.user_name, "");
    EXPECT_EQ(c.password, "");
    EXPECT_EQ(c.provider, "");
    EXPECT_EQ(c.flags, 1u);
    // A disconnect always updates the profile and forces, whatever the
    // reconnect setting says.
    const Call& d = calls()[1];
    EXPECT_FALSE(d.connect);
    EXPECT_EQ(d.local_name, " Z: ");
    EXPECT_EQ(d.flags, 1u);
    EXPECT_EQ(d.force, -1);
    cmd({"RECONNECT", ""});
    cmd({"DISCONNECT"});
    EXPECT_EQ(calls().back().flags, 1u);
}

TEST_F(Netc, EveryErrorCodeComesBackThroughTheTable) {
    const std::pair<uint32_t, int32_t> table[] = {
        {5, 34},    {85, 35},   {66, 36},   {1200, 37}, {67, 38},   {53, 39},   {1206, 40},
        {1204, 41}, {170, 42},  {1223, 43}, {1205, 44}, {1202, 45}, {2404, 46}, {1208, 47},
        {86, 48},   {1203, 49}, {1222, 50}, {2250, 51}, {2401, 52}, {1326, 53},
        // anything else
        {2, 54},    {1, 54},    {52, 54},   {1207, 54}, {0xFFFFFFFFu, 54},
    };
    cmd({"LOCALNAME", "Z:"});
    cmd({"REMOTENAME", "\\\\S\\T"});
    for (const auto& [code, status] : table) {
        EXPECT_EQ(netc::net_error_status(code), status) << code;
        netc::recorder::reset(code);
        EXPECT_EQ(cmd({"CONNECT"}), status) << code;
        EXPECT_EQ(StatProc(), status);
        EXPECT_EQ(cmd({"DISCONNECT"}), status) << code;
    }
    EXPECT_EQ(netc::net_error_status(0), 54);
}

TEST_F(Netc, AFailedConnectLeavesTheSettingsForTheNextTry) {
    cmd({"LOCALNAME", "q:"});
    cmd({"REMOTENAME", "\\\\s\\t"});
    cmd({"USERNAME", "u"});
    cmd({"PASSWORD", "p"});
    cmd({"PROVIDER", "v"});
    cmd({"RECONNECT", "1"});
    netc::recorder::reset(85);
    EXPECT_EQ(cmd({"CONNECT"}), 35);
    netc::recorder::reset(0);
    EXPECT_EQ(cmd({"CONNECT"}), 0);
    const Call& c = calls()[0];
    EXPECT_EQ(c.local_name + c.remote_name + c.user_name + c.password + c.provider,
              "Q:\\\\S\\Tupv");
    EXPECT_EQ(c.flags, 1u);
}

TEST_F(Netc, UnknownWordsGive14) {
    for (const char* word : {"FOO", " CONNECT", "CONNECT ", "LOCAL", "CONNECTX"}) {
        EXPECT_EQ(cmd({word, "x"}), 14) << word;
    }
    EXPECT_EQ(cmd({"", "x"}), 2);
    EXPECT_EQ(cmd({"  "}), 2);
    EXPECT_TRUE(calls().empty());
    // The settings did not move.
    EXPECT_STREQ(netc::settings().local_name, "");
}

TEST_F(Netc, ThePasswordLeavesNoCopyBehind) {
    cmd({"PASSWORD", "a long secret"});
    // Nothing of it is left in the block copy.
    EXPECT_EQ(std::string(plug::block_copy(), 256).find("secret"), std::string::npos);
    EXPECT_STREQ(plug::block_copy(), "PASSWORD");
    cmd({"PASSWORD", "ab"});
    const netc::Settings& s = netc::settings();
    EXPECT_STREQ(s.password, "ab");
    for (std::size_t i = 2; i < sizeof s.password; ++i) ASSERT_EQ(s.password[i], 0) << i;
    cmd({"LOCALNAME", "Z:"});
    netc::wipe_settings();
    for (std::size_t i = 0; i < sizeof s.password; ++i) ASSERT_EQ(s.password[i], 0) << i;
    EXPECT_STREQ(s.local_name, "");
    EXPECT_FALSE(s.reconnect);
}

TEST_F(Netc, ALongFieldIsKeptWhole) {
    // The longest field a 256-byte block can carry after "USERNAME".
    const std::string name(256 - 9 - 1, 'n');
    EXPECT_EQ(cmd({"USERNAME", name}), 0);
    EXPECT_EQ(std::string(netc::settings().user_name), name);
    // A block without a NUL after the word: the field ends at the block's end.
    std::vector<char> block(256, 'x');
    std::memcpy(block.data(), "PROVIDER", 9);
    EXPECT_EQ(CommandProc(block.data()), 0);
    EXPECT_EQ(std::string(netc::settings().provider), std::string(256 - 9, 'x'));
}

// ---- remote names (Linux backend) ---------------------------------------------

TEST(RemoteName, ReadsTheThreeForms) {
    struct Case {
        const char* text;
        const char* server;
        uint16_t port;
        const char* share;
        const char* path;
    };
    const Case cases[] = {
        {"\\\\SERVER\\SHARE", "SERVER", 0, "SHARE", ""},
        {"\\\\127.0.0.1\\SHARE1\\A\\B", "127.0.0.1", 0, "SHARE1", "A/B"},
        {"//HOST.EXAMPLE/DATA/", "HOST.EXAMPLE", 0, "DATA", ""},
        {"\\\\S\\T\\\\X\\", "S", 0, "T", "X"},  // empty steps dropped
        {"SMB://S:4445/T/SUB%20DIR", "S", 4445, "T", "SUB DIR"},
        {"smb://[::1]:445/T", "[::1]", 445, "T", ""},
        {"smb://S/T$", "S", 0, "T$", ""},
        {"\\\\S\\MY SHARE\\F\xe4", "S", 0, "MY SHARE", "F\xe4"},
    };
    for (const Case& c : cases) {
        netc::RemoteName r;
        ASSERT_EQ(netc::parse_remote_name(c.text, &r), 0u) << c.text;
        EXPECT_STREQ(r.server, c.server) << c.text;
        EXPECT_EQ(r.port, c.port) << c.text;
        EXPECT_STREQ(r.share, c.share) << c.text;
        EXPECT_STREQ(r.path, c.path) << c.text;
    }
}

TEST(RemoteName, RefusesWhatIsNoServerAndShare) {
    for (const char* text : {
             "", "SHARE", "\\\\", "\\\\\\SHARE", "//", "///SHARE", "SMB://", "SMB:///T",
             "\\\\S", "\\\\S\\", "\\SERVER\\SHARE", " \\\\S\\T", "\\\\S:445\\T",
             "SMB://S:0/T", "SMB://S:65536/T", "SMB://S:/T", "SMB://S:X/T", "\\\\S\\T\\..",
             "\\\\S\\T\\A\\.\\B", "smb://S/T/%2E%2E", "smb://S/T%2FX", "smb://S/T/%", "smb://S/T/%G0",
             "smb://S/%00", "\\\\S\\A:B", "\\\\S\\A*", "\\\\S\\T\\A?B", "\\\\BAD HOST\\T",
             "\\\\-S\\T", "\\\\S@X\\T", "\\\\S\\T\\A\x01",
         }) {
        netc::RemoteName r;
        EXPECT_EQ(netc::parse_remote_name(text, &r), 67u) << "'" << text << "'";
    }
}

TEST(RemoteName, DriveLettersOnly) {
    EXPECT_EQ(netc::drive_letter("Z:"), 'Z');
    EXPECT_EQ(netc::drive_letter("a:"), 'A');
    for (const char* bad : {"", "Z", "Z:\\", " Z:", "Z: ", "1:", "LPT1", "[:", "/mnt/x"}) {
        EXPECT_EQ(netc::drive_letter(bad), 0) << bad;
    }
}

TEST(RemoteName, BuildsEncodedUrls) {
    netc::RemoteName r;
    ASSERT_EQ(netc::parse_remote_name("SMB://S:4445/MY%20SHARE/A B/C#D%25", &r), 0u);
    char url[256];
    ASSERT_TRUE(netc::smb_url(r, true, url, sizeof url));
    EXPECT_STREQ(url, "smb://S:4445/MY%20SHARE/A%20B/C%23D%25");
    ASSERT_TRUE(netc::smb_url(r, false, url, sizeof url));
    EXPECT_STREQ(url, "smb://S:4445/");
    EXPECT_FALSE(netc::smb_url(r, true, url, 12));  // does not fit
}

TEST(Quoting, ScriptFieldsReadBackAsWritten) {
    for (const std::string& text : {std::string(""), std::string("plain"), std::string("a \"q\" \\ b"),
                                   std::string("\t\n\r\x01\x7f\xff#x"), std::string("# not a comment")}) {
        char quoted[256];
        ASSERT_TRUE(netc::quote_for_script(text.c_str(), quoted, sizeof quoted));
        std::vector<std::string> fields;
        std::string error;
        ASSERT_TRUE(host::tokenize(std::string("netc PASSWORD ") + quoted, fields, error)) << error;
        ASSERT_EQ(fields.size(), 3u) << quoted;
        EXPECT_EQ(fields[2], text) << quoted;
    }
    char small[4];
    EXPECT_FALSE(netc::quote_for_script("abc", small, sizeof small));
}

TEST(Quoting, SmbnetfsStrings) {
    char out[64];
    ASSERT_TRUE(netc::quote_for_smbnetfs("b\"o\\b pw,1", out, sizeof out));
    EXPECT_STREQ(out, "\"b\\\"o\\\\b pw,1\"");
    EXPECT_FALSE(netc::quote_for_smbnetfs("two\nlines", out, sizeof out));
    EXPECT_FALSE(netc::quote_for_smbnetfs("cr\r", out, sizeof out));
}

}  // namespace
