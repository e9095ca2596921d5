#include "skinui/painter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "skinui/bitmap.h"

namespace skinui {
namespace {

constexpr uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF,
                   kWhite = 0xFFFFFFFF;

// A 3x3 source whose pixels are all different, so every sample is traceable.
Bitmap NinePixels() {
  Bitmap b(3, 3);
  const uint32_t colours[9] = {kRed, kGreen, kBlue, 0xFF111111, 0xFF222222,
                               0xFF333333, 0xFF444444, 0xFF555555, 0xFF666666};
  for (int i = 0; i < 9; ++i) b.set(i % 3, i / 3, colours[i]);
  return b;
}

TEST(PainterTest, FillBlendsPremultipliedAndRespectsClip) {
  Bitmap fb(4, 4, kWhite);
  Painter p(fb);
  p.PushClip(Rect{1, 1, 3, 3});
  p.FillRect(Rect{0, 0, 4, 4}, 0x80000000);  // half-transparent black
  p.PopClip();
  EXPECT_EQ(fb.at(0, 0), kWhite) << "outside the clip";
  // White under 50% black: 255 * 127 / 255 = 127 per channel, alpha stays 255.
  EXPECT_EQ(fb.at(1, 1), 0xFF7F7F7Fu);
  EXPECT_EQ(fb.at(3, 3), kWhite);

  Bitmap clear(1, 1, 0);
  Painter q(clear);
  q.FillRect(Rect{0, 0, 1, 1}, 0x80FF0000);
  EXPECT_EQ(clear.at(0, 0), 0x80800000u) << "red premultiplied by alpha 0x80";
}

TEST(PainterTest, NinePatchKeepsCornersAndStretchesMiddle) {
  Bitmap src = NinePixels();
  Bitmap fb(7, 5, 0);
  Painter p(fb);
  ImageDrawParams params;
  params.corner = Rect{1, 1, 1, 1};
  p.DrawImage(src, Rect{0, 0, 7, 5}, params);
  struct Case { int x, y; uint32_t want; } cases[] = {
      {0, 0, kRed},         {6, 0, kBlue},        {0, 4, 0xFF444444}, {6, 4, 0xFF666666},
      {3, 0, kGreen},       {1, 0, kGreen},       {5, 0, kGreen},     {0, 2, 0xFF111111},
      {3, 2, 0xFF222222},   {5, 3, 0xFF222222},   {6, 2, 0xFF333333}, {3, 4, 0xFF555555},
  };
  for (const Case& c : cases) EXPECT_EQ(fb.at(c.x, c.y), c.want) << c.x << "," << c.y;

  Bitmap holed(7, 5, 0);
  Painter h(holed);
  params.hole = true;
  h.DrawImage(src, Rect{0, 0, 7, 5}, params);
  EXPECT_EQ(holed.at(3, 2), 0u) << "the hole leaves the middle untouched";
  EXPECT_EQ(holed.at(0, 2), 0xFF111111u);
}

TEST(PainterTest, TilingRepeatsInsteadOfStretching) {
  Bitmap src(2, 1);
  src.set(0, 0, kRed);
  src.set(1, 0, kBlue);
  Bitmap fb(6, 1, 0);
  Painter p(fb);
  ImageDrawParams params;
  params.xtiled = true;
  p.DrawImage(src, Rect{0, 0, 6, 1}, params);
  for (int x = 0; x < 6; ++x) EXPECT_EQ(fb.at(x, 0), x % 2 ? kBlue : kRed) << x;

  Bitmap stretched(6, 1, 0);
  Painter s(stretched);
  s.DrawImage(src, Rect{0, 0, 6, 1}, ImageDrawParams{});
  for (int x = 0; x < 6; ++x) EXPECT_EQ(stretched.at(x, 0), x < 3 ? kRed : kBlue) << x;
}

TEST(PainterTest, SourceRectAndFade) {
  Bitmap src = NinePixels();
  Bitmap fb(2, 2, 0);
  Painter p(fb);
  ImageDrawParams params;
  params.source = Rect{1, 1, 9, 9};  // clamped to the image: 2x2 from (1,1)
  params.fade = 128;
  p.DrawImage(src, Rect{0, 0, 2, 2}, params);
  EXPECT_EQ(fb.at(0, 0), ScalePixel(0xFF222222, 128));
  EXPECT_EQ(fb.at(1, 1), ScalePixel(0xFF666666, 128));
  EXPECT_EQ(fb.at(0, 0) >> 24, 128u);
}

TEST(PainterTest, RoundRectLeavesCornersOpenAndMiddleFull) {
  Bitmap fb(20, 10, 0);
  Painter p(fb);
  p.FillRoundRect(Rect{0, 0, 20, 10}, 8, 8, kRed);
  EXPECT_EQ(fb.at(0, 0), 0u);
  EXPECT_EQ(fb.at(19, 9), 0u);
  EXPECT_EQ(fb.at(10, 0), kRed);
  EXPECT_EQ(fb.at(0, 5), kRed);
  uint32_t edge = fb.at(1, 1) >> 24;
  EXPECT_GT(edge, 0u);
  EXPECT_LT(edge, 255u) << "corner pixels are anti-aliased";

  std::vector<RowSpan> spans = RoundRectSpans(20, 10, 8, 8);
  ASSERT_EQ(spans.size(), 10u);
  EXPECT_GT(spans[0].start, 0);
  EXPECT_EQ(spans[0].end, 20 - spans[0].start) << "symmetric";
  EXPECT_EQ(spans[5].start, 0);
  EXPECT_EQ(spans[5].end, 20);
  EXPECT_EQ(RoundRectSpans(5, 2, 0, 0)[1].end, 5);
}

TEST(BitmapTest, PngRoundTripKeepsPixelsAndMaskKeysColour) {
  Bitmap b(3, 2, 0);
  b.set(0, 0, kRed);
  b.set(1, 0, 0x80008000);  // premultiplied half green
  b.set(2, 1, 0xFFFF00FF);
  std::vector<uint8_t> png = EncodePng(b);
  auto back = DecodeImage(png.data(), png.size());
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(back->width(), 3);
  EXPECT_EQ(back->at(0, 0), kRed);
  EXPECT_EQ(back->at(1, 0), 0x80008000u);
  EXPECT_EQ(back->at(0, 1), 0u);

  auto keyed = DecodeImage(png.data(), png.size(), 0xFF00FF);
  ASSERT_NE(keyed, nullptr);
  EXPECT_EQ(keyed->at(2, 1), 0u) << "magenta is the colour key";
  EXPECT_EQ(keyed->at(0, 0), kRed);
}

TEST(BitmapTest, RefusesTruncatedAndOversizedImages) {
  Bitmap b(4, 4, kRed);
  std::vector<uint8_t> png = EncodePng(b);
  EXPECT_EQ(DecodeImage(png.data(), png.size() / 2), nullptr) << "truncated";
  EXPECT_EQ(DecodeImage(png.data(), 0), nullptr);
  // A header that claims 30000 pixels of width is refused before decoding.
  Bitmap wide(1, 1, kRed);
  std::vector<uint8_t> forged = EncodePng(wide);
  forged[16] = 0; forged[17] = 0; forged[18] = 0x75; forged[19] = 0x30;  // 30000
  EXPECT_EQ(DecodeImage(forged.data(), forged.size()), nullptr);
}

}  // namespace
}  // namespace skinui
