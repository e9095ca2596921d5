#include "skin/skin_shadow.h"

#include <gtest/gtest.h>

#include "skinui/painter.h"

namespace {

using skinui::RoundRectSpans;

uint32_t MaxAlpha(const skinui::Bitmap& b) {
  uint32_t a = 0;
  for (int y = 0; y < b.height(); ++y)
    for (int x = 0; x < b.width(); ++x) a = std::max(a, b.at(x, y) >> 24);
  return a;
}

TEST(ShadowTest, MainWindowShadowGeometryAndColour) {
  ShadowParams p;
  p.size = 6;
  p.sharpness = 10;
  p.darkness = 20;
  p.x_offset = 1;
  p.y_offset = 1;
  p.color = 0x26003B76;
  skinui::Bitmap b = MakeShadowBitmap(RoundRectSpans(601, 401, 2, 2), 600, 400, p);
  ASSERT_EQ(b.width(), 612);
  ASSERT_EQ(b.height(), 412);
  // The darkest band (alpha 20) lies under the window after the erosion;
  // what shows is its fading edge, never darker than the darkness.
  const uint32_t darkest = MaxAlpha(b);
  EXPECT_GT(darkest, 0u);
  EXPECT_LE(darkest, 20u);
  // Every pixel is the colour premultiplied by its alpha, red taken from the
  // lowest byte of the colour (0x76), green 0x3B, blue 0x00.
  for (int y = 0; y < b.height(); ++y)
    for (int x = 0; x < b.width(); ++x) {
      const uint32_t p = b.at(x, y), a = p >> 24;
      ASSERT_EQ(p, (a << 24) | ((0x76u * a / 255) << 16) | ((0x3Bu * a / 255) << 8)) << x << "," << y;
    }
  // The window itself covers the middle: it is cut out.
  EXPECT_EQ(b.at(306, 206), 0u);
  // Far corners stay clear, edges fade out.
  EXPECT_EQ(b.at(0, 0), 0u);
  EXPECT_LT(b.at(611, 206) >> 24, 20u);
  EXPECT_GT(b.at(609, 206) >> 24, 0u) << "the shadow reaches beyond the right edge";
}

TEST(ShadowTest, UncoveredRowsTakeTheFullDarkness) {
  // Shifted far enough, rows of the shadow leave the window and are filled
  // with the centre colour at the full darkness.
  ShadowParams p;
  p.size = 6;
  p.sharpness = 10;
  p.darkness = 20;
  p.x_offset = 20;
  p.y_offset = 20;
  p.color = 0x26003B76;
  skinui::Bitmap b = MakeShadowBitmap(RoundRectSpans(101, 81, 2, 2), 100, 80, p);
  EXPECT_EQ(MaxAlpha(b), 20u);
  EXPECT_EQ(b.at(50, 70), (20u << 24) | ((0x76u * 20 / 255) << 16) | ((0x3Bu * 20 / 255) << 8));
}

TEST(ShadowTest, NoRegionNoShadowAndExtremeValuesStayInside) {
  ShadowParams p;
  EXPECT_EQ(MaxAlpha(MakeShadowBitmap({}, 100, 50, p)), 0u);
  // Every combination at the edges of the ranges stays inside the bitmap
  // (a sanitizer build would catch a stray write).
  for (int size : {-20, 0, 20})
    for (int sharpness : {0, 20})
      for (int offset : {-20, 20}) {
        p.size = static_cast<int8_t>(size);
        p.sharpness = static_cast<uint8_t>(sharpness);
        p.x_offset = p.y_offset = static_cast<int8_t>(offset);
        p.darkness = 255;
        skinui::Bitmap b = MakeShadowBitmap(RoundRectSpans(60, 45, 4, 4), 60, 45, p);
        EXPECT_EQ(b.width(), std::max(0, 60 + 2 * size)) << size << "/" << sharpness << "/" << offset;
      }
}

TEST(ShadowTest, SettersRefuseOutOfRangeValues) {
  CSkinShadow s;
  EXPECT_FALSE(s.SetSharpness(25));
  EXPECT_EQ(s.params().sharpness, 5) << "the default stays";
  EXPECT_FALSE(s.SetSize(-21));
  EXPECT_EQ(s.params().size, 0);
  EXPECT_FALSE(s.SetDarkness(300));
  EXPECT_EQ(s.params().darkness, 150);
  EXPECT_FALSE(s.SetPosition(1, 21));
  EXPECT_EQ(s.params().x_offset, 5);
  EXPECT_TRUE(s.SetSize(-20));
  EXPECT_TRUE(s.SetSharpness(20));
  EXPECT_TRUE(s.SetDarkness(0));
  EXPECT_TRUE(s.SetColor(0xFFEDF0F4));
  EXPECT_EQ(s.params().color, 0xFFEDF0F4u);
}

}  // namespace
