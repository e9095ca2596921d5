#include "utils/system.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "utils/path.h"
#include "utils/text.h"

namespace {

namespace fs = std::filesystem;

TEST(WindowsVersionName, Table) {
  struct Case {
    uint32_t major, minor, build;
    bool r2;
    std::wstring name;
  } cases[] = {
      {0, 0, 0, false, L"XP-"}, {4, 9, 0, false, L"XP-"},   {5, 0, 0, false, L"2K"},
      {5, 1, 0, false, L"XP"},  {5, 2, 0, false, L"Server 2003"}, {5, 2, 0, true, L"Server 2003 R2"},
      {5, 3, 0, false, L"XP+"}, {6, 0, 0, false, L"Vista"}, {6, 1, 7601, false, L"7"},
      {6, 2, 0, false, L"8"},   {6, 3, 0, false, L"8.1"},   {6, 4, 0, false, L"8.1+"},
      {10, 0, 19045, false, L"10"}, {10, 1, 0, false, L"10+"}, {7, 0, 9600, false, L"7.0.9600"},
      {11, 2, 0x12345, false, L"11.2.9029"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.name, Utils::WindowsVersionNameFromNumbers(c.major, c.minor, c.build, c.r2))
        << c.major << "." << c.minor << "." << c.build;
}

TEST(WindowsVersionName, ThisSystem) {
  std::wstring family, name;
  Utils::GetWindowsVersionName(family, name);
#ifdef _WIN32
  EXPECT_EQ(L"Windows", family);
#else
  EXPECT_EQ(L"Linux", family);
#endif
  EXPECT_FALSE(name.empty());
}

TEST(Guid, ShapeAndCase) {
  const uint8_t tail[8] = {0xAB, 1, 2, 3, 4, 5, 6, 0xEF};
  EXPECT_EQ(L"0A0B0C0D00EFbeef" L"AB010203040506EF", Utils::FormatGuid(0x0A0B0C0D, 0xEF, 0xBEEF, tail));
  const std::wstring a = Utils::CreateGuidString(), b = Utils::CreateGuidString();
  ASSERT_EQ(32u, a.size());
  EXPECT_NE(a, b);
  for (size_t i = 0; i < a.size(); ++i) {
    const wchar_t c = a[i];
    const bool lower_part = i >= 12 && i < 16;
    EXPECT_TRUE((c >= L'0' && c <= L'9') || (lower_part ? (c >= L'a' && c <= L'f') : (c >= L'A' && c <= L'F'))) << a;
  }
}

class TempDir : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("vantelo_system_test_" + std::to_string(std::rand()));
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  void TearDown() override { fs::remove_all(root_); }
  std::wstring Root() const { return root_.wstring(); }
  fs::path root_;
};

TEST_F(TempDir, CreateDirectoriesMakesEveryComponentAFolder) {
  const std::wstring path = Utils::JoinPath(Utils::JoinPath(Utils::JoinPath(Root(), L"a"), L"b"), L"c.txt");
  EXPECT_TRUE(Utils::CreateDirectories(path));
  EXPECT_TRUE(fs::is_directory(root_ / "a" / "b" / "c.txt"));
  EXPECT_TRUE(Utils::CreateDirectories(path + Utils::kPathSeparator));  // exists already

  std::wstring long_path = Utils::JoinPath(Root(), L"long");
  long_path += Utils::kPathSeparator;
  long_path += std::wstring(261 - long_path.size(), L'x');
  ASSERT_EQ(261u, long_path.size());
  EXPECT_FALSE(Utils::CreateDirectories(long_path));
  EXPECT_FALSE(fs::exists(root_ / "long"));
}

TEST_F(TempDir, CreateDirectoriesFailsUnderAFile) {
  const std::wstring file = Utils::JoinPath(Root(), L"file");
  { std::FILE* f = std::fopen(Utils::NarrowPath(file).c_str(), "wb"); ASSERT_TRUE(f); std::fclose(f); }
  EXPECT_FALSE(Utils::CreateDirectories(Utils::JoinPath(file, L"sub")));
}

TEST_F(TempDir, FreeSpace) {
  Utils::HardDiskManager disk;
  ASSERT_TRUE(disk.CheckFreeSpace(Root()));
  EXPECT_GT(disk.total_bytes(), 0u);
  EXPECT_LE(disk.free_bytes_for_caller(), disk.total_bytes());
  EXPECT_FALSE(disk.CheckFreeSpace(Utils::JoinPath(Root(), L"missing-folder")));
}

TEST(TempFolder, IsCreatedAndNamed) {
  const std::wstring folder = Utils::GetTempFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_TRUE(Utils::IsDirectory(folder));
  EXPECT_EQ(Utils::kPathSeparator, folder.back());
  EXPECT_NE(std::wstring::npos, folder.find(L"~KavrinTemp.92482B06FB471E17"));
}

TEST(SingleInstance, SecondHolderIsRefusedUntilTheFirstReleases) {
  const std::wstring name = L"Installer_Test_" + std::to_wstring(std::rand());
  Utils::SingleInstance first(name), second(name);
  first.Create();
  EXPECT_TRUE(first.Held());
  second.Create();
  EXPECT_FALSE(second.Held());
  first.Release();
  second.Create();
  EXPECT_TRUE(second.Held());
}

TEST(ElapsedTimer, ZeroUntilStarted) {
  Utils::ElapsedTimer timer;
  EXPECT_EQ(0.0f, timer.Seconds());
  timer.Start();
  const float s = timer.Seconds();
  EXPECT_GE(s, 0.0f);
  EXPECT_LT(s, 5.0f);
}

TEST(NetworkProbe, VerdictIsOneOfTheKnownValues) {
  const int result = Utils::CheckNetwork();
  const int verdict = result >> 16;
  EXPECT_TRUE(verdict == 0 || verdict == 1 || verdict == 2) << result;
  if (verdict == 1) {
    EXPECT_EQ(0, result & 0xFFFF);
  }
}

TEST(Accounts, ConsoleUserAndAdminQueriesAnswer) {
  std::wstring user;
  ASSERT_TRUE(Utils::GetConsoleUserName(user));
  EXPECT_FALSE(user.empty());
  EXPECT_FALSE(Utils::IsUserAdmin(L"no-such-user-anywhere"));
#ifndef _WIN32
  EXPECT_TRUE(Utils::IsUserAdmin(L"root"));
#endif
  (void)Utils::IsRunAsAdmin();
  (void)Utils::Is64BitSystem();
}

}  // namespace
