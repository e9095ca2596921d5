#include "pipeline/package_runner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/installer_settings.h"
#include "pipeline/fake_child_fixture.h"
#include "utils/command_line.h"
#include "utils/thread.h"

namespace {

using testing_support::Describe;
using testing_support::FakeChildFolder;
using testing_support::Recorder;
using testing_support::Report;
using testing_support::Wide;

const char kPackageName[] = "__Package_VanteloPDFconverter.exe";

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

class PackageRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(testing_support::FakeChildProgram().empty()) << "fake child not built beside the test";
    InstallerSettings::Instance().InstCmd.clear();
  }
  void TearDown() override { InstallerSettings::Instance().InstCmd.clear(); }

  // Runs the package script once with |runner_dir| as the install folder and
  // returns every report of the run.
  std::vector<Report> RunScript(const std::string& script, const std::wstring& install_dir = L"") {
    const auto package = folder_.Install(kPackageName, script);
    PackageRunner runner(recorder_.callback(), Quoted(Wide(package)), install_dir);
    runner.StartRun();
    runner.Wait();
    return recorder_.reports();
  }

  FakeChildFolder folder_{"package run"};
  Recorder recorder_;
};

// The codes of a run without the 2001 and 2002/0 that open every run.
std::vector<std::pair<int32_t, double>> Codes(const std::vector<Report>& reports) {
  std::vector<std::pair<int32_t, double>> codes;
  for (size_t i = 0; i < reports.size(); ++i) {
    if (i == 0 && reports[i].code == 2001) continue;
    if (i == 1 && reports[i].code == 2002 && reports[i].value == 0) continue;
    codes.emplace_back(reports[i].code, reports[i].value);
  }
  return codes;
}

TEST(PackageRunnerCommandLine, IsBuiltToTheCharacter) {
  struct Case {
    std::wstring folder, inst_cmd;
    bool console_admin, process_admin, desktop, quick;
    std::wstring expected;
  } cases[] = {
      {L"D:\\Apps\\X", L"", true, true, true, true,
       L"\"C:\\T\\p.exe\" /S -console=show -version=1.0.0 -adminact=true -authorizationact=true -dsc=true -ssc=true"
       L" -instdir=\"D:\\Apps\\X\" /D=D:\\Apps\\X"},
      {L"", L"", false, true, false, true,
       L"\"C:\\T\\p.exe\" /S -console=show -version=1.0.0 -adminact=false -authorizationact=true -dsc=false -ssc=true"},
      {L"", L"/x", true, false, true, false,
       L"\"C:\\T\\p.exe\" /S -console=show -version=1.0.0 -adminact=true -authorizationact=false -dsc=true -ssc=false /x"},
      {L"D:\\A", L"/x", true, true, true, true,
       L"\"C:\\T\\p.exe\" /S -console=show -version=1.0.0 -adminact=true -authorizationact=true -dsc=true -ssc=true /x"
       L" -instdir=\"D:\\A\" /D=D:\\A"},
      {L"D:\\", L"", false, false, false, false,
       L"\"C:\\T\\p.exe\" /S -console=show -version=1.0.0 -adminact=false -authorizationact=false -dsc=false -ssc=false"
       L" -instdir=\"D:\\\\\" /D=D:\\"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PackageRunner::BuildCommandLine(L"\"C:\\T\\p.exe\"", c.folder, c.console_admin, c.process_admin, c.desktop,
                                              c.quick, c.inst_cmd),
              c.expected)
        << Utils::WideToUtf8(c.folder) << " / " << Utils::WideToUtf8(c.inst_cmd);
  }
  // A folder ending in a backslash still reaches the child as one argument.
  const auto root = Utils::SplitCommandLine(cases[4].expected);
  ASSERT_EQ(root.size(), 10u);
  EXPECT_EQ(root[8], L"-instdir=D:\\");
  EXPECT_EQ(root[9], L"/D=D:\\");
}

TEST_F(PackageRunnerTest, ChildReceivesTheArgumentsWindowsWouldGiveIt) {
  InstallerSettings::Instance().InstCmd = L"/x -extra=\"a b\"";
  const std::wstring install_dir = Wide(folder_.path() / "inst dir");
  const auto package = folder_.Install(kPackageName, "line State=Success\n");
  PackageRunner runner(recorder_.callback(), Quoted(Wide(package)), install_dir);
  runner.set_desktop_shortcut(true);
  runner.set_console_user_is_admin(true);
  runner.StartRun();
  runner.Wait();
  std::vector<std::wstring> expected = {
      Wide(package), L"/S", L"-console=show", L"-version=1.0.0", L"-adminact=true", L"-authorizationact=false",
      L"-dsc=true", L"-ssc=false", L"/x", L"-extra=a b", L"-instdir=" + install_dir};
  // /D= is read raw by the package up to the end of the line; split by the
  // argument rules, the folder falls apart at each blank.
  std::wstring rest = L"/D=" + install_dir;
  for (size_t blank; (blank = rest.find(L' ')) != std::wstring::npos; rest = rest.substr(blank + 1))
    expected.push_back(rest.substr(0, blank));
  expected.push_back(rest);
  EXPECT_EQ(FakeChildFolder::Arguments(package), expected) << Utils::WideToUtf8(runner.command_line());
  EXPECT_EQ(Codes(recorder_.reports()), (std::vector<std::pair<int32_t, double>>{{2003, 0}}));
}

TEST_F(PackageRunnerTest, ReportsEveryKeyInOrderOnTheWorkerThread) {
  const auto reports = RunScript(
      "line Progress=0.1\n"
      "line InstPath=C:\\\\Program Files\\\\V\n"
      "line ExePath=C:\\\\Program Files\\\\V\\\\v.exe\n"
      "line UninstExe=C:\\\\Program Files\\\\V\\\\u.exe\n"
      "line UninstEp=C:\\\\Program Files\\\\V\\\\ep.ini\n"
      "line StartUrl=http://127.0.0.1/start\n"
      "line StartupStyle=AutoStartup\n"
      "line TopShowDetention=-1\n"
      "line FinsihCloseDetention=3000\n"
      "line Message=m\n"
      "line Progress=1\n"
      "line State=Success\n");
  const std::vector<std::pair<int32_t, double>> expected = {
      {2001, 0}, {2002, 0}, {2002, 0.1}, {3000, 0}, {3001, 0}, {3002, 0}, {3003, 0}, {3004, 0},
      {3005, 1}, {3007, 4294967295.0}, {3008, 3000}, {3009, 0}, {2002, 1}, {2003, 0}};
  std::vector<std::pair<int32_t, double>> got;
  for (const Report& r : reports) got.emplace_back(r.code, r.value);
  ASSERT_EQ(got, expected) << Describe(reports);
  EXPECT_EQ(reports[3].text, L"C:\\Program Files\\V");
  EXPECT_EQ(reports[7].text, L"http://127.0.0.1/start");
  const uint32_t caller = Utils::CurrentThreadId();
  for (const Report& r : reports) {
    EXPECT_NE(r.thread, caller) << r.code << " reached the callback on the caller's thread";
    EXPECT_EQ(r.thread, reports.front().thread) << r.code << " came from another thread";
    // Only Linux shows thread names to a test.
    if (!r.thread_name.empty()) {
      EXPECT_EQ(r.thread_name, "ABDEF");
    }
  }
}

TEST_F(PackageRunnerTest, FinalStateRules) {
  struct Case {
    const char* name;
    std::string script;
    std::vector<std::pair<int32_t, double>> codes;
    std::wstring last_text;
  } cases[] = {
      {"writes nothing, exits 3", "exit 3\n", {{2003, 1}}, L""},
      {"fail and exit at once", "line State=Fail\n", {{2004, 0}}, L"安装包安装失败"},
      {"error and exit at once", "out Error=disk full\\r\\n\n", {{2004, 1000}}, L"disk full\r"},
      {"unterminated fail line, then exit", "out State=Fail\n", {{2004, 0}}, L"安装包安装失败"},
      {"unknown state word, then exit", "line State=Done\nline Progress=0.5\n", {{2002, 0.5}, {2003, 1}}, L""},
      {"two lines in one write", "out Progress=0.25\\nState=Success\\n\nsleep 200\nline State=Fail\n",
       {{2002, 0.25}, {2003, 0}}, L""},
      {"success then error in one write", "out State=Success\\nError=late\\n\n", {{2003, 0}}, L""},
      {"line split across reads", "out Progre\nsleep 300\nout ss=0.5\\n\nline State=Success\n",
       {{2002, 0.5}, {2003, 0}}, L""},
      {"crash without a final state", "line Progress=0.2\ncrash\n", {{2002, 0.2}, {2003, 1}}, L""},
      {"crash after a failure", "line Error=boom\ncrash\n", {{2004, 1000}}, L"boom"},
      {"closes its output and keeps running", "line Progress=0.3\ncloseout\nsleep 300\nexit 0\n",
       {{2002, 0.3}, {2003, 1}}, L""},
      {"garbage, NUL bytes and a long line before the failure",
       "out \\xFF\\xFE\\x00\\x01garbage\\n\nrepeat 102400 z\nline \nline State=Fail\n", {{2004, 0}},
       L"安装包安装失败"},
      {"fills its error pipe before the result", "errrepeat 20000 0123456789\nline State=Success\n", {{2003, 0}}, L""},
  };
  for (const Case& c : cases) {
    recorder_.Clear();
    const auto reports = RunScript(c.script);
    EXPECT_EQ(Codes(reports), c.codes) << c.name << "\n" << Describe(reports);
    if (!reports.empty()) {
      EXPECT_EQ(reports.back().text, c.last_text) << c.name;
    }
  }
}

TEST_F(PackageRunnerTest, FloodAfterSuccessEndsWithOneSuccess) {
  // 10 MB after the final state: the child must be able to write all of it.
  const auto reports = RunScript(
      "line State=Success\n"
      "repeat 163840 Progress=0.9 and more bytes to fill the pipe quickly..........\\n\n"
      "line State=Fail\n"
      "touch flood-done\n");
  // Lines that shared the read of the final state are still reported; the
  // flood after it and the late failure are not.
  const auto codes = Codes(reports);
  ASSERT_FALSE(codes.empty());
  EXPECT_EQ(codes.front(), (std::pair<int32_t, double>{2003, 0}));
  EXPECT_EQ(recorder_.WithCode(2003).size(), 1u);
  EXPECT_TRUE(recorder_.WithCode(2004).empty());
  EXPECT_LT(codes.size(), 100u) << "the flood after the final state was parsed";
  EXPECT_TRUE(std::filesystem::exists(folder_.path() / "flood-done"));
}

TEST_F(PackageRunnerTest, SuccessArrivesWhileTheChildStillRuns) {
  // The child waits for a file that only the 2003 handler creates; the run can
  // end only if 2003 was reported before the child ended.
  recorder_.on_report = [this](const Report& r) {
    if (r.code == 2003) folder_.Touch("release");
  };
  const auto reports = RunScript("line State=Success\nwaitfile release\nrepeat 1000 Error=after\\n\n");
  EXPECT_EQ(Codes(reports), (std::vector<std::pair<int32_t, double>>{{2003, 0}})) << Describe(reports);
}

TEST_F(PackageRunnerTest, AProgramLeftRunningWithTheOutputDoesNotHoldTheRun) {
  // The package starts a program that inherits its output and ends; the run
  // ends with the package, not with that program.
  folder_.InstallLingeringProgram();
  auto reports = RunScript("line Progress=0.5\nspawn grand.exe\n");
  EXPECT_EQ(Codes(reports), (std::vector<std::pair<int32_t, double>>{{2002, 0.5}, {2003, 1}})) << Describe(reports);
  EXPECT_FALSE(std::filesystem::exists(folder_.path() / "grand-done"));
  // The same after a final state, while the output is only drained.
  recorder_.Clear();
  reports = RunScript("line State=Success\nspawn grand.exe\n");
  EXPECT_EQ(Codes(reports), (std::vector<std::pair<int32_t, double>>{{2003, 0}})) << Describe(reports);
  folder_.Touch("release");
  EXPECT_TRUE(folder_.WaitForFile("grand-done"));
}

TEST_F(PackageRunnerTest, EncodeAppliesToLaterLinesAndLaterRuns) {
  const std::string gbk_message = "line Message=\\xD6\\xD0\\xCE\\xC4\n";
  const auto package = folder_.Install(kPackageName, "line Encode=936\n" + gbk_message + "line State=Success\n");
  PackageRunner runner(recorder_.callback(), Quoted(Wide(package)), L"");
  runner.StartRun();
  runner.Wait();
  EXPECT_EQ(runner.console_code_page(), 936);
  // The same runner keeps the code page for a run without an Encode= line.
  FakeChildFolder::WriteScript(package, gbk_message + "line Encode=UTF8\nline Error=\\xE4\\xB8\\xAD\\xE6\\x96\\x87\n");
  runner.StartRun();
  runner.Wait();
  EXPECT_EQ(runner.console_code_page(), 65001);
  const auto messages = recorder_.WithCode(3009);
  ASSERT_EQ(messages.size(), 2u) << Describe(recorder_.reports());
  EXPECT_EQ(messages[0].text, L"中文");
  EXPECT_EQ(messages[1].text, L"中文");
  const auto failures = recorder_.WithCode(2004);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].text, L"中文");
  EXPECT_EQ(recorder_.WithCode(2001).size(), 2u);
}

TEST_F(PackageRunnerTest, StartFailures) {
  const auto package = folder_.Install(kPackageName, "line State=Success\n");
  struct Case {
    const char* name;
    std::wstring package_command, install_dir, inst_cmd;
  } cases[] = {
      {"no program file", Quoted(Wide(folder_.path() / "missing.exe")), L"", L""},
      {"quote in the folder", Quoted(Wide(package)), Wide(folder_.path() / "a\" /evil \"b"), L""},
      {"quote in the package path", Quoted(Wide(folder_.path()) + L"\" /evil \"x.exe"), L"", L""},
      {"command line of 1024 characters", Quoted(Wide(package)), L"", std::wstring(1024, L'x')},
  };
  for (const Case& c : cases) {
    recorder_.Clear();
    InstallerSettings::Instance().InstCmd = c.inst_cmd;
    PackageRunner runner(recorder_.callback(), c.package_command, c.install_dir);
    runner.StartRun();
    runner.Wait();
    const auto reports = recorder_.reports();
    ASSERT_EQ(reports.size(), 3u) << c.name << "\n" << Describe(reports);
    EXPECT_EQ(reports[2].code, 2004) << c.name;
    EXPECT_EQ(reports[2].value, 2) << c.name;
    EXPECT_EQ(reports[2].text, L"") << c.name;
  }
  EXPECT_TRUE(FakeChildFolder::Arguments(package).empty()) << "a refused command line must not start the child";
}

TEST_F(PackageRunnerTest, ALongestCommandLineThatFitsStarts) {
  const auto package = folder_.Install(kPackageName, "line State=Success\n");
  const std::wstring base = PackageRunner::BuildCommandLine(Quoted(Wide(package)), L"", false, false, false, false, L"");
  InstallerSettings::Instance().InstCmd = std::wstring(1023 - base.size() - 1, L'y');
  PackageRunner runner(recorder_.callback(), Quoted(Wide(package)), L"");
  runner.StartRun();
  runner.Wait();
  EXPECT_EQ(runner.command_line().size(), 1023u);
  EXPECT_EQ(Codes(recorder_.reports()), (std::vector<std::pair<int32_t, double>>{{2003, 0}}))
      << Describe(recorder_.reports());
}

}  // namespace
