// A 32-bit premultiplied ARGB pixel buffer: the framebuffer every window paints
// into, and the form every decoded skin image takes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "skinui/geometry.h"

namespace skinui {

class Bitmap {
 public:
  Bitmap() = default;
  Bitmap(int width, int height, uint32_t fill = 0);

  int width() const { return width_; }
  int height() const { return height_; }
  bool empty() const { return width_ <= 0 || height_ <= 0; }
  uint32_t* data() { return pixels_.data(); }
  const uint32_t* data() const { return pixels_.data(); }
  uint32_t* row(int y) { return pixels_.data() + static_cast<size_t>(y) * width_; }
  const uint32_t* row(int y) const { return pixels_.data() + static_cast<size_t>(y) * width_; }
  uint32_t at(int x, int y) const { return row(y)[x]; }
  void set(int x, int y, uint32_t p) { row(y)[x] = p; }
  Rect bounds() const { return Rect{0, 0, width_, height_}; }

  void Resize(int width, int height, uint32_t fill = 0);
  void Clear(uint32_t fill = 0);

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<uint32_t> pixels_;
};

// Images larger than this on either side are refused when decoding: a skin
// never needs them and a hostile header must not make us allocate gigabytes.
constexpr int kMaxImageSide = 4096;

// Decodes PNG (or any format stb_image reads) from memory into a premultiplied
// bitmap. |mask| (straight 0xAARRGGBB, 0 = none) is a colour key: pixels whose
// premultiplied value equals it become fully transparent. Returns nullptr for
// undecodable data or an image over kMaxImageSide.
std::shared_ptr<Bitmap> DecodeImage(const uint8_t* bytes, size_t size, uint32_t mask = 0);

// Encodes the bitmap as an 8-bit RGBA PNG (alpha un-premultiplied).
std::vector<uint8_t> EncodePng(const Bitmap& bitmap);
bool WritePngFile(const Bitmap& bitmap, const std::string& path);

}  // namespace skinui
