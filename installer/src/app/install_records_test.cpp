#include "app/install_records.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "app/records_platform.h"
#include "utils/path.h"
#include "utils/profile.h"
#include "utils/registry.h"
#include "utils/text.h"

namespace {

namespace fs = std::filesystem;

constexpr bool kWindows = Utils::kPathSeparator == L'\\';

void SetEnv(const char* name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name, value.c_str());
#else
  setenv(name, value.c_str(), 1);
#endif
}

fs::path U8Path(const std::wstring& text) {
  const std::string utf8 = Utils::WideToUtf8(text);
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::wstring Text(const fs::path& path) {
  const std::u8string utf8 = path.u8string();
  return Utils::Utf8ToWide(std::string(utf8.begin(), utf8.end()));
}

std::wstring Reg(const wchar_t* name) {
  unsigned long type = 0;
  std::wstring text;
  return Utils::ReadRegString(name, type, text) ? text : L"<missing>";
}

bool WaitForFile(const fs::path& path) {
  for (int i = 0; i < 100 && !fs::exists(path); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  return fs::exists(path);
}

// Every test gets its own home: the POSIX registry key file, APPDATA and the
// desktop all live below it. Under Wine the registry is the prefix's own, so
// the two values are cleared instead.
class Records : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("vantelo_records_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "home");
    SetEnv("HOME", (root_ / "home").string());
    SetEnv("XDG_CONFIG_HOME", (root_ / "home" / "config").string());
    SetEnv("XDG_DATA_HOME", (root_ / "home" / "data").string());
    SetEnv("APPDATA", (root_ / "home" / "data").string());
    Utils::WriteRegString(kInstallPathValue, L"");
    Utils::WriteRegString(kUninstallEpValue, L"");
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(root_, ignored);
  }
  std::wstring Dir(const char* name) {
    fs::create_directories(root_ / name);
    return Text(root_ / name);
  }
  static void Touch(const std::wstring& path) { std::ofstream(U8Path(path)) << "x"; }
  static std::wstring Ini(const std::wstring& path, const wchar_t* section, const wchar_t* key) {
    return Utils::GetProfileString(section, key, L"<missing>", path);
  }

  fs::path root_;
};

TEST_F(Records, PreviousInstallWithoutUninstallerRecord) {
  const std::wstring old = Dir("old");
  ASSERT_TRUE(Utils::WriteRegString(kInstallPathValue, old));
  InstallRecords records;
  records.ReadInstallRecords();
  EXPECT_TRUE(records.previous_install_present());
  EXPECT_EQ(Utils::JoinPath(old, L"uninst.ep"), records.previous_uninstaller());

  // Without the uninstaller file the old folder is not proposed.
  EXPECT_NE(old, records.DefaultInstallFolder());
  Touch(records.previous_uninstaller());
  EXPECT_EQ(old, records.DefaultInstallFolder());
}

TEST_F(Records, RecordedUninstallerIsUsedAsItStands) {
  const std::wstring old = Dir("old");
  const std::wstring elsewhere = Utils::JoinPath(Dir("elsewhere"), L"remove.exe");
  Utils::WriteRegString(kInstallPathValue, old);
  Utils::WriteRegString(kUninstallEpValue, elsewhere);
  InstallRecords records;
  records.ReadInstallRecords();
  EXPECT_EQ(elsewhere, records.previous_uninstaller());
}

TEST_F(Records, NoPreviousInstallProposesAFolderByPrivilege) {
  InstallRecords records;
  records.ReadInstallRecords();
  EXPECT_FALSE(records.previous_install_present());
  const std::wstring folder = records.DefaultInstallFolder();
  const std::wstring base = records.console_user_is_admin() && records.process_is_admin()
                                ? Utils::JoinPath(Text(root_ / "home" / "data"), L"vantelo")
                                : records_platform::ProgramFilesFolder();
  EXPECT_EQ(Utils::JoinPath(base, L"VanteloPDFconverter"), folder);
}

TEST_F(Records, UnreadableRegistryMeansNoPreviousInstall) {
  if (kWindows) GTEST_SKIP() << "the key file exists only in the POSIX backend";
  Utils::WriteRegString(kInstallPathValue, Dir("old"));
  const fs::path key_file = U8Path(Utils::RegistryKeyFilePath());
  fs::remove(key_file);
  fs::create_directories(key_file);  // a folder where the key file should be: unreadable
  InstallRecords records;
  records.ReadInstallRecords();
  EXPECT_FALSE(records.previous_install_present());
  EXPECT_TRUE(records.previous_uninstaller().empty());
}

TEST_F(Records, ChosenFolder) {
  InstallRecords records;
  records.ReadInstallRecords();
  const std::wstring proposed = records.DefaultInstallFolder();
  const std::wstring tools = Dir("Tools");
  const std::wstring chinese = Text(root_) + Utils::kPathSeparator + L"程序 文件";
  const struct {
    std::wstring text, expected;
  } cases[] = {
      {proposed, proposed},
      {proposed + Utils::kPathSeparator, proposed},
      {tools, Utils::JoinPath(tools, L"VanteloPDFconverter")},
      {tools + Utils::kPathSeparator, Utils::JoinPath(tools, L"VanteloPDFconverter")},
      {chinese, Utils::JoinPath(chinese, L"VanteloPDFconverter")},
  };
  for (const auto& c : cases) EXPECT_EQ(c.expected, records.ChosenInstallFolder(c.text)) << c.text;
}

TEST_F(Records, KeepPreviousInstallOnlyWhenSetIniSaysExactlyFalse) {
  const std::wstring old = Dir("old");
  const std::wstring other = Dir("other");
  Utils::WriteRegString(kInstallPathValue, old);
  InstallRecords records;
  records.ReadInstallRecords();
  const std::wstring set_ini = InstallRecords::SetIniPath(old);
  const struct {
    const char* content;  // nullptr: no set.ini
    std::wstring folder;
    bool keep;
  } cases[] = {
      {"[Uninstall]\r\nIsOverride=false\r\n", old, true},
      {"[uninstall]\r\nisoverride = false \r\n", old + Utils::kPathSeparator, true},
      {"[Uninstall]\r\nIsOverride=FALSE\r\n", old, false},
      {"[Uninstall]\r\nIsOverride=true\r\n", old, false},
      {"[Install]\r\nIsOverride=false\r\n", old, false},
      {nullptr, old, false},
      {"[Uninstall]\r\nIsOverride=false\r\n", other, false},
  };
  for (const auto& c : cases) {
    fs::remove(U8Path(set_ini));
    if (c.content) std::ofstream(U8Path(set_ini), std::ios::binary) << c.content;
    EXPECT_EQ(c.keep, records.KeepPreviousInstall(c.folder))
        << (c.content ? c.content : "(no set.ini)") << " for " << Utils::WideToUtf8(c.folder);
  }

  // A set.ini that cannot be read counts as "replace the old version".
  fs::remove(U8Path(set_ini));
  fs::create_directories(U8Path(set_ini));
  EXPECT_FALSE(records.KeepPreviousInstall(old));
}

TEST_F(Records, EveryRecordAfterSuccess) {
  const std::wstring folder = Dir("product");
  const std::wstring uninstaller = Utils::JoinPath(folder, L"uninst.ep");
  Touch(uninstaller);
  InstallRecords records;
  records.SetInstallFolder(folder);
  records.WriteInstallRecords();

  EXPECT_EQ(folder, Reg(kInstallPathValue));
  EXPECT_EQ(uninstaller, Reg(kUninstallEpValue));
  const std::wstring set_ini = InstallRecords::SetIniPath(folder);
  EXPECT_EQ(Utils::FileNamePart(Utils::ExecutablePath()), Ini(set_ini, L"Install", L"APPStore"));
  EXPECT_EQ(L"VanteloPDFconverter", Ini(set_ini, L"Install", L"AppName"));
  const std::wstring first_id = Ini(set_ini, L"Install", L"DeviceID");
  EXPECT_TRUE(std::regex_match(Utils::WideToUtf8(first_id), std::regex("[0-9A-F]{12}[0-9a-f]{4}[0-9A-F]{16}")))
      << Utils::WideToUtf8(first_id);

  const std::wstring analytics_ini =
      Text(root_ / "home" / "data" / "KavrinData" / "VanteloPDFconverter" / "KVUsageAnalytics.ini");
  EXPECT_EQ(analytics_ini, InstallRecords::AnalyticsIniPath());
  EXPECT_EQ(analytics_ini, Ini(set_ini, L"Install", L"KVUsageAnalyticsIni"));
  EXPECT_TRUE(std::regex_match(Utils::WideToUtf8(Ini(analytics_ini, L"Init", L"UpdateTime")),
                               std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)")));

  // Every run makes a new device id.
  records.WriteInstallRecords();
  EXPECT_NE(first_id, Ini(set_ini, L"Install", L"DeviceID"));
}

TEST_F(Records, ReportedUninstallerMissingIsNotRecorded) {
  const std::wstring folder = Dir("product");
  InstallRecords records;
  records.SetInstallFolder(folder);
  records.SetUninstallerRecordPath(Utils::JoinPath(folder, L"gone.ep"));
  Touch(Utils::JoinPath(folder, L"uninst.ep"));  // the default path does not matter then
  records.WriteInstallRecords();
  EXPECT_EQ(folder, Reg(kInstallPathValue));
  EXPECT_EQ(L"", Reg(kUninstallEpValue));
}

TEST_F(Records, FailedWritesAreIgnored) {
  // An install folder that does not exist: set.ini cannot be written, the
  // registry still can; nothing throws or crashes.
  const std::wstring folder = Utils::JoinPath(Text(root_), L"missing");
  fs::create_directories(root_ / "home" / "data");
  std::ofstream(root_ / "home" / "data" / "KavrinData") << "a file where a folder belongs";
  InstallRecords records;
  records.SetInstallFolder(folder);
  records.WriteInstallRecords();
  EXPECT_EQ(folder, Reg(kInstallPathValue));
  EXPECT_FALSE(fs::exists(U8Path(InstallRecords::SetIniPath(folder))));
}

// The demo product's program leaves a mark file in its folder when started.
class OpenProductTest : public Records {
 protected:
  fs::path InstallDemoProgram() {
    const char* binary = std::getenv("VANTELO_BINARY_DIR");
    if (!binary) return {};
    const fs::path package = fs::path(binary) / "demo" / "VanteloPDFconverter_setup.exe";
    if (!fs::exists(package)) return {};
    const fs::path program = root_ / "product" / "pdfConverterInternal.exe";
    fs::create_directories(program.parent_path());
    fs::copy_file(package, program);
    return program;
  }
};

TEST_F(OpenProductTest, StartsTheProgramAndTheLongStartUrl) {
  const fs::path program = InstallDemoProgram();
  if (program.empty()) GTEST_SKIP() << "the demo product is not built";
  InstallRecords records;
  records.SetProgramPath(Text(program));
  if (!kWindows) {
    // A stand-in for the desktop's opener, found first on PATH, records what
    // it was asked to open. (Windows hands the address to the browser, which
    // a test cannot watch.)
    const fs::path bin = root_ / "bin";
    fs::create_directories(bin);
    std::ofstream(bin / "xdg-open") << "#!/bin/sh\necho \"$1\" >> \"" << (root_ / "opened.txt").string() << "\"\n";
    fs::permissions(bin / "xdg-open", fs::perms::owner_all);
    SetEnv("PATH", bin.string() + ":" + std::getenv("PATH"));
    records.SetStartUrl(L"http://127.0.0.1/start");
  }
  bool pumped = false;
  records.OpenProduct([&] { pumped = true; });
  EXPECT_TRUE(pumped);
  ASSERT_TRUE(WaitForFile(program.parent_path() / "product-started.txt"));
  if (kWindows) return;
  ASSERT_TRUE(WaitForFile(root_ / "opened.txt"));
  std::string opened;
  std::getline(std::ifstream(root_ / "opened.txt"), opened);
  EXPECT_EQ("http://127.0.0.1/start", opened);
}

TEST_F(OpenProductTest, ShortUrlAndMissingProgramOpenNothing) {
  const fs::path bin = root_ / "bin";
  if (!kWindows) {
    fs::create_directories(bin);
    std::ofstream(bin / "xdg-open") << "#!/bin/sh\necho \"$1\" >> \"" << (root_ / "opened.txt").string() << "\"\n";
    fs::permissions(bin / "xdg-open", fs::perms::owner_all);
    SetEnv("PATH", bin.string() + ":" + std::getenv("PATH"));
  }
  InstallRecords records;
  records.SetStartUrl(L"a.com");
  records.SetProgramPath(Text(root_ / "nowhere" / "pdfConverterInternal.exe"));
  bool pumped = false;
  records.OpenProduct([&] { pumped = true; });
  EXPECT_FALSE(pumped);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(fs::exists(root_ / "opened.txt"));
}

}  // namespace
