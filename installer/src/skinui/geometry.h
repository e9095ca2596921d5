// Plain geometry and colour types shared by the painter, the controls and the
// window backends. Rectangles are half-open: right and bottom are excluded.
#pragma once

#include <algorithm>
#include <cstdint>

namespace skinui {

struct Point {
  int x = 0;
  int y = 0;
};

struct Size {
  int cx = 0;
  int cy = 0;
  bool operator==(const Size&) const = default;
};

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool empty() const { return right <= left || bottom <= top; }
  bool Contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  bool IsZero() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
  Rect Intersect(const Rect& o) const {
    Rect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
           std::min(bottom, o.bottom)};
    if (r.empty()) return Rect{};
    return r;
  }
  Rect Offset(int dx, int dy) const { return Rect{left + dx, top + dy, right + dx, bottom + dy}; }
  Rect Deflate(const Rect& inset) const {
    return Rect{left + inset.left, top + inset.top, right - inset.right, bottom - inset.bottom};
  }
  bool operator==(const Rect&) const = default;
};

// Colours in the skins are straight (not premultiplied) 0xAARRGGBB.
// Framebuffer pixels are premultiplied 0xAARRGGBB, which in memory on a
// little-endian machine is B, G, R, A: the layout of a 32-bit X11 image and of
// a Windows DIB section.
inline uint32_t Premultiply(uint32_t argb) {
  uint32_t a = argb >> 24;
  if (a == 255) return argb;
  uint32_t r = ((argb >> 16) & 0xFF) * a / 255;
  uint32_t g = ((argb >> 8) & 0xFF) * a / 255;
  uint32_t b = (argb & 0xFF) * a / 255;
  return (a << 24) | (r << 16) | (g << 8) | b;
}

// Source-over blend of a premultiplied pixel onto a premultiplied pixel.
inline uint32_t BlendOver(uint32_t dst, uint32_t src) {
  uint32_t sa = src >> 24;
  if (sa == 255) return src;
  if (sa == 0) return dst;
  uint32_t inv = 255 - sa;
  auto channel = [&](int shift) {
    uint32_t d = (dst >> shift) & 0xFF;
    uint32_t s = (src >> shift) & 0xFF;
    return std::min<uint32_t>(255, s + (d * inv + 127) / 255);
  };
  return (channel(24) << 24) | (channel(16) << 16) | (channel(8) << 8) | channel(0);
}

// Scales every channel of a premultiplied pixel by alpha / 255.
inline uint32_t ScalePixel(uint32_t p, uint32_t alpha) {
  if (alpha >= 255) return p;
  auto channel = [&](int shift) { return (((p >> shift) & 0xFF) * alpha + 127) / 255; };
  return (channel(24) << 24) | (channel(16) << 16) | (channel(8) << 8) | channel(0);
}

}  // namespace skinui
