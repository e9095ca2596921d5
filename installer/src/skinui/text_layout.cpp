#include "skinui/text_layout.h"

#include "skinui/painter.h"

namespace skinui {

namespace {

bool IsWide(wchar_t c) { return c >= 0x2E80; }

}  // namespace

std::vector<std::wstring> WrapText(TextService& service, const FontSpec& font,
                                   const std::wstring& text, int width) {
  std::vector<std::wstring> lines;
  std::wstring line;
  size_t last_space = std::wstring::npos;
  for (size_t i = 0; i < text.size(); ++i) {
    wchar_t c = text[i];
    if (c == L'\r') continue;
    if (c == L'\n') {
      lines.push_back(line);
      line.clear();
      last_space = std::wstring::npos;
      continue;
    }
    line.push_back(c);
    if (c == L' ') last_space = line.size() - 1;
    if (line.size() > 1 && service.MeasureWidth(font, line) > width) {
      // Break at the last space of a Latin run, else before this character.
      if (!IsWide(c) && last_space != std::wstring::npos && last_space > 0) {
        lines.push_back(line.substr(0, last_space));
        line = line.substr(last_space + 1);
      } else {
        line.pop_back();
        lines.push_back(line);
        line.assign(1, c);
      }
      last_space = std::wstring::npos;
    }
  }
  if (!line.empty() || lines.empty()) lines.push_back(line);
  return lines;
}

void DrawTextInRect(Painter& painter, TextService& service, const FontSpec& font,
                    const std::wstring& text, const Rect& rect, uint32_t argb, unsigned flags) {
  if (text.empty() || rect.empty() || (argb >> 24) == 0) return;
  const FontMetrics m = service.Metrics(font);
  std::vector<std::wstring> lines;
  if (flags & kTextWordBreak) {
    lines = WrapText(service, font, text, rect.width());
  } else {
    std::wstring one;
    for (wchar_t c : text) {
      if (c != L'\r' && c != L'\n') one.push_back(c);
    }
    lines.push_back(one);
  }
  const int total = m.height * static_cast<int>(lines.size());
  int y = rect.top;
  if (flags & kTextVCenter) {
    y = rect.top + (rect.height() - total) / 2;
  } else if (flags & kTextBottom) {
    y = rect.bottom - total;
  }
  PainterClipSaver saver(painter, rect);
  for (const std::wstring& line : lines) {
    const int w = service.MeasureWidth(font, line);
    int x = rect.left;
    if (flags & kTextCenter) {
      x = rect.left + (rect.width() - w) / 2;
    } else if (flags & kTextRight) {
      x = rect.right - w;
    }
    service.DrawLine(painter, font, line, x, y + m.ascent, argb);
    y += m.height;
  }
}

}  // namespace skinui
