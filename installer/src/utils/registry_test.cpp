#include "utils/registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

class Registry : public ::testing::Test {
 protected:
#ifndef _WIN32
  void SetUp() override {
    home_ = fs::temp_directory_path() / ("vantelo_registry_" + std::to_string(::getpid()));
    fs::remove_all(home_);
    ::setenv("XDG_CONFIG_HOME", home_.c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("XDG_CONFIG_HOME");
    fs::remove_all(home_);
  }
  fs::path home_;
#endif
};

TEST_F(Registry, WriteThenReadBack) {
  const std::wstring texts[] = {L"D:\\Program Files\\VanteloPDF", L"", L"中文\\路径", L"line1\nline2=x\\n"};
  for (const auto& text : texts) {
    ASSERT_TRUE(Utils::WriteRegString(L"InstallPath", text));
    unsigned long type = 0;
    std::wstring read;
    ASSERT_TRUE(Utils::ReadRegString(L"InstallPath", type, read));
    EXPECT_EQ(Utils::kRegSz, type);
    EXPECT_EQ(text, read);
  }
  ASSERT_TRUE(Utils::WriteRegString(L"UnInstallEp", L"u.exe"));
  unsigned long type = 0;
  std::wstring read;
  EXPECT_TRUE(Utils::ReadRegString(L"uninstallep", type, read));  // names ignore case
  EXPECT_EQ(L"u.exe", read);
  EXPECT_FALSE(Utils::ReadRegString(L"NoSuchValue", type, read));
}

#ifndef _WIN32
TEST_F(Registry, KeyFileLivesUnderTheConfigFolder) {
  EXPECT_EQ(home_.wstring() + L"/Software/KavrinSoft/VanteloPDFconverter.reg", Utils::RegistryKeyFilePath());
  unsigned long type = 0;
  std::wstring read;
  EXPECT_FALSE(Utils::ReadRegString(L"InstallPath", type, read));  // no key yet
}

TEST_F(Registry, CorruptKeyFileKeepsReadableValues) {
  fs::create_directories(home_ / "Software" / "KavrinSoft");
  {
    std::FILE* f = std::fopen((home_ / "Software/KavrinSoft/VanteloPDFconverter.reg").c_str(), "wb");
    std::fputs("garbage without separator\n\xFF\xFE\nInstallPath=/opt/v\n", f);
    std::fclose(f);
  }
  unsigned long type = 0;
  std::wstring read;
  ASSERT_TRUE(Utils::ReadRegString(L"InstallPath", type, read));
  EXPECT_EQ(L"/opt/v", read);
  ASSERT_TRUE(Utils::WriteRegString(L"UnInstallEp", L"/opt/v/uninst.ep"));
  ASSERT_TRUE(Utils::ReadRegString(L"InstallPath", type, read));
  EXPECT_EQ(L"/opt/v", read);
}
#endif

}  // namespace
