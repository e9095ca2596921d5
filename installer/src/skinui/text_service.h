// Text is the one platform service in painting: the backend measures and
// draws single lines of text in a font; alignment, wrapping and clipping are
// portable (text_layout.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "skinui/geometry.h"

namespace skinui {

class Painter;

struct FontSpec {
  std::wstring face = L"微软雅黑";
  int size = 12;  // character height in pixels
  bool bold = false;
  bool underline = false;
  bool italic = false;
  bool operator==(const FontSpec&) const = default;
};

struct FontMetrics {
  int ascent = 0;
  int descent = 0;
  int height = 0;  // line height
};

class TextService {
 public:
  virtual ~TextService() = default;
  // The process-wide service of the platform (FreeType with fontconfig on
  // Linux, GDI on Windows). Only the UI thread uses it.
  static TextService& Instance();

  virtual FontMetrics Metrics(const FontSpec& font) = 0;
  // Advance width in pixels of |text| on one line.
  virtual int MeasureWidth(const FontSpec& font, std::wstring_view text) = 0;
  // Draws one line with its baseline at |baseline_y|, starting at |x|, in the
  // straight colour |argb|, clipped by the painter.
  virtual void DrawLine(Painter& painter, const FontSpec& font, std::wstring_view text, int x,
                        int baseline_y, uint32_t argb) = 0;
  // True when some installed font can draw |ch| (for tests and fallbacks).
  virtual bool HasGlyph(const FontSpec& font, wchar_t ch) = 0;
};

}  // namespace skinui
