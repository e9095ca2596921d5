#include "skinui/painter.h"

#include <cmath>

namespace skinui {

Painter::Painter(Bitmap& target) : target_(target) { clips_.push_back(target.bounds()); }

void Painter::PushClip(const Rect& rect) { clips_.push_back(clips_.back().Intersect(rect)); }

void Painter::PopClip() {
  if (clips_.size() > 1) clips_.pop_back();
}

void Painter::BlendPixel(int x, int y, uint32_t premultiplied) {
  if (!clip().Contains(Point{x, y})) return;
  uint32_t& d = target_.row(y)[x];
  d = BlendOver(d, premultiplied);
}

void Painter::FillRect(const Rect& rect, uint32_t argb) {
  if ((argb >> 24) == 0) return;
  const uint32_t p = Premultiply(argb);
  const Rect r = rect.Intersect(clip());
  for (int y = r.top; y < r.bottom; ++y) {
    uint32_t* row = target_.row(y);
    for (int x = r.left; x < r.right; ++x) row[x] = BlendOver(row[x], p);
  }
}

namespace {

// Coverage (0..16) of the pixel (x, y) by a rounded rectangle of w by h with
// corner radii rx, ry, sampled on a 4x4 grid.
int RoundRectCoverage(int x, int y, int w, int h, double rx, double ry) {
  int hits = 0;
  for (int sy = 0; sy < 4; ++sy) {
    for (int sx = 0; sx < 4; ++sx) {
      double px = x + (sx + 0.5) / 4.0, py = y + (sy + 0.5) / 4.0;
      double cx = px < rx ? rx : (px > w - rx ? w - rx : px);
      double cy = py < ry ? ry : (py > h - ry ? h - ry : py);
      double dx = (px - cx) / rx, dy = (py - cy) / ry;
      if ((px == cx && py == cy) || dx * dx + dy * dy <= 1.0) ++hits;
    }
  }
  return hits;
}

}  // namespace

void Painter::FillRoundRect(const Rect& rect, int cx, int cy, uint32_t argb) {
  if (cx <= 1 || cy <= 1) return FillRect(rect, argb);
  if ((argb >> 24) == 0 || rect.empty()) return;
  const double rx = std::min(cx / 2.0, rect.width() / 2.0);
  const double ry = std::min(cy / 2.0, rect.height() / 2.0);
  const int band_x = static_cast<int>(std::ceil(rx)), band_y = static_cast<int>(std::ceil(ry));
  const uint32_t p = Premultiply(argb);
  const Rect r = rect.Intersect(clip());
  const int w = rect.width(), h = rect.height();
  for (int y = r.top; y < r.bottom; ++y) {
    const int ly = y - rect.top;
    const bool corner_row = ly < band_y || ly >= h - band_y;
    uint32_t* row = target_.row(y);
    for (int x = r.left; x < r.right; ++x) {
      const int lx = x - rect.left;
      if (corner_row && (lx < band_x || lx >= w - band_x)) {
        int c = RoundRectCoverage(lx, ly, w, h, rx, ry);
        if (c == 0) continue;
        row[x] = BlendOver(row[x], ScalePixel(p, c * 255 / 16));
      } else {
        row[x] = BlendOver(row[x], p);
      }
    }
  }
}

void Painter::DrawBorder(const Rect& rect, int width, uint32_t argb) {
  if (width <= 0) return;
  FillRect(Rect{rect.left, rect.top, rect.right, rect.top + width}, argb);
  FillRect(Rect{rect.left, rect.bottom - width, rect.right, rect.bottom}, argb);
  FillRect(Rect{rect.left, rect.top + width, rect.left + width, rect.bottom - width}, argb);
  FillRect(Rect{rect.right - width, rect.top + width, rect.right, rect.bottom - width}, argb);
}

void Painter::StretchPart(const Bitmap& image, const Rect& src, const Rect& dst, uint8_t fade,
                          bool xtiled, bool ytiled) {
  if (src.empty() || dst.empty()) return;
  const Rect r = dst.Intersect(clip());
  if (r.empty()) return;
  const int sw = src.width(), sh = src.height(), dw = dst.width(), dh = dst.height();
  for (int y = r.top; y < r.bottom; ++y) {
    const int oy = y - dst.top;
    // Nearest sample at the pixel centre, or wrap around when tiling.
    const int sy = src.top + (ytiled ? oy % sh : static_cast<int>((2LL * oy + 1) * sh / (2LL * dh)));
    const uint32_t* in = image.row(sy);
    uint32_t* out = target_.row(y);
    for (int x = r.left; x < r.right; ++x) {
      const int ox = x - dst.left;
      const int sx =
          src.left + (xtiled ? ox % sw : static_cast<int>((2LL * ox + 1) * sw / (2LL * dw)));
      uint32_t p = in[sx];
      if (fade != 255) p = ScalePixel(p, fade);
      out[x] = BlendOver(out[x], p);
    }
  }
}

void Painter::DrawImage(const Bitmap& image, const Rect& dest, const ImageDrawParams& params) {
  if (image.empty() || dest.empty() || params.fade == 0) return;
  Rect src = params.source;
  if (src.IsZero()) src = image.bounds();
  src.right = std::min(src.right, image.width());
  src.bottom = std::min(src.bottom, image.height());
  src.left = std::max(src.left, 0);
  src.top = std::max(src.top, 0);
  if (src.empty()) return;

  // Corners larger than the source or the destination would overlap; clamp
  // them so that the bands never cross.
  Rect c = params.corner;
  auto clamp_pair = [](int& a, int& b, int limit) {
    a = std::max(0, a);
    b = std::max(0, b);
    if (a + b > limit) {
      a = limit * a / std::max(1, a + b);
      b = limit - a;
    }
  };
  clamp_pair(c.left, c.right, std::min(src.width(), dest.width()));
  clamp_pair(c.top, c.bottom, std::min(src.height(), dest.height()));

  const int sx[4] = {src.left, src.left + c.left, src.right - c.right, src.right};
  const int sy[4] = {src.top, src.top + c.top, src.bottom - c.bottom, src.bottom};
  const int dx[4] = {dest.left, dest.left + c.left, dest.right - c.right, dest.right};
  const int dy[4] = {dest.top, dest.top + c.top, dest.bottom - c.bottom, dest.bottom};
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) {
      if (params.hole && row == 1 && col == 1) continue;
      // Only the stretched bands tile; the corners always keep their size.
      StretchPart(image, Rect{sx[col], sy[row], sx[col + 1], sy[row + 1]},
                  Rect{dx[col], dy[row], dx[col + 1], dy[row + 1]}, params.fade,
                  params.xtiled && col == 1, params.ytiled && row == 1);
    }
  }
}

void Painter::BlendCoverage(const uint8_t* mask, int mask_width, int mask_height, int pitch,
                            int x, int y, uint32_t argb) {
  const uint32_t p = Premultiply(argb);
  const Rect r = Rect{x, y, x + mask_width, y + mask_height}.Intersect(clip());
  for (int py = r.top; py < r.bottom; ++py) {
    const uint8_t* in = mask + static_cast<size_t>(py - y) * pitch;
    uint32_t* out = target_.row(py);
    for (int px = r.left; px < r.right; ++px) {
      uint8_t cov = in[px - x];
      if (cov == 0) continue;
      out[px] = BlendOver(out[px], ScalePixel(p, cov));
    }
  }
}

std::vector<RowSpan> RoundRectSpans(int width, int height, int cx, int cy) {
  std::vector<RowSpan> spans(std::max(0, height), RowSpan{0, std::max(0, width)});
  if (cx <= 1 || cy <= 1 || width <= 0 || height <= 0) return spans;
  const double rx = std::min(cx / 2.0, width / 2.0), ry = std::min(cy / 2.0, height / 2.0);
  for (int y = 0; y < height; ++y) {
    // Distance of the pixel centre's row from the nearest straight edge band.
    double py = y + 0.5;
    double cy_centre = py < ry ? ry : (py > height - ry ? height - ry : py);
    double t = (py - cy_centre) / ry;
    if (t * t >= 1.0) {
      spans[y] = RowSpan{width, 0};
      continue;
    }
    double half = rx * std::sqrt(1.0 - t * t);
    // Columns whose centre lies inside the ellipse part.
    int inset = static_cast<int>(std::ceil(rx - half - 0.5));
    inset = std::clamp(inset, 0, width / 2);
    spans[y] = RowSpan{inset, width - inset};
  }
  return spans;
}

}  // namespace skinui
