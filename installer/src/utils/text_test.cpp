#include "utils/text.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(Text, Utf8RoundTrip) {
  const std::wstring samples[] = {L"", L"plain", L"VanteloPDF转换器", L"\U0001F600 emoji", L"a\u00e9b"};
  for (const auto& s : samples) {
    EXPECT_EQ(s, Utils::ToWide(Utils::ToMultiByte(s, Utils::kCodePageUtf8), Utils::kCodePageUtf8));
    EXPECT_EQ(s, Utils::Utf8ToWide(Utils::WideToUtf8(s)));
  }
  EXPECT_EQ("\xE8\xBD\xAC", Utils::ToMultiByte(L"转", Utils::kCodePageUtf8));
}

TEST(Text, InvalidUtf8BecomesReplacementCharacters) {
  EXPECT_EQ(L"a\uFFFDb", Utils::ToWide("a\xFF" "b", Utils::kCodePageUtf8));
  EXPECT_EQ(L"\uFFFD", Utils::Utf8ToWide("\xE8\xBD"));            // cut sequence
  EXPECT_EQ(L"\uFFFD\uFFFD", Utils::Utf8ToWide("\xC0\xAF"));       // overlong
  EXPECT_EQ(L"ab", Utils::ToWide(std::string("ab\0cd", 5), Utils::kCodePageUtf8));
}

TEST(Text, Gbk) {
  const std::string gbk = "\xC4\xE3\xBA\xC3";  // 你好
  EXPECT_EQ(L"你好", Utils::ToWide(gbk, Utils::kCodePageGbk));
  EXPECT_EQ(gbk, Utils::ToMultiByte(L"你好", Utils::kCodePageGbk));
}

TEST(Text, UrlEscape) {
  struct Case {
    std::wstring in, out;
  } cases[] = {
      {L"http://h/a?b=%41", L"http://h/a?b=%41"},
      {L"a b", L"a+b"},
      {L"\u00e4", L"%C3%A4"},
      {L"tab\there", L"tab%09here"},
      {L"转", L"%E8%BD%AC"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.out, Utils::UrlEscape(c.in)) << c.in;
}

TEST(Text, UrlMd5) {
  struct Case {
    const char* url;
    const char* digest;
  } cases[] = {
      {"nothing", ""},
      {"x/y", ""},
      {"x/0123/y", "0123"},
      {"http://h/0123456789abcdef0123456789abcdef/VanteloPDFconverter_setup.exe",
       "0123456789abcdef0123456789abcdef"},
      {"http://h/a//f", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.digest, Utils::UrlMd5(c.url)) << c.url;
}

TEST(Text, NumberPrefixes) {
  EXPECT_EQ(3, Utils::ParseLong(L"  +3abc").value_or(-99));
  EXPECT_EQ(-12, Utils::ParseLong(L"-12").value_or(-99));
  EXPECT_FALSE(Utils::ParseLong(L"abc"));
  EXPECT_FALSE(Utils::ParseLong(L""));
  EXPECT_FALSE(Utils::ParseLong(L"99999999999"));  // beyond 32 bits
  EXPECT_DOUBLE_EQ(0.5, Utils::ParseDouble(L"0.5abc").value_or(-1));
  EXPECT_DOUBLE_EQ(0.25, Utils::ParseDouble(L" .25").value_or(-1));
  EXPECT_DOUBLE_EQ(1500, Utils::ParseDouble(L"1.5e3x").value_or(-1));
  EXPECT_DOUBLE_EQ(2, Utils::ParseDouble(L"2e").value_or(-1));
  EXPECT_FALSE(Utils::ParseDouble(L"letters"));
  EXPECT_FALSE(Utils::ParseDouble(L"nan"));
  EXPECT_FALSE(Utils::ParseDouble(L"inf"));
  EXPECT_FALSE(Utils::ParseDouble(L"1e999"));
  EXPECT_FALSE(Utils::ParseDouble(L"."));
}

TEST(Text, ReplaceAllAndCase) {
  EXPECT_EQ(L"a/x/b/x", Utils::ReplaceAll(L"a/${R}/b/${R}", L"${R}", L"x"));
  EXPECT_EQ(L"aa-aa-", Utils::ReplaceAll(L"a-a-", L"a", L"aa"));  // must terminate
  EXPECT_TRUE(Utils::EqualsIgnoreCase(L"Install", L"iNSTALL"));
  EXPECT_FALSE(Utils::EqualsIgnoreCase(L"Install", L"Instal"));
}

}  // namespace
