#include "skinui/bitmap.h"

#include <stb_image.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>

namespace skinui {

Bitmap::Bitmap(int width, int height, uint32_t fill) { Resize(width, height, fill); }

void Bitmap::Resize(int width, int height, uint32_t fill) {
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  pixels_.assign(static_cast<size_t>(width_) * height_, fill);
}

void Bitmap::Clear(uint32_t fill) { std::fill(pixels_.begin(), pixels_.end(), fill); }

std::shared_ptr<Bitmap> DecodeImage(const uint8_t* bytes, size_t size, uint32_t mask) {
  if (bytes == nullptr || size == 0 || size > 0x7FFFFFFF) return nullptr;
  int w = 0, h = 0, comp = 0;
  // Read the header first so that an absurd size is refused before stb
  // allocates anything.
  if (!stbi_info_from_memory(bytes, static_cast<int>(size), &w, &h, &comp)) return nullptr;
  if (w <= 0 || h <= 0 || w > kMaxImageSide || h > kMaxImageSide) return nullptr;
  stbi_uc* rgba = stbi_load_from_memory(bytes, static_cast<int>(size), &w, &h, &comp, 4);
  if (rgba == nullptr) return nullptr;
  auto bitmap = std::make_shared<Bitmap>(w, h);
  const uint32_t key = mask != 0 ? Premultiply(mask | 0xFF000000u) : 0;
  for (int y = 0; y < h; ++y) {
    uint32_t* out = bitmap->row(y);
    const stbi_uc* in = rgba + static_cast<size_t>(y) * w * 4;
    for (int x = 0; x < w; ++x, in += 4) {
      uint32_t p = Premultiply((uint32_t(in[3]) << 24) | (uint32_t(in[0]) << 16) |
                               (uint32_t(in[1]) << 8) | in[2]);
      if (mask != 0 && p == key) p = 0;
      out[x] = p;
    }
  }
  stbi_image_free(rgba);
  return bitmap;
}

namespace {

void PutBigEndian(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v >> 24));
  out.push_back(uint8_t(v >> 16));
  out.push_back(uint8_t(v >> 8));
  out.push_back(uint8_t(v));
}

void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& body) {
  PutBigEndian(out, static_cast<uint32_t>(body.size()));
  size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), body.begin(), body.end());
  uLong crc = crc32(0, out.data() + start, static_cast<uInt>(out.size() - start));
  PutBigEndian(out, static_cast<uint32_t>(crc));
}

}  // namespace

std::vector<uint8_t> EncodePng(const Bitmap& bitmap) {
  const int w = bitmap.width(), h = bitmap.height();
  std::vector<uint8_t> raw;
  raw.reserve(static_cast<size_t>(h) * (w * 4 + 1));
  for (int y = 0; y < h; ++y) {
    raw.push_back(0);  // filter: none
    const uint32_t* row = bitmap.row(y);
    for (int x = 0; x < w; ++x) {
      uint32_t p = row[x];
      uint32_t a = p >> 24;
      auto straight = [&](int shift) -> uint8_t {
        uint32_t c = (p >> shift) & 0xFF;
        return a == 0 ? 0 : static_cast<uint8_t>(std::min<uint32_t>(255, (c * 255 + a / 2) / a));
      };
      raw.push_back(straight(16));
      raw.push_back(straight(8));
      raw.push_back(straight(0));
      raw.push_back(static_cast<uint8_t>(a));
    }
  }
  uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(packed_size);
  compress2(packed.data(), &packed_size, raw.data(), static_cast<uLong>(raw.size()), 6);
  packed.resize(packed_size);

  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  PutBigEndian(header, static_cast<uint32_t>(w));
  PutBigEndian(header, static_cast<uint32_t>(h));
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bit, RGBA, deflate, no filter, no interlace
  PutChunk(out, "IHDR", header);
  PutChunk(out, "IDAT", packed);
  PutChunk(out, "IEND", {});
  return out;
}

bool WritePngFile(const Bitmap& bitmap, const std::string& path) {
  std::vector<uint8_t> png = EncodePng(bitmap);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
  ok = std::fclose(f) == 0 && ok;
  return ok;
}

}  // namespace skinui
