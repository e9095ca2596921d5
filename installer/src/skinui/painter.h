// Software painter over a Bitmap. Keeps a stack of clip rectangles (device
// coordinates); every operation is clipped to the top of the stack.
#pragma once

#include <cstdint>
#include <vector>

#include "skinui/bitmap.h"
#include "skinui/geometry.h"

namespace skinui {

// How an image is laid into its destination rectangle.
struct ImageDrawParams {
  Rect source;         // part of the image; all zero = whole image
  Rect corner;         // nine-patch margins (left, top, right, bottom)
  uint8_t fade = 255;  // constant opacity
  bool hole = false;   // skip the middle of the nine-patch
  bool xtiled = false; // tile the stretched columns instead of stretching
  bool ytiled = false; // tile the stretched rows
};

class Painter {
 public:
  explicit Painter(Bitmap& target);

  Bitmap& target() { return target_; }
  const Rect& clip() const { return clips_.back(); }
  // Narrows the clip to its intersection with |rect|; PopClip restores it.
  void PushClip(const Rect& rect);
  void PopClip();

  // |argb| is a straight colour; alpha 0 draws nothing.
  void FillRect(const Rect& rect, uint32_t argb);
  // Rounded rectangle with corner ellipses of cx by cy pixels (as a rounded
  // window region of that size would be), edges anti-aliased.
  void FillRoundRect(const Rect& rect, int cx, int cy, uint32_t argb);
  // A frame |width| pixels wide inside |rect|.
  void DrawBorder(const Rect& rect, int width, uint32_t argb);
  void DrawImage(const Bitmap& image, const Rect& dest, const ImageDrawParams& params);
  // Blends |argb| with per-pixel coverage 0..255 (text glyphs). The mask has
  // |mask_width| by |mask_height| bytes and is placed at (x, y).
  void BlendCoverage(const uint8_t* mask, int mask_width, int mask_height, int pitch, int x,
                     int y, uint32_t argb);
  void BlendPixel(int x, int y, uint32_t premultiplied);

 private:
  void StretchPart(const Bitmap& image, const Rect& src, const Rect& dst, uint8_t fade,
                   bool xtiled, bool ytiled);

  Bitmap& target_;
  std::vector<Rect> clips_;
};

// Saves the clip depth and restores it when it goes out of scope.
class PainterClipSaver {
 public:
  PainterClipSaver(Painter& painter, const Rect& clip) : painter_(painter) {
    painter_.PushClip(clip);
  }
  ~PainterClipSaver() { painter_.PopClip(); }
  PainterClipSaver(const PainterClipSaver&) = delete;
  PainterClipSaver& operator=(const PainterClipSaver&) = delete;

 private:
  Painter& painter_;
};

// A window region as one span per row: the columns [start, end) of row y are
// inside. Built for the rounded rectangle a borderless window is cut to.
struct RowSpan {
  int start = 0;
  int end = 0;
};
// The region of a rounded rectangle covering (0,0)..(width,height) with
// corner ellipses cx by cy; cx or cy of 0 gives the full rectangle.
std::vector<RowSpan> RoundRectSpans(int width, int height, int cx, int cy);

}  // namespace skinui
