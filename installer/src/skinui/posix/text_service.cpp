// Text through FreeType, with fontconfig choosing the fonts. The skins ask for
// a Windows face name that Linux does not have; asking fontconfig for it with
// the Chinese language tag yields a CJK font, and every character of a mixed
// text is drawn from the first font of the fallback list that has it.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "skinui/painter.h"
#include "skinui/text_service.h"
#include "utils/text.h"

namespace skinui {
namespace {

constexpr int kMaxFallbackFonts = 8;

struct Glyph {
  std::vector<uint8_t> coverage;
  int width = 0;
  int rows = 0;
  int left = 0;     // bearing from the pen position
  int top = 0;      // rows above the baseline
  int advance = 0;  // pixels
};

struct Face {
  FT_Face face = nullptr;
  bool synthetic_bold = false;
};

// One font spec resolved: the fallback chain and its glyph cache.
struct ResolvedFont {
  std::vector<Face> faces;
  FontMetrics metrics;
  std::map<wchar_t, Glyph> glyphs;
};

class FreeTypeTextService final : public TextService {
 public:
  FreeTypeTextService() {
    if (FT_Init_FreeType(&library_) != 0) library_ = nullptr;
    FcInit();
  }
  ~FreeTypeTextService() override {
    fonts_.clear();
    for (auto& [key, face] : open_faces_) FT_Done_Face(face);
    if (library_ != nullptr) FT_Done_FreeType(library_);
  }

  FontMetrics Metrics(const FontSpec& font) override { return Resolve(font).metrics; }

  int MeasureWidth(const FontSpec& font, std::wstring_view text) override {
    ResolvedFont& f = Resolve(font);
    int width = 0;
    for (wchar_t c : text) width += GlyphFor(f, font, c).advance;
    return width;
  }

  void DrawLine(Painter& painter, const FontSpec& font, std::wstring_view text, int x,
                int baseline_y, uint32_t argb) override {
    ResolvedFont& f = Resolve(font);
    int pen = x;
    for (wchar_t c : text) {
      const Glyph& g = GlyphFor(f, font, c);
      if (!g.coverage.empty()) {
        painter.BlendCoverage(g.coverage.data(), g.width, g.rows, g.width, pen + g.left,
                              baseline_y - g.top, argb);
      }
      pen += g.advance;
    }
    if (font.underline && pen > x) {
      painter.FillRect(Rect{x, baseline_y + 1, pen, baseline_y + 2}, argb);
    }
  }

  bool HasGlyph(const FontSpec& font, wchar_t ch) override {
    ResolvedFont& f = Resolve(font);
    for (const Face& face : f.faces) {
      if (FT_Get_Char_Index(face.face, static_cast<FT_ULong>(ch)) != 0) return true;
    }
    return false;
  }

 private:
  using FontKey = std::tuple<std::wstring, int, bool, bool>;

  ResolvedFont& Resolve(const FontSpec& spec) {
    FontKey key{spec.face, spec.size, spec.bold, spec.italic};
    auto it = fonts_.find(key);
    if (it != fonts_.end()) return *it->second;
    auto font = std::make_unique<ResolvedFont>();
    LoadFaces(spec, *font);
    if (!font->faces.empty()) {
      const FT_Size_Metrics& m = font->faces.front().face->size->metrics;
      font->metrics.ascent = static_cast<int>((m.ascender + 63) >> 6);
      font->metrics.descent = static_cast<int>((-m.descender + 63) >> 6);
      font->metrics.height = font->metrics.ascent + font->metrics.descent;
    } else {
      font->metrics = FontMetrics{spec.size, 0, spec.size};
    }
    return *fonts_.emplace(key, std::move(font)).first->second;
  }

  void LoadFaces(const FontSpec& spec, ResolvedFont& font) {
    if (library_ == nullptr) return;
    const int pixel_size = std::clamp(spec.size, 1, 400);
    FcPattern* pattern = FcPatternCreate();
    std::string family = Utils::WideToUtf8(spec.face);
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcLangSet* langs = FcLangSetCreate();
    FcLangSetAdd(langs, reinterpret_cast<const FcChar8*>("zh-cn"));
    FcPatternAddLangSet(pattern, FC_LANG, langs);
    FcLangSetDestroy(langs);
    FcPatternAddDouble(pattern, FC_PIXEL_SIZE, pixel_size);
    FcPatternAddInteger(pattern, FC_WEIGHT, spec.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, spec.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcFontSet* set = FcFontSort(nullptr, pattern, FcTrue, nullptr, &result);
    if (set != nullptr) {
      for (int i = 0; i < set->nfont && static_cast<int>(font.faces.size()) < kMaxFallbackFonts;
           ++i) {
        FcChar8* file = nullptr;
        int index = 0;
        if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) != FcResultMatch) continue;
        FcPatternGetInteger(set->fonts[i], FC_INDEX, 0, &index);
        int weight = FC_WEIGHT_REGULAR;
        FcPatternGetInteger(set->fonts[i], FC_WEIGHT, 0, &weight);
        FT_Face face = OpenFace(reinterpret_cast<const char*>(file), index);
        if (face == nullptr) continue;
        bool duplicate = false;
        for (const Face& f : font.faces) duplicate = duplicate || f.face == face;
        if (duplicate) continue;
        font.faces.push_back(Face{face, spec.bold && weight < FC_WEIGHT_DEMIBOLD});
      }
      FcFontSetDestroy(set);
    }
    FcPatternDestroy(pattern);
    for (Face& f : font.faces) FT_Set_Pixel_Sizes(f.face, 0, pixel_size);
  }

  // Faces are shared between specs; each spec sets the pixel size it needs
  // right before rendering.
  FT_Face OpenFace(const std::string& file, int index) {
    auto key = std::make_pair(file, index);
    auto it = open_faces_.find(key);
    if (it != open_faces_.end()) return it->second;
    FT_Face face = nullptr;
    if (FT_New_Face(library_, file.c_str(), index, &face) != 0) face = nullptr;
    if (face != nullptr && !FT_IS_SCALABLE(face)) {
      FT_Done_Face(face);
      face = nullptr;
    }
    if (face != nullptr) open_faces_[key] = face;
    return face;
  }

  const Glyph& GlyphFor(ResolvedFont& font, const FontSpec& spec, wchar_t c) {
    auto it = font.glyphs.find(c);
    if (it != font.glyphs.end()) return it->second;
    Glyph glyph;
    if (!font.faces.empty()) {
      const Face* chosen = &font.faces.front();
      FT_UInt index = 0;
      for (const Face& f : font.faces) {
        index = FT_Get_Char_Index(f.face, static_cast<FT_ULong>(c));
        if (index != 0) {
          chosen = &f;
          break;
        }
      }
      Render(*chosen, spec, index, glyph);
    }
    return font.glyphs.emplace(c, std::move(glyph)).first->second;
  }

  void Render(const Face& f, const FontSpec& spec, FT_UInt index, Glyph& glyph) {
    FT_Set_Pixel_Sizes(f.face, 0, std::clamp(spec.size, 1, 400));
    if (FT_Load_Glyph(f.face, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0) return;
    FT_GlyphSlot slot = f.face->glyph;
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
      if (f.synthetic_bold) FT_Outline_Embolden(&slot->outline, spec.size * 4);
      if (spec.italic && !(f.face->style_flags & FT_STYLE_FLAG_ITALIC)) {
        FT_Matrix shear{0x10000, 0x0366A, 0, 0x10000};
        FT_Outline_Transform(&slot->outline, &shear);
      }
    }
    int advance = static_cast<int>((slot->advance.x + 32) >> 6);
    if (f.synthetic_bold) advance += std::max(1, spec.size / 16);
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return;
    const FT_Bitmap& bm = slot->bitmap;
    glyph.width = static_cast<int>(bm.width);
    glyph.rows = static_cast<int>(bm.rows);
    glyph.left = slot->bitmap_left;
    glyph.top = slot->bitmap_top;
    glyph.advance = advance;
    glyph.coverage.resize(static_cast<size_t>(glyph.width) * glyph.rows);
    for (int y = 0; y < glyph.rows; ++y) {
      const uint8_t* src = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
      std::copy(src, src + glyph.width, glyph.coverage.begin() + static_cast<size_t>(y) * glyph.width);
    }
  }

  FT_Library library_ = nullptr;
  std::map<std::pair<std::string, int>, FT_Face> open_faces_;
  std::map<FontKey, std::unique_ptr<ResolvedFont>> fonts_;
};

}  // namespace

TextService& TextService::Instance() {
  static FreeTypeTextService service;
  return service;
}

}  // namespace skinui
