#include "skinui/image_description.h"

#include <cwchar>

namespace skinui {

long ParseMarkupInt(const wchar_t* text, const wchar_t** end) {
  wchar_t* stop = nullptr;
  long v = std::wcstol(text, &stop, 10);
  if (end != nullptr) *end = stop;
  return v;
}

Rect ParseMarkupRect(const std::wstring& text) {
  long v[4] = {0, 0, 0, 0};
  const wchar_t* p = text.c_str();
  for (int i = 0; i < 4; ++i) {
    const wchar_t* end = nullptr;
    v[i] = ParseMarkupInt(p, &end);
    if (end == p || *end == L'\0') break;
    p = end + 1;  // skip the separator
  }
  return Rect{static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2]),
              static_cast<int>(v[3])};
}

Size ParseMarkupSize(const std::wstring& text) {
  Rect r = ParseMarkupRect(text);
  return Size{r.left, r.top};
}

uint32_t ParseMarkupColor(const std::wstring& text) {
  const wchar_t* p = text.c_str();
  if (*p == L'#') ++p;
  return static_cast<uint32_t>(std::wcstoul(p, nullptr, 16));
}

bool ParseMarkupBool(const std::wstring& text) { return text == L"true"; }

namespace {

bool IsBlank(wchar_t c) { return c > 0 && c <= L' '; }

void ApplyPair(ImageDescription& d, const std::wstring& key, const std::wstring& value) {
  if (key == L"file") {
    d.file = value;
  } else if (key == L"res") {
    d.res = value;
  } else if (key == L"restype") {
    d.restype = value;
  } else if (key == L"color") {
    d.color = ParseMarkupColor(value);
    d.has_color = true;
  } else if (key == L"dest") {
    d.dest = ParseMarkupRect(value);
  } else if (key == L"source") {
    d.source = ParseMarkupRect(value);
  } else if (key == L"corner" || key == L"scale9") {
    d.corner = ParseMarkupRect(value);
  } else if (key == L"mask") {
    d.mask = ParseMarkupColor(value);
  } else if (key == L"fade") {
    d.fade = static_cast<uint8_t>(std::wcstoul(value.c_str(), nullptr, 10));
  } else if (key == L"hole") {
    d.hole = ParseMarkupBool(value);
  } else if (key == L"xtiled") {
    d.xtiled = ParseMarkupBool(value);
  } else if (key == L"ytiled") {
    d.ytiled = ParseMarkupBool(value);
  } else if (key == L"hsl") {
    d.hsl = ParseMarkupBool(value);
  }
}

}  // namespace

ImageDescription ParseImageDescription(const std::wstring& text) {
  ImageDescription d;
  d.file = text;  // a plain path unless the text turns out to be pairs
  const size_t n = text.size();
  size_t i = 0;
  auto skip_blanks = [&] {
    while (i < n && IsBlank(text[i])) ++i;
  };
  while (i < n) {
    skip_blanks();
    std::wstring key;
    while (i < n && text[i] != L'=' && !IsBlank(text[i])) key.push_back(text[i++]);
    skip_blanks();
    if (i >= n || text[i++] != L'=') break;
    skip_blanks();
    if (i >= n || text[i++] != L'\'') break;
    std::wstring value;
    while (i < n && text[i] != L'\'') value.push_back(text[i++]);
    if (i >= n || text[i++] != L'\'') break;  // unclosed quote: the pair is dropped
    if (!value.empty()) {
      if (d.file == text) d.file.clear();  // pairs, not a plain path
      ApplyPair(d, key, value);
    }
    if (i >= n || text[i++] != L' ') break;
  }
  return d;
}

}  // namespace skinui
