// Portable text placement over the platform text service: alignment in a
// rectangle, word wrapping, and the end ellipsis.
#pragma once

#include <string>
#include <vector>

#include "skinui/text_service.h"

namespace skinui {

enum TextFlags : unsigned {
  kTextLeft = 0,
  kTextCenter = 1,
  kTextRight = 2,
  kTextTop = 0,
  kTextVCenter = 4,
  kTextBottom = 8,
  kTextSingleLine = 0x20,
  kTextWordBreak = 0x10,
};

// Splits |text| into lines no wider than |width| (CJK text breaks between any
// two characters, Latin words at spaces when possible; explicit '\n' breaks).
std::vector<std::wstring> WrapText(TextService& service, const FontSpec& font,
                                   const std::wstring& text, int width);

// Draws |text| into |rect| with |flags| in the straight colour |argb|.
void DrawTextInRect(Painter& painter, TextService& service, const FontSpec& font,
                    const std::wstring& text, const Rect& rect, uint32_t argb, unsigned flags);

}  // namespace skinui
