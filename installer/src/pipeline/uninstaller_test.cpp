#include "pipeline/uninstaller.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pipeline/fake_child_fixture.h"
#include "utils/command_line.h"
#include "utils/system.h"
#include "utils/thread.h"

namespace {

using testing_support::Describe;
using testing_support::FakeChildFolder;
using testing_support::Recorder;
using testing_support::Report;
using testing_support::Wide;

const char kCopyName[] = "VanteloPDFconverter_un_asa.exe";

std::vector<std::pair<int32_t, double>> Codes(const std::vector<Report>& reports) {
  std::vector<std::pair<int32_t, double>> codes;
  for (const Report& r : reports) codes.emplace_back(r.code, r.value);
  return codes;
}

class UnInstallerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(testing_support::FakeChildProgram().empty()) << "fake child not built beside the test";
  }

  std::vector<Report> Run(const std::wstring& copy, const std::wstring& old_folder = L"C:\\Old") {
    UnInstaller uninstaller(recorder_.callback(), copy, old_folder);
    uninstaller.StartUninstall();
    uninstaller.Wait();
    command_line_ = uninstaller.command_line();
    return recorder_.reports();
  }

  std::vector<Report> RunScript(const std::string& script) {
    return Run(Wide(folder_.Install(kCopyName, script)));
  }

  FakeChildFolder folder_{"un install"};
  Recorder recorder_;
  std::wstring command_line_;
};

TEST(UnInstallerCommandLine, IsBuiltToTheCharacter) {
  EXPECT_EQ(UnInstaller::BuildCommandLine(L"C:\\Users\\A B\\Temp\\x_un_asa.exe", true, false, L"C:\\Program Files\\V"),
            L"C:\\Users\\A B\\Temp\\x_un_asa.exe /S -adminact=true -authorizationact=false -console=show"
            L" _?=C:\\Program Files\\V");
  EXPECT_EQ(UnInstaller::BuildCommandLine(L"u.exe", false, true, L""),
            L"u.exe /S -adminact=false -authorizationact=true -console=show _?=");
}

TEST_F(UnInstallerTest, CopyPathWithBlanksStartsAndTheChildSeesTheWindowsSplit) {
  // The copy path stands unquoted; the folder name holds a blank, so the
  // program is found the way CreateProcessW finds it.
  const auto copy = folder_.Install(kCopyName, "line State=Success\n");
  const auto reports = Run(Wide(copy), L"C:\\Program Files\\Old V");
  std::wstring console_user;
  const bool console_admin = Utils::GetConsoleUserName(console_user) && Utils::IsUserAdmin(console_user);
  EXPECT_EQ(command_line_, Wide(copy) + L" /S -adminact=" + (console_admin ? L"true" : L"false") +
                               L" -authorizationact=" + (Utils::IsRunAsAdmin() ? L"true" : L"false") +
                               L" -console=show _?=C:\\Program Files\\Old V");
  // Windows hands the child the text as it stands; Wine quotes the program
  // it found. Either way the arguments after the program are the same.
  const std::wstring path = Wide(copy);
  const auto as_given = Utils::SplitCommandLine(command_line_);
  const auto program_quoted = Utils::SplitCommandLine(L"\"" + path + L"\"" + command_line_.substr(path.size()));
  const auto got = FakeChildFolder::Arguments(copy);
  EXPECT_TRUE(got == as_given || got == program_quoted) << Utils::WideToUtf8(got.empty() ? L"" : got[0]);
  EXPECT_EQ(got.back(), L"V") << "the old folder stands unquoted after _?=";
  EXPECT_EQ(Codes(reports), (std::vector<std::pair<int32_t, double>>{{5002, 0}, {5003, 0}})) << Describe(reports);
}

TEST_F(UnInstallerTest, Outcomes) {
  struct Case {
    const char* name;
    std::string script;
    std::vector<std::pair<int32_t, double>> codes;
    std::wstring last_text;
  } cases[] = {
      {"writes nothing and exits", "exit 5\n", {{5002, 0}, {5003, 1}}, L""},
      {"fail, then more output", "line State=Fail\nline Progress=0.7\nline State=Success\n",
       {{5002, 0}, {5005, 0}, {5002, 0.7}}, L""},
      {"error text, exit at once", "out Error=locked\n", {{5002, 0}, {5005, 0}}, L"locked"},
      {"crash without a final state", "crash\n", {{5002, 0}, {5003, 1}}, L""},
      {"closes its output and keeps running", "closeout\nsleep 300\n", {{5002, 0}, {5003, 1}}, L""},
      {"UTF-8 error text", "line Encode=UTF8\nline Error=\\xE4\\xB8\\xAD\\xE6\\x96\\x87\n", {{5002, 0}, {5005, 0}},
       L"中文"},
      {"a line split across reads", "out Progress=0.\nsleep 300\nout 5\\nState=Success\\n\n",
       {{5002, 0}, {5002, 0.5}, {5003, 0}}, L""},
      {"large output on both pipes", "errrepeat 20000 0123456789\nrepeat 20000 noise\\n\nline State=Success\n",
       {{5002, 0}, {5003, 0}}, L""},
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

TEST_F(UnInstallerTest, SuccessArrivesWhileTheChildRunsAndLaterOutputIsParsed) {
  recorder_.on_report = [this](const Report& r) {
    if (r.code == 5003) folder_.Touch("release");
  };
  const auto reports = RunScript("line State=Success\nwaitfile release\nline Progress=0.9\nline State=Success\n");
  EXPECT_EQ(Codes(reports), (std::vector<std::pair<int32_t, double>>{{5002, 0}, {5003, 0}, {5002, 0.9}}))
      << Describe(reports);
  const uint32_t caller = Utils::CurrentThreadId();
  for (const Report& r : reports) {
    EXPECT_NE(r.thread, caller) << r.code << " reached the callback on the caller's thread";
    EXPECT_EQ(r.thread, reports.front().thread) << r.code;
    // Only Linux shows thread names to a test.
    if (!r.thread_name.empty()) {
      EXPECT_EQ(r.thread_name, "UnInstaller");
    }
  }
}

TEST_F(UnInstallerTest, AProgramLeftRunningWithTheOutputDoesNotHoldTheUninstall) {
  folder_.InstallLingeringProgram();
  const auto reports = RunScript("line Progress=0.5\nspawn grand.exe\n");
  EXPECT_EQ(Codes(reports), (std::vector<std::pair<int32_t, double>>{{5002, 0}, {5002, 0.5}, {5003, 1}}))
      << Describe(reports);
  EXPECT_FALSE(std::filesystem::exists(folder_.path() / "grand-done"));
  folder_.Touch("release");
  EXPECT_TRUE(folder_.WaitForFile("grand-done"));
}

TEST_F(UnInstallerTest, MissingCopyAndStartFailures) {
  const auto copy = folder_.Install(kCopyName, "line State=Success\n");
  struct Case {
    const char* name;
    std::wstring copy, old_folder;
    std::pair<int32_t, double> last;
    std::wstring text;
    size_t count;
  } cases[] = {
      {"empty copy path", L"", L"C:\\Old", {5004, 1}, L"可执行卸载文件不存在", 1},
      {"no file at the copy path", Wide(folder_.path() / "gone.exe"), L"C:\\Old", {5004, 1}, L"可执行卸载文件不存在", 1},
      {"quote in the old folder", Wide(copy), L"C:\\Old\" /evil \"x", {5004, 2}, L"", 2},
      {"command line of 1024 characters", Wide(copy), std::wstring(1024, L'o'), {5004, 2}, L"", 2},
  };
  for (const Case& c : cases) {
    recorder_.Clear();
    const auto reports = Run(c.copy, c.old_folder);
    ASSERT_EQ(reports.size(), c.count) << c.name << "\n" << Describe(reports);
    if (c.count == 2) {
      EXPECT_EQ(Codes(reports)[0], (std::pair<int32_t, double>{5002, 0})) << c.name;
    }
    EXPECT_EQ(Codes(reports).back(), c.last) << c.name;
    EXPECT_EQ(reports.back().text, c.text) << c.name;
  }
  EXPECT_TRUE(FakeChildFolder::Arguments(copy).empty()) << "a refused command line must not start the child";
}

}  // namespace
