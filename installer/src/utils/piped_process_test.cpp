#include "utils/piped_process.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "utils/command_line.h"
#include "utils/path.h"
#include "utils/text.h"
#include "utils/thread.h"

namespace {

namespace fs = std::filesystem;
using Utils::PipedProcess;

std::wstring Wide(const fs::path& path) { return Utils::ToWide(path.string(), 0); }
std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

// A folder whose name holds a blank, with copies of the fake child (built
// beside this test) that follow the scripts the tests give them.
class PipedProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path here = fs::path(Utils::ExecutablePath()).parent_path();
    for (const char* name : {"fake_child.exe", "fake_child"})
      if (fs::exists(here / name)) child_ = here / name;
    ASSERT_FALSE(child_.empty()) << "fake child not built beside the test";
    static std::atomic<int> counter{0};
    folder_ = fs::temp_directory_path() /
              ("piped process " + std::to_string(Utils::CurrentProcessId()) + "-" + std::to_string(counter++));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  fs::path Install(const std::string& name, const std::string& script) {
    const fs::path program = folder_ / name;
    fs::copy_file(child_, program, fs::copy_options::overwrite_existing);
    std::ofstream(program.string() + ".script", std::ios::binary) << script;
    return program;
  }

  static std::vector<std::wstring> Arguments(const fs::path& program) {
    std::ifstream in(program.string() + ".args", std::ios::binary);
    std::vector<std::wstring> arguments;
    std::string line;
    while (std::getline(in, line)) arguments.push_back(Utils::Utf8ToWide(line));
    return arguments;
  }

  // Reads the whole output until the pipe ends.
  static std::string ReadAll(PipedProcess& process) {
    std::string bytes;
    while (process.Read(bytes, 1024, 100) != PipedProcess::ReadResult::kEnd) {
    }
    return bytes;
  }

  fs::path child_;
  fs::path folder_;
};

TEST_F(PipedProcessTest, ChildGetsTheArgumentsOfTheWindowsSplit) {
  const fs::path program = Install("p.exe", "");
  const std::wstring path = Wide(program);
  struct Case {
    std::wstring arguments;
    std::vector<std::wstring> expected;
  } cases[] = {
      {L"/S -instdir=\"C:\\Program Files\\X\" /D=C:\\Program Files\\X",
       {L"/S", L"-instdir=C:\\Program Files\\X", L"/D=C:\\Program", L"Files\\X"}},
      {L"a\\\\\"b c\" \"\" d\\e \\\"q\\\"", {L"a\\b c", L"", L"d\\e", L"\"q\""}},
      {L"\"中文 参数\"\t x", {L"中文 参数", L"x"}},
  };
  for (const Case& c : cases) {
    PipedProcess process;
    process.CreatePipes();
    process.Start(Quoted(path) + L" " + c.arguments);
    ReadAll(process);
    process.Wait();
    std::vector<std::wstring> expected = {path};
    expected.insert(expected.end(), c.expected.begin(), c.expected.end());
    EXPECT_EQ(Arguments(program), expected) << Utils::WideToUtf8(c.arguments);
  }
}

TEST_F(PipedProcessTest, UnquotedProgramWithBlanksIsFoundAsWindowsFindsIt) {
  // The folder name "piped process N" holds a blank: the first token is only
  // the text up to it, yet the program is the whole path.
  const fs::path program = Install("u_asa.exe", "line started\n");
  const std::wstring command = Wide(program) + L" /S _?=C:\\Old Folder";
  PipedProcess process;
  process.CreatePipes();
  process.Start(command);
  EXPECT_EQ(ReadAll(process), "started\n");
  process.Wait();
  // Windows hands the child the text as it stands; Wine quotes the program
  // it found. Either way the arguments after the program are the same.
  const std::wstring path = Wide(program);
  const auto as_given = Utils::SplitCommandLine(command);
  const auto program_quoted = Utils::SplitCommandLine(Quoted(path) + command.substr(path.size()));
  const auto got = Arguments(program);
  EXPECT_TRUE(got == as_given || got == program_quoted) << Utils::WideToUtf8(got.empty() ? L"" : got[0]);
}

TEST_F(PipedProcessTest, OutputExitCodeAndStillActive) {
  const fs::path program = Install("p.exe", "out first\\n\nwaitfile go\nout second\\0\\xFF\\n\nexit 7\n");
  PipedProcess process;
  process.CreatePipes();
  process.Start(Quoted(Wide(program)));
  std::string bytes;
  while (bytes.size() < 6) ASSERT_NE(process.Read(bytes, 1024, 100), PipedProcess::ReadResult::kEnd);
  EXPECT_EQ(bytes, "first\n");
  EXPECT_EQ(process.ExitCode(), PipedProcess::kStillActive);
  EXPECT_FALSE(process.HasEnded());
  EXPECT_EQ(process.Read(bytes, 1024, 0), PipedProcess::ReadResult::kNoData);
  std::ofstream(folder_ / "go").close();
  bytes += ReadAll(process);
  EXPECT_EQ(bytes, std::string("first\nsecond\0\xFF\n", 15));
  process.Wait();
  EXPECT_TRUE(process.HasEnded());
  EXPECT_EQ(process.ExitCode(), 7u);
}

TEST_F(PipedProcessTest, ReadTakesAtMostTheAskedBytes) {
  const fs::path program = Install("p.exe", "repeat 3000 a\n");
  PipedProcess process;
  process.CreatePipes();
  process.Start(Quoted(Wide(program)));
  size_t total = 0;
  for (;;) {
    std::string bytes;
    const auto result = process.Read(bytes, 1024, 100);
    if (result == PipedProcess::ReadResult::kEnd) break;
    EXPECT_LE(bytes.size(), 1024u);
    total += bytes.size();
  }
  process.Wait();
  EXPECT_EQ(total, 3000u);
}

TEST_F(PipedProcessTest, AFullErrorPipeDoesNotBlockTheChild) {
  const fs::path program = Install("p.exe", "errrepeat 100000 0123456789\nline done\n");
  PipedProcess process;
  process.CreatePipes();
  process.Start(Quoted(Wide(program)));
  EXPECT_EQ(ReadAll(process), "done\n");
  process.Wait();
  EXPECT_EQ(process.ExitCode(), 0u);
}

TEST_F(PipedProcessTest, ClosedOutputWhileTheChildRuns) {
  const fs::path program = Install("p.exe", "line bye\ncloseout\nwaitfile go\nexit 4\n");
  PipedProcess process;
  process.CreatePipes();
  process.Start(Quoted(Wide(program)));
  EXPECT_EQ(ReadAll(process), "bye\n");
  EXPECT_FALSE(process.HasEnded());
  std::ofstream(folder_ / "go").close();
  process.Wait();
  EXPECT_EQ(process.ExitCode(), 4u);
}

TEST_F(PipedProcessTest, CrashIsAnEndWithAFailureCode) {
  const fs::path program = Install("p.exe", "crash\n");
  PipedProcess process;
  process.CreatePipes();
  process.Start(Quoted(Wide(program)));
  ReadAll(process);
  process.Wait();
  EXPECT_TRUE(process.HasEnded());
  EXPECT_NE(process.ExitCode(), 0u);
  EXPECT_NE(process.ExitCode(), PipedProcess::kStillActive);
}

TEST_F(PipedProcessTest, ProgramWithoutExecutePermissionStarts) {
  const fs::path program = Install("__Package_X.exe", "line ran\n");
  fs::permissions(program, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                  fs::perm_options::remove);
  PipedProcess process;
  process.CreatePipes();
  process.Start(Quoted(Wide(program)));
  EXPECT_EQ(ReadAll(process), "ran\n");
  process.Wait();
  EXPECT_TRUE(fs::exists(program)) << "the program keeps its name";
}

TEST_F(PipedProcessTest, StartFailuresThrow) {
  const fs::path program = Install("p.exe", "");
  const std::wstring quoted = Quoted(Wide(program));
  struct Case {
    const char* name;
    bool create_pipes;
    std::wstring command_line;
  } cases[] = {
      {"no program file", true, Quoted(Wide(folder_ / "missing.exe")) + L" /S"},
      {"empty command line", true, L""},
      {"1024 characters", true, quoted + L" " + std::wstring(1024 - quoted.size() - 1, L'x')},
      {"no pipes", false, quoted},
  };
  for (const Case& c : cases) {
    PipedProcess process;
    if (c.create_pipes) process.CreatePipes();
    EXPECT_THROW(process.Start(c.command_line), Utils::Exception) << c.name;
    EXPECT_FALSE(process.started()) << c.name;
    process.Wait();  // returns at once: nothing to wait for
  }
  EXPECT_TRUE(Arguments(program).empty()) << "a refused command line must not start the child";

  // One character less fits.
  PipedProcess process;
  process.CreatePipes();
  process.Start(quoted + L" " + std::wstring(1023 - quoted.size() - 1, L'x'));
  ReadAll(process);
  process.Wait();
  EXPECT_EQ(Arguments(program).size(), 2u);
}

}  // namespace
