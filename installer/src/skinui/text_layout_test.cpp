#include "skinui/text_layout.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "skinui/painter.h"

namespace skinui {
namespace {

// Bounding box of the pixels that differ from |background|.
Rect InkBox(const Bitmap& b, uint32_t background) {
  Rect box{b.width(), b.height(), 0, 0};
  for (int y = 0; y < b.height(); ++y)
    for (int x = 0; x < b.width(); ++x)
      if (b.at(x, y) != background) {
        box.left = std::min(box.left, x);
        box.top = std::min(box.top, y);
        box.right = std::max(box.right, x + 1);
        box.bottom = std::max(box.bottom, y + 1);
      }
  return box;
}

// Under Wine, GDI finds CJK fallback fonts only with a Chinese locale.
bool WineWithoutChineseFonts(TextService& ts, const FontSpec& font) {
  return std::getenv("WINEPREFIX") != nullptr && ts.MeasureWidth(font, L"安装") < font.size * 3 / 2;
}

TEST(TextTest, ChineseAndLatinBothHaveGlyphs) {
  TextService& ts = TextService::Instance();
  FontSpec font;
  font.size = 14;
  if (WineWithoutChineseFonts(ts, font)) GTEST_SKIP() << "Wine without a zh_CN locale has no CJK font";
  for (wchar_t c : std::wstring(L"立即安装Ab1%")) EXPECT_TRUE(ts.HasGlyph(font, c)) << int(c);
  int chinese = ts.MeasureWidth(font, L"安装");
  EXPECT_GE(chinese, 24) << "two CJK characters at 14 px";
  EXPECT_LE(chinese, 32);
  EXPECT_LT(ts.MeasureWidth(font, L"i"), ts.MeasureWidth(font, L"WW"));
  FontSpec big = font;
  big.size = 40;
  EXPECT_GT(ts.MeasureWidth(big, L"安装"), 2 * chinese);
}

TEST(TextTest, AlignmentPlacesInk) {
  FontSpec font;
  font.size = 16;
  struct Case { unsigned flags; const char* what; } cases[] = {
      {kTextLeft | kTextTop, "left top"},
      {kTextCenter | kTextVCenter, "centre"},
      {kTextRight | kTextBottom, "right bottom"},
  };
  for (const Case& c : cases) {
    Bitmap fb(200, 60, 0xFFFFFFFF);
    Painter p(fb);
    DrawTextInRect(p, TextService::Instance(), font, L"正在安装", Rect{0, 0, 200, 60}, 0xFF000000,
                   c.flags | kTextSingleLine);
    Rect ink = InkBox(fb, 0xFFFFFFFF);
    ASSERT_FALSE(ink.empty()) << c.what;
    if (c.flags & kTextCenter) {
      EXPECT_NEAR(ink.left + ink.width() / 2, 100, 4) << c.what;
      EXPECT_NEAR(ink.top + ink.height() / 2, 30, 5) << c.what;
    } else if (c.flags & kTextRight) {
      EXPECT_GE(ink.right, 196) << c.what;
      EXPECT_GE(ink.bottom, 54) << c.what;
    } else {
      EXPECT_LE(ink.left, 3) << c.what;
      EXPECT_LE(ink.top, 6) << c.what;
    }
  }
}

TEST(TextTest, MissingFacesAndAbsurdSizesStillDrawOrDrawNothing) {
  struct Case { const wchar_t* face; int size; bool ink; } cases[] = {
      {L"NoSuchFaceAnywhere", 14, true},  // falls back to an installed font
      {L"", 14, true},
      {L"微软雅黑", 0, false},             // clamped to 1 px: nothing legible, no crash
      {L"微软雅黑", -7, false},
      {L"微软雅黑", 100000, true},         // clamped
  };
  for (const Case& c : cases) {
    FontSpec font;
    font.face = c.face;
    font.size = c.size;
    Bitmap fb(300, 60, 0xFFFFFFFF);
    Painter p(fb);
    DrawTextInRect(p, TextService::Instance(), font, std::wstring(2000, L'安'), fb.bounds(),
                   0xFF000000, kTextSingleLine | kTextVCenter);
    if (c.ink) {
      EXPECT_FALSE(InkBox(fb, 0xFFFFFFFF).empty()) << c.size;
    }
  }
}

TEST(TextTest, WrapBreaksChineseAnywhereAndLatinAtSpaces) {
  TextService& ts = TextService::Instance();
  FontSpec font;
  font.size = 16;
  if (WineWithoutChineseFonts(ts, font)) GTEST_SKIP() << "Wine without a zh_CN locale has no CJK font";
  int one = ts.MeasureWidth(font, L"当");
  auto lines = WrapText(ts, font, L"当前网络环境较差", one * 3 + 1);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], L"当前网");
  EXPECT_EQ(lines[2], L"较差");
  auto latin = WrapText(ts, font, L"hello world again", ts.MeasureWidth(font, L"hello world") + 1);
  ASSERT_EQ(latin.size(), 2u);
  EXPECT_EQ(latin[0], L"hello world");
  EXPECT_EQ(latin[1], L"again");
  EXPECT_EQ(WrapText(ts, font, L"a\nb", 500).size(), 2u);
}

}  // namespace
}  // namespace skinui
