// The command-line parser: how a line becomes the tokens, flags and last marks that ParseParam receives.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "classlib/App.h"
#include "testing/DeviceRootTest.h"

namespace {

struct Param {
    std::u16string token;
    bool flag;
    bool last;
    bool operator==(const Param&) const = default;
};

void PrintTo(const Param& param, std::ostream* out) {
    *out << "{\"" << std::string(param.token.begin(), param.token.end()) << "\", " << param.flag << ", "
         << param.last << "}";
}

class RecordingCommandLineInfo : public CCommandLineInfo {
public:
    void ParseParam(LPCTSTR pszParam, BOOL bFlag, BOOL bLast) override {
        m_params.push_back({pszParam, bFlag != FALSE, bLast != FALSE});
    }
    std::vector<Param> m_params;
};

std::vector<Param> Parse(const char16_t* line) {
    CWinApp app;
    app.SetUp(nullptr, line, SW_SHOW);
    RecordingCommandLineInfo info;
    app.ParseCommandLine(info);
    return info.m_params;
}

// The application's set-up reads the device root, so each case has one of its own.
class ParseCommandLineTest : public ::testing::Test {
protected:
    testing_support::TemporaryDeviceRoot m_root;
};

struct LineCase {
    const char16_t* line;
    std::vector<Param> params;
};

TEST_F(ParseCommandLineTest, TokensFlagsAndLastReachParseParam) {
    const LineCase cases[] = {
        {u"", {}},
        {u"  \t ", {}},
        {u"-new", {{u"new", true, true}}},
        {u"/new", {{u"new", true, true}}},
        // Only one leading switch character goes.
        {u"--new", {{u"-new", true, true}}},
        {u"NEW", {{u"NEW", false, true}}},
        {u"-new -hide", {{u"new", true, false}, {u"hide", true, true}}},
        {u"  -hide  ", {{u"hide", true, true}}},
        // A path with blanks and no quotes falls apart; backslashes are kept.
        {u"-o \\My Documents\\a b.fvc",
         {{u"o", true, false},
          {u"\\My", false, false},
          {u"Documents\\a", false, false},
          {u"b.fvc", false, true}}},
        {u"-o \"\\My Documents\\a b.fvc\"", {{u"o", true, false}, {u"\\My Documents\\a b.fvc", false, true}}},
        // A quoted token is one token; the quotes go before the switch character is looked at.
        {u"\"-new\" \"-hide\"", {{u"new", true, false}, {u"hide", true, true}}},
        {u"\"\"", {{u"", false, true}}},
        {u"/", {{u"", true, true}}},
        // The first token ends at any control character and takes backslashes as written; later tokens
        // follow the run-time library's backslash rule.
        {u"-new\n-hide", {{u"new", true, false}, {u"hide", true, true}}},
        {u"\"a b\\\" c", {{u"a b\\", false, false}, {u"c", false, true}}},
        {u"x \"a\\\"b\" \\\\\"c d\"",
         {{u"x", false, false}, {u"a\"b", false, false}, {u"\\c d", false, true}}},
        // An unclosed quote runs to the end of the line.
        {u"\"a b", {{u"a b", false, true}}},
    };
    for (const LineCase& test : cases) {
        SCOPED_TRACE(std::string(test.line, test.line + std::char_traits<char16_t>::length(test.line)));
        EXPECT_EQ(Parse(test.line), test.params);
    }
}

TEST_F(ParseCommandLineTest, TheBaseKeepsTheFirstTokenThatIsNoFlagAsTheFileToOpen) {
    CWinApp app;
    app.SetUp(nullptr, u"-o \"\\My Documents\\a b.fvc\" second.fvc", SW_SHOW);
    CCommandLineInfo info;
    app.ParseCommandLine(info);
    EXPECT_EQ(info.m_nShellCommand, CCommandLineInfo::FileOpen);
    EXPECT_EQ(info.m_strFileName, u"\\My Documents\\a b.fvc");

    CCommandLineInfo none;
    app.SetUp(nullptr, u"-new", SW_SHOW);
    app.ParseCommandLine(none);
    EXPECT_EQ(none.m_nShellCommand, CCommandLineInfo::FileNew);
    EXPECT_TRUE(none.m_strFileName.IsEmpty());
}

} // namespace
