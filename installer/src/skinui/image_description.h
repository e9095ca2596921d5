// The image-description mini-language of the skins: either a plain path, or
// key='value' pairs separated by white space, e.g.
//   file='res\mainWnd\installPrg1.png' corner='2,2,2,2' fade='255'
#pragma once

#include <cstdint>
#include <string>

#include "skinui/geometry.h"

namespace skinui {

struct ImageDescription {
  std::wstring file;
  std::wstring res;
  std::wstring restype;
  uint32_t color = 0;       // straight ARGB; used when has_color and no file
  bool has_color = false;
  Rect dest;                // zero = the whole control rectangle
  Rect source;              // zero = the whole image
  Rect corner;              // nine-patch margins
  uint32_t mask = 0;        // colour key, 0 = none
  uint8_t fade = 255;
  bool hole = false;
  bool xtiled = false;
  bool ytiled = false;
  bool hsl = false;
};

// Parses a description. Parsing stops (keeping what was read) at the first
// malformed pair: a key without '=', a value without quotes, an unclosed
// quote, or a closing quote not followed by a space. Pairs with an empty
// value are ignored.
ImageDescription ParseImageDescription(const std::wstring& text);

// Value syntaxes shared by the markup.
// Decimal integer with C's strtol rules (leading blanks, sign, stops at the
// first non-digit); 0 when there are no digits.
long ParseMarkupInt(const wchar_t* text, const wchar_t** end = nullptr);
// "l,t,r,b"; missing numbers are 0.
Rect ParseMarkupRect(const std::wstring& text);
// "cx,cy".
Size ParseMarkupSize(const std::wstring& text);
// "#AARRGGBB" or "0xAARRGGBB": a leading '#' is skipped and the rest is read
// as one base-16 number.
uint32_t ParseMarkupColor(const std::wstring& text);
bool ParseMarkupBool(const std::wstring& text);  // exactly "true"

}  // namespace skinui
