#include "app/installer_settings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "utils/path.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

class Settings : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("vantelo_settings_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::wstring Exe() const { return (dir_ / "VanteloInstaller.exe").wstring(); }
  void Config(const std::string& text) { std::ofstream(dir_ / "KavrinInstallerConfig.ini", std::ios::binary) << text; }
  fs::path dir_;
};

TEST_F(Settings, NoConfigurationFile) {
  InstallerSettings s(Exe());
  EXPECT_EQ(L"VanteloInstaller.exe", s.ExeName);
  EXPECT_FALSE(s.IsCheckNet);
  EXPECT_TRUE(s.IsEnableAppSensors);
  EXPECT_EQ(1, s.DownloadType);
  EXPECT_DOUBLE_EQ(0.7, s.DownloadScale);
  EXPECT_EQ(L".downloader", s.DlAppNameSuffix);
  EXPECT_EQ(kDefaultDownloadUrl, s.DownloadUrl);
  EXPECT_NE(std::wstring::npos, s.DownloadUrl.find(L"/software/222"));
  EXPECT_EQ(L"VanteloPDFconverter", s.AppName);
  EXPECT_EQ(L"1.7.9", s.AppVersion);
  EXPECT_EQ(L"IN", s.AbGroup);
  EXPECT_TRUE(s.CurlReady);
}

TEST_F(Settings, EmptySectionTurnsTheNetworkCheckOn) {
  Config("[Install]\r\n");
  InstallerSettings s(Exe());
  EXPECT_TRUE(s.IsCheckNet);
  EXPECT_TRUE(s.IsEnableAppSensors);
  EXPECT_EQ(1, s.DownloadType);
  EXPECT_DOUBLE_EQ(0.7, s.DownloadScale);
  EXPECT_EQ(kDefaultDownloadUrl, s.DownloadUrl);
}

TEST_F(Settings, EveryKeyOfTheFile) {
  Config("[Install]\r\nDownloadUrl=http://127.0.0.1:8080/${ROUTE}/x/${ROUTE}\r\nDownloadType=3\r\n"
         "IsCheckNet=TRUE\r\nIsEnableAppSensors=false\r\nDlAppNameSuffix=.dl\r\nm_DlAppVersion=2.0\r\n"
         "DownloadScale=0.5abc\r\nInstCmd=/a /b\r\n");
  InstallerSettings s(Exe());
  EXPECT_EQ(L"http://127.0.0.1:8080/download_silent/x/download_silent", s.DownloadUrl);
  EXPECT_EQ(3, s.DownloadType);
  EXPECT_FALSE(s.IsCheckNet);
  EXPECT_FALSE(s.IsEnableAppSensors);
  EXPECT_EQ(L".dl", s.DlAppNameSuffix);
  EXPECT_EQ(L"2.0", s.DlAppVersion);
  EXPECT_DOUBLE_EQ(0.5, s.DownloadScale);
  EXPECT_EQ(L"/a /b", s.InstCmd);
}

TEST_F(Settings, BadScalesNeverReachTheRecord) {
  struct Case {
    const char* value;
    double expected;
  } cases[] = {{"letters", 0.0}, {"1e999", 0.0}, {"nan", 0.0}, {"-0.5", 0.0}, {"7", 1.0}, {"0.25", 0.25}};
  for (const auto& c : cases) {
    Config(std::string("[Install]\nDownloadScale=") + c.value + "\n");
    InstallerSettings s(Exe());
    EXPECT_DOUBLE_EQ(c.expected, s.DownloadScale) << c.value;
  }
  InstallerSettings s(Exe());
  for (const auto& c : cases) {
    s.ApplyCommandLine(std::wstring(L"p.exe -downloadscale=") + std::wstring(c.value, c.value + std::strlen(c.value)));
    EXPECT_TRUE(std::isfinite(s.DownloadScale));
    EXPECT_DOUBLE_EQ(c.expected, s.DownloadScale) << c.value;
  }
}

TEST_F(Settings, GarbageFileKeepsDefaults) {
  std::ofstream(dir_ / "KavrinInstallerConfig.ini", std::ios::binary)
      << "\x01\xFF\x00garbage\n[Install\n=\n[Install]\nDownloadType=\nDownloadUrl="s + std::string(5000, 'u') + "\n";
  InstallerSettings s(Exe());
  EXPECT_EQ(1, s.DownloadType);
  EXPECT_LE(s.DownloadUrl.size(), 259u);
}

TEST_F(Settings, CommandLineOverrides) {
  Config("[Install]\nDownloadType=2\nIsCheckNet=true\n");
  InstallerSettings s(Exe());
  s.ApplyCommandLine(L"p.exe -downloadtype=3 \"-instcmd=/a /b\" -ischecknet -DownloadUrl=http://ignored");
  EXPECT_EQ(3, s.DownloadType);
  EXPECT_EQ(L"/a /b", s.InstCmd);
  EXPECT_FALSE(s.IsCheckNet);
  EXPECT_EQ(kDefaultDownloadUrl, s.DownloadUrl);

  s.ApplyCommandLine(L"p.exe -downloadtype=2 -downloadtype=3 -isenableappsensors=True -downloadurl");
  EXPECT_EQ(2, s.DownloadType);
  EXPECT_FALSE(s.IsEnableAppSensors);
  EXPECT_EQ(L"", s.DownloadUrl);

  s.ApplyCommandLine(L"p.exe -downloadtype=abc -dlappnamesuffix=.x -dlappversion=9 -downloadscale=0.3");
  EXPECT_EQ(0, s.DownloadType);
  EXPECT_EQ(L".x", s.DlAppNameSuffix);
  EXPECT_EQ(L"9", s.DlAppVersion);
  EXPECT_DOUBLE_EQ(0.3, s.DownloadScale);

  s.ApplyCommandLine(L"p.exe -downloadtype=99999999999");
  EXPECT_EQ(0, s.DownloadType);
}

TEST(ExpandRoute, ByVersionName) {
  EXPECT_EQ(L"h/download_silent_xp/a", InstallerSettings::ExpandRoute(L"h/${ROUTE}/a", L"XP"));
  EXPECT_EQ(L"h/download_silent_xp/a", InstallerSettings::ExpandRoute(L"h/${ROUTE}/a", L"XP-"));
  EXPECT_EQ(L"h/download_silent_xp/a", InstallerSettings::ExpandRoute(L"h/${ROUTE}/a", L"XP+"));
  EXPECT_EQ(L"h/download_silent/a/download_silent", InstallerSettings::ExpandRoute(L"h/${ROUTE}/a/${ROUTE}", L"10"));
  EXPECT_EQ(L"h/plain", InstallerSettings::ExpandRoute(L"h/plain", L"XP"));
}

}  // namespace
