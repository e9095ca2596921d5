#include "skin/skin_archive.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "utils/path.h"
#include "utils/text.h"

namespace {

std::string FixtureArchivePath() {
  const char* bin = std::getenv("VANTELO_BINARY_DIR");
  return std::string(bin ? bin : ".") + "/installer/src/skin/testdata/fixture.7z";
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

class SkinArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bytes_ = ReadAll(FixtureArchivePath());
    ASSERT_GT(bytes_.size(), 32u) << FixtureArchivePath();
    ASSERT_TRUE(archive_.Open(bytes_.data(), bytes_.size()));
  }
  std::vector<uint8_t> bytes_;
  SkinArchive archive_;
};

TEST_F(SkinArchiveTest, ListsFilesOnlyWithTheirContent) {
  // Six files and three folders in the fixture; folders are not listed.
  ASSERT_EQ(archive_.entries().size(), 6u);
  for (const SkinArchiveEntry& e : archive_.entries()) {
    EXPECT_EQ(e.path.find(L'\\'), std::wstring::npos) << Utils::WideToUtf8(e.path);
    EXPECT_EQ(e.path_length, e.path.size() + 1);
    EXPECT_EQ(e.content.size(), e.size) << Utils::WideToUtf8(e.path);
  }
  const SkinArchiveEntry* png = archive_.Find(L"res/MessageBoxWnd/yesBtn1.png");
  ASSERT_NE(png, nullptr);
  EXPECT_EQ(png->content[1], 'P');
  EXPECT_EQ(png->content[2], 'N');
}

TEST_F(SkinArchiveTest, LookupIgnoresCaseAndSeparator) {
  const SkinArchiveEntry* wanted = archive_.Find(L"res/MessageBoxWnd/yesBtn1.png");
  struct Case { const wchar_t* path; bool same; } cases[] = {
      {L"res\\MessageBoxWnd\\yesBtn1.png", true},
      {L"RES/messageboxwnd/YESBTN1.PNG", true},
      {L"res\\MessageBoxWnd/yesBtn1.png", true},
      {L"res/MessageBoxWnd/yesBtn1.pn", false},
      {L"res/MessageBoxWnd", false},  // a folder is no entry
      {L"/res/MessageBoxWnd/yesBtn1.png", false},
  };
  for (const Case& c : cases) {
    const SkinArchiveEntry* found = archive_.Find(c.path);
    EXPECT_EQ(found == wanted, c.same) << Utils::WideToUtf8(c.path);
    if (!c.same) {
      EXPECT_EQ(found, nullptr) << Utils::WideToUtf8(c.path);
    }
  }
  EXPECT_NE(archive_.Find(L"ExitTipWnd.xml"), nullptr) << "stored as exitTipWnd.xml";
}

TEST_F(SkinArchiveTest, DamagedArchivesNeverCrash) {
  SkinArchive a;
  EXPECT_FALSE(a.Open(nullptr, 0));
  const uint8_t garbage[] = "this is not a 7z archive at all";
  EXPECT_FALSE(a.Open(garbage, sizeof garbage));
  EXPECT_TRUE(a.entries().empty());

  // Truncated: the database sits at the end, so nothing can be listed.
  std::vector<uint8_t> cut(bytes_.begin(), bytes_.begin() + bytes_.size() / 2);
  EXPECT_FALSE(a.Open(cut.data(), cut.size()));

  // Broken packed data: whatever was extracted before the damage is kept.
  std::vector<uint8_t> broken = bytes_;
  for (size_t i = 40; i < broken.size() / 2; ++i) broken[i] ^= 0x5A;
  a.Open(broken.data(), broken.size());
  EXPECT_LT(a.entries().size(), 6u);
}

TEST(SkinPackageTest, LoadRefusalsAndDiskFallback) {
  std::vector<uint8_t> bytes;
  std::wstring error;
  EXPECT_FALSE(SkinPackage::LoadSkinFile(L"exitTipWnd.xml", bytes, error));
  EXPECT_EQ(error, L"Error opening zip file");

  std::vector<uint8_t> archive = ReadAll(FixtureArchivePath());
  ASSERT_TRUE(SkinPackage::OpenFromMemory(archive.data(), archive.size()));
  struct Case { const wchar_t* name; const wchar_t* error; } cases[] = {
      {L"ExitTipWnd.xml", L""},
      {L"missing.xml", L"Could not find ziped file"},
      {L"empty.xml", L"File is empty"},
  };
  for (const Case& c : cases) {
    bool ok = SkinPackage::LoadSkinFile(c.name, bytes, error);
    EXPECT_EQ(ok, *c.error == 0) << Utils::WideToUtf8(c.name);
    EXPECT_EQ(error, c.error) << Utils::WideToUtf8(c.name);
  }
  EXPECT_EQ(SkinPackage::LastError(), L"File is empty");

  // Images come from the package first, then from the disk.
  EXPECT_TRUE(SkinPackage::ReadSkinFile(L"res\\mainWnd\\BG1.png", bytes));
  const std::string disk = ::testing::TempDir() + "skin_disk_image.png";
  { std::ofstream(disk, std::ios::binary) << "PNGDATA"; }
  ASSERT_TRUE(SkinPackage::ReadSkinFile(Utils::Utf8ToWide(disk), bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "PNGDATA");
  EXPECT_FALSE(SkinPackage::ReadSkinFile(L"res/nowhere.png", bytes));
  std::remove(disk.c_str());
}

TEST(SkinPackageTest, SkinOverFourMegabytesIsRefused) {
  // Needs the archiver at test time to build the oversized package.
  if (std::system("7zz i >/dev/null 2>&1") != 0) GTEST_SKIP() << "7zz not available";
  const std::string dir = ::testing::TempDir() + "skin_big_pkg";
  std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str());
  {
    std::ofstream big(dir + "/big.xml", std::ios::binary);
    big << std::string(SkinPackage::kMaxSkinFileSize + 1, ' ');
    std::ofstream edge(dir + "/edge.xml", std::ios::binary);
    edge << "<Window>" << std::string(SkinPackage::kMaxSkinFileSize - 17, ' ') << "</Window>";
  }
  // A last entry of 17 MiB (zeros, so the package stays small) is beyond
  // what a skin package may hold: reading stops before it.
  ASSERT_EQ(std::system(("cd '" + dir + "' && truncate -s 17M zz_huge.xml && "
                         "7zz a -t7z -bso0 -bsp0 p.7z big.xml edge.xml zz_huge.xml").c_str()), 0);
  std::vector<uint8_t> archive = ReadAll(dir + "/p.7z");
  ASSERT_TRUE(SkinPackage::OpenFromMemory(archive.data(), archive.size()));
  std::vector<uint8_t> bytes;
  std::wstring error;
  EXPECT_FALSE(SkinPackage::LoadSkinFile(L"big.xml", bytes, error));
  EXPECT_EQ(error, L"File too large");
  EXPECT_TRUE(SkinPackage::LoadSkinFile(L"edge.xml", bytes, error)) << "exactly 4 MiB is allowed";
  EXPECT_EQ(bytes.size(), SkinPackage::kMaxSkinFileSize);
  EXPECT_FALSE(SkinPackage::LoadSkinFile(L"zz_huge.xml", bytes, error));
  EXPECT_EQ(SkinPackage::Get()->entries().size(), 2u);
  std::system(("rm -rf '" + dir + "'").c_str());
}

}  // namespace
