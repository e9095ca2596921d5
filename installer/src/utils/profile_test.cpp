#include "utils/profile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "utils/text.h"

namespace {

namespace fs = std::filesystem;

class Ini : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = fs::temp_directory_path() / ("vantelo_profile_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".ini");
    fs::remove(path_);
  }
  void TearDown() override { fs::remove(path_); }
  void Write(const std::string& bytes) { std::ofstream(path_, std::ios::binary) << bytes; }
  std::string Read() {
    std::ifstream in(path_, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  std::wstring Get(const std::wstring& section, const std::wstring& key, size_t size = 260) {
    return Utils::GetProfileString(section, key, L"dflt", path_.wstring(), size);
  }
  fs::path path_;
};

// Reading rules, checked against the system's functions under Wine.
TEST_F(Ini, ReadRules) {
  Write("top=outside\r\n"
        "[Install]\r\n"
        "DownloadUrl = http://h/a b  \r\n"
        "Quoted=\"  spaced  \"\r\n"
        "Single='x'\r\n"
        "Half=\"open\r\n"
        "Mixed=\"a'\r\n"
        "Empty=\r\n"
        "NoEquals\r\n"
        "dup=first\r\n"
        "dup=second\r\n"
        "  [ Other ]  \r\n"
        "dup=other\r\n"
        "[install]\r\n"
        "Late=hidden\r\n");
  struct Case {
    std::wstring section, key, expected;
  } cases[] = {
      {L"Install", L"DownloadUrl", L"http://h/a b"},
      {L"INSTALL", L"downloadurl", L"http://h/a b"},
      {L"Install", L"Quoted", L"  spaced  "},
      {L"Install", L"Single", L"x"},
      {L"Install", L"Half", L"\"open"},
      {L"Install", L"Mixed", L"\"a'"},
      {L"Install", L"Empty", L""},
      {L"Install", L"NoEquals", L"dflt"},
      {L"Install", L"dup", L"first"},
      {L"Install", L"Missing", L"dflt"},
      {L"Install", L"Late", L"dflt"},  // only the first section of a name counts
      {L"Other", L"dup", L"other"},
      {L"Nowhere", L"dup", L"dflt"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.expected, Get(c.section, c.key)) << c.section << "/" << c.key;
}

TEST_F(Ini, ValueIsCutToTheBuffer) {
  Write("[s]\nk=" + std::string(300, 'v') + "\n");
  EXPECT_EQ(std::wstring(259, L'v'), Get(L"s", L"k"));
  EXPECT_EQ(L"vvvv", Get(L"s", L"k", 5));
}

TEST_F(Ini, MissingFileGivesDefaults) {
  EXPECT_EQ(L"dflt", Get(L"s", L"k"));
  EXPECT_EQ(L"trimmed", Utils::GetProfileString(L"s", L"k", L"trimmed   ", path_.wstring()));
  EXPECT_EQ(5, Utils::GetProfileInt(L"s", L"k", 5, path_.wstring()));
}

TEST_F(Ini, Integers) {
  Write("[s]\nplain=42\nneg=-7\nspace=  12xyz\nhex=0x1F\nletters=abc\nempty=\nbig=4294967297\n");
  struct Case {
    std::wstring key;
    int expected;
  } cases[] = {{L"plain", 42}, {L"neg", -7}, {L"space", 12}, {L"hex", 31},
               {L"letters", 0}, {L"empty", 9}, {L"missing", 9}, {L"big", 1}};
  for (const auto& c : cases)
    EXPECT_EQ(c.expected, Utils::GetProfileInt(L"s", c.key, 9, path_.wstring())) << c.key;
}

TEST_F(Ini, UnicodeValues) {
  const std::wstring value = L"D:\\软件\\Vantelo";
  if (Utils::ToWide(Utils::ToMultiByte(value, Utils::kCodePageAnsi), Utils::kCodePageAnsi) != value)
    GTEST_SKIP() << "the system writes ini files in the ANSI code page, which cannot hold Chinese here";
  ASSERT_TRUE(Utils::WriteProfileString(L"Install", L"Path", L"D:\\软件\\Vantelo", path_.wstring()));
  EXPECT_EQ(L"D:\\软件\\Vantelo", Get(L"Install", L"Path"));
}

TEST_F(Ini, WriterKeepsEverythingElse) {
  Write("; comment\r\n[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n");
  ASSERT_TRUE(Utils::WriteProfileString(L"a", L"X", L"10", path_.wstring()));
  ASSERT_TRUE(Utils::WriteProfileString(L"A", L"new", L"n", path_.wstring()));
  ASSERT_TRUE(Utils::WriteProfileString(L"C", L"z", L"3", path_.wstring()));
  EXPECT_EQ(L"10", Get(L"A", L"x"));
  EXPECT_EQ(L"n", Get(L"A", L"new"));
  EXPECT_EQ(L"2", Get(L"B", L"y"));
  EXPECT_EQ(L"3", Get(L"C", L"z"));
  const std::string text = Read();
  EXPECT_NE(std::string::npos, text.find("; comment")) << text;
  EXPECT_LT(text.find("new=n"), text.find("[B]")) << text;
}

TEST_F(Ini, WriterCreatesTheFile) {
  ASSERT_TRUE(Utils::WriteProfileString(L"Install", L"UpdateTime", L"2024-03-05", path_.wstring()));
  EXPECT_EQ(L"2024-03-05", Get(L"Install", L"UpdateTime"));
}

#ifndef _WIN32
// What only our own reader and writer promise.
TEST_F(Ini, GarbageAndLineBreaksAreHarmless) {
  Write(std::string("\xEF\xBB\xBF[s]\nbad=\xFF\xFE\nnul=a\0b\nk=v\n\x01\x02 garbage\n", 42));
  EXPECT_EQ(L"v", Get(L"s", L"k"));
  EXPECT_EQ(L"\uFFFD\uFFFD", Get(L"s", L"bad"));
  EXPECT_EQ(L"a", Get(L"s", L"nul"));
  ASSERT_TRUE(Utils::WriteProfileString(L"s", L"k", L"x\r\n[s]\r\nk=evil", path_.wstring()));
  EXPECT_EQ(L"x  [s]  k=evil", Get(L"s", L"k"));
  const std::string text = Read();
  EXPECT_NE(std::string::npos, text.find(std::string("nul=a\0b", 7)));
  EXPECT_EQ(0u, text.find("\xEF\xBB\xBF"));
}

TEST_F(Ini, UnwritableFolderFailsCleanly) {
  EXPECT_FALSE(Utils::WriteProfileString(L"s", L"k", L"v", L"/proc/no-such-dir/file.ini"));
}
#endif

}  // namespace
