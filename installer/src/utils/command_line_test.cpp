#include "utils/command_line.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

namespace {

using Args = std::vector<std::wstring>;

struct SplitCase {
  std::wstring line;
  Args expected;
};

// The Windows argument rules; under Wine the same table is checked against
// the system's own splitter.
const SplitCase kSplitCases[] = {
    {L"prog.exe", {L"prog.exe"}},
    {L"prog.exe a b", {L"prog.exe", L"a", L"b"}},
    {L"prog.exe   a\t b  ", {L"prog.exe", L"a", L"b"}},
    {L"\"C:\\Program Files\\x.exe\" -a", {L"C:\\Program Files\\x.exe", L"-a"}},
    {L"C:\\dir\\x.exe \"a b\" c", {L"C:\\dir\\x.exe", L"a b", L"c"}},
    {L"p \"-instcmd=/a /b\"", {L"p", L"-instcmd=/a /b"}},
    {L"p -instcmd=\"/a /b\"", {L"p", L"-instcmd=/a /b"}},
    {L"p a\\\\b", {L"p", L"a\\\\b"}},
    {L"p a\\\\\"b c\"", {L"p", L"a\\b c"}},
    {L"p a\\\"b", {L"p", L"a\"b"}},
    {L"p a\\\\\\\"b", {L"p", L"a\\\"b"}},
    {L"p \"a\"\"b\"", {L"p", L"a\"b"}},
    {L"p \"\"", {L"p", L""}},
    {L"p \"unbalanced arg", {L"p", L"unbalanced arg"}},
    {L"p \"\"\"triple\"\"\"", {L"p", L"\"triple\""}},
    {L"\"quoted\"prog next", {L"quoted", L"prog", L"next"}},
    {L"p /D=C:\\Program Files\\x", {L"p", L"/D=C:\\Program", L"Files\\x"}},
    {L"p \"dir\\\\\" next", {L"p", L"dir\\", L"next"}},
};

TEST(SplitCommandLine, WindowsRules) {
  for (const auto& c : kSplitCases) EXPECT_EQ(c.expected, Utils::SplitCommandLine(c.line)) << c.line;
}

#ifdef _WIN32
TEST(SplitCommandLine, AgreesWithSystemSplitter) {
  for (const auto& c : kSplitCases) {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(c.line.c_str(), &count);
    ASSERT_NE(nullptr, argv);
    Args system(argv, argv + count);
    LocalFree(argv);
    EXPECT_EQ(system, Utils::SplitCommandLine(c.line)) << c.line;
  }
}
#endif

TEST(QuoteArgument, SplitGivesItBack) {
  const std::wstring samples[] = {L"plain", L"", L"a b", L"tab\there", L"q\"uote", L"trail\\",
                                  L"trail space\\", L"\\\\server\\share dir\\", L"\"", L"a\\\\\"b",
                                  L"中文 路径"};
  for (const auto& s : samples) {
    const Args split = Utils::SplitCommandLine(L"prog " + Utils::QuoteArgument(s));
    ASSERT_EQ(2u, split.size()) << s;
    EXPECT_EQ(s, split[1]) << s;
  }
}

TEST(CommandLine, SwitchesAndGetters) {
  const Utils::CommandLine cl(
      L"prog.exe -downloadtype=3 -downloadtype=2 -x \"-instcmd=/a /b\" -ischecknet -b=True "
      L"-scale=0.5x -big=99999999999 -url=http://h/?a=b=c -neg=-4 plain");
  EXPECT_EQ(3, cl.GetInt(L"-downloadtype"));
  EXPECT_TRUE(cl.Has(L"-x"));
  EXPECT_EQ(L"", cl.GetString(L"-x"));
  EXPECT_EQ(L"/a /b", cl.GetString(L"-instcmd"));
  EXPECT_TRUE(cl.Has(L"-ischecknet"));
  EXPECT_FALSE(cl.GetBool(L"-ischecknet"));
  EXPECT_FALSE(cl.GetBool(L"-b"));
  EXPECT_DOUBLE_EQ(0.5, cl.GetDouble(L"-scale", -1));
  EXPECT_EQ(0, cl.GetInt(L"-big"));
  EXPECT_EQ(-4, cl.GetInt(L"-neg"));
  EXPECT_EQ(L"http://h/?a=b=c", cl.GetString(L"-url"));
  EXPECT_TRUE(cl.Has(L"plain"));
  EXPECT_TRUE(cl.Has(L"prog.exe"));
  EXPECT_FALSE(cl.Has(L"-DownloadType"));
  EXPECT_EQ(0, cl.GetInt(L"-missing"));
  EXPECT_DOUBLE_EQ(7.0, cl.GetDouble(L"-missing", 7.0));
  EXPECT_DOUBLE_EQ(7.0, cl.GetDouble(L"-x", 7.0));
}

TEST(CommandLine, ProcessCommandLineNamesThisProgram) {
  const Args args = Utils::SplitCommandLine(Utils::ProcessCommandLine());
  ASSERT_FALSE(args.empty());
  EXPECT_NE(std::wstring::npos, args[0].find(L"utils_test"));
}

}  // namespace
