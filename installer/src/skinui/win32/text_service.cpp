// Text through GDI: each line is drawn white on black into a small DIB
// section and its brightness becomes the coverage blended into the
// framebuffer, so text composes with our premultiplied painter. GDI's own
// font linking supplies CJK glyphs when the face lacks them.
#include <windows.h>

#include <algorithm>
#include <map>
#include <tuple>
#include <vector>

#include "skinui/painter.h"
#include "skinui/text_service.h"

namespace skinui {
namespace {

class GdiTextService final : public TextService {
 public:
  GdiTextService() : dc_(CreateCompatibleDC(nullptr)) {}
  ~GdiTextService() override {
    for (auto& [key, font] : fonts_) DeleteObject(font);
    DeleteDC(dc_);
  }

  FontMetrics Metrics(const FontSpec& font) override {
    Select(font);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc_, &tm);
    return FontMetrics{tm.tmAscent, tm.tmDescent, tm.tmHeight};
  }

  int MeasureWidth(const FontSpec& font, std::wstring_view text) override {
    if (text.empty()) return 0;
    Select(font);
    SIZE size{};
    GetTextExtentPoint32W(dc_, text.data(), static_cast<int>(text.size()), &size);
    return size.cx;
  }

  void DrawLine(Painter& painter, const FontSpec& font, std::wstring_view text, int x,
                int baseline_y, uint32_t argb) override {
    if (text.empty()) return;
    const FontMetrics m = Metrics(font);
    const int slack = font.size / 2 + 2;  // italic overhang
    // Only what can show is rendered: the part left of the clip's right edge.
    const int w = std::min(MeasureWidth(font, text) + 2 * slack, painter.clip().right - (x - slack));
    const int h = m.height + 2;
    if (w <= 0 || h <= 0) return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dib == nullptr) return;
    HGDIOBJ old = SelectObject(dc_, dib);
    Select(font);
    SetBkMode(dc_, TRANSPARENT);
    SetTextColor(dc_, RGB(255, 255, 255));
    TextOutW(dc_, slack, 0, text.data(), static_cast<int>(text.size()));
    GdiFlush();
    std::vector<uint8_t> coverage(static_cast<size_t>(w) * h);
    const uint32_t* px = static_cast<const uint32_t*>(bits);
    for (size_t i = 0; i < coverage.size(); ++i) {
      const uint32_t p = px[i];
      coverage[i] = static_cast<uint8_t>(std::max({(p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF}));
    }
    SelectObject(dc_, old);
    DeleteObject(dib);
    painter.BlendCoverage(coverage.data(), w, h, w, x - slack, baseline_y - m.ascent, argb);
  }

  bool HasGlyph(const FontSpec& font, wchar_t ch) override {
    Select(font);
    WORD index = 0xFFFF;
    if (GetGlyphIndicesW(dc_, &ch, 1, &index, GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR) {
      return false;
    }
    // A face without the character still draws it through font linking
    // when the character has a width.
    if (index != 0xFFFF) return true;
    return MeasureWidth(font, std::wstring_view(&ch, 1)) > 0;
  }

 private:
  HFONT Create(const FontSpec& spec, const wchar_t* face) {
    // The skins use 12 to 40 pixels; anything absurd is clamped.
    return CreateFontW(-std::clamp(spec.size, 1, 400), 0, 0, 0, spec.bold ? FW_BOLD : FW_NORMAL, spec.italic,
                       spec.underline, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH, face);
  }

  bool DrawsChinese(HFONT font) {
    SelectObject(dc_, font);
    const wchar_t probe = L'安';
    WORD index = 0xFFFF;
    return GetGlyphIndicesW(dc_, &probe, 1, &index, GGI_MARK_NONEXISTING_GLYPHS) != GDI_ERROR &&
           index != 0xFFFF;
  }

  void Select(const FontSpec& spec) {
    auto key = std::make_tuple(spec.face, spec.size, spec.bold, spec.underline, spec.italic);
    auto it = fonts_.find(key);
    if (it == fonts_.end()) {
      HFONT font = Create(spec, spec.face.c_str());
      // Where the skin's face is missing and the substitute has no Chinese
      // (a system without the face and without font linking, such as Wine
      // outside a Chinese locale), take an installed CJK face instead.
      if (!DrawsChinese(font)) {
        for (const wchar_t* face : {L"Microsoft YaHei", L"WenQuanYi Micro Hei", L"SimSun"}) {
          HFONT other = Create(spec, face);
          if (DrawsChinese(other)) {
            DeleteObject(font);
            font = other;
            break;
          }
          DeleteObject(other);
        }
      }
      it = fonts_.emplace(key, font).first;
    }
    SelectObject(dc_, it->second);
  }

  HDC dc_;
  std::map<std::tuple<std::wstring, int, bool, bool, bool>, HFONT> fonts_;
};

}  // namespace

TextService& TextService::Instance() {
  static GdiTextService service;
  return service;
}

}  // namespace skinui
