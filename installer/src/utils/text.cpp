#include "utils/text.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace Utils {
namespace {

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

void AppendWide(std::wstring& out, uint32_t cp) {
  if constexpr (sizeof(wchar_t) == 2) {
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<wchar_t>(0xD800 + (cp >> 10));
      out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
      return;
    }
  }
  out += static_cast<wchar_t>(cp);
}

bool IsSpace(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

// Copies the longest prefix that looks like a decimal number into ASCII.
std::string NumberPrefix(const std::wstring& text, bool allow_fraction) {
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  std::string out;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
    if (text[i] == L'-') out += '-';
    ++i;
  }
  size_t digits = 0;
  while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') { out += static_cast<char>(text[i++]); ++digits; }
  if (allow_fraction) {
    if (i < text.size() && text[i] == L'.') {
      size_t j = i + 1;
      std::string fraction = ".";
      while (j < text.size() && text[j] >= L'0' && text[j] <= L'9') { fraction += static_cast<char>(text[j++]); ++digits; }
      if (digits > 0) { out += fraction; i = j; }
    }
    if (digits > 0 && i < text.size() && (text[i] == L'e' || text[i] == L'E')) {
      size_t j = i + 1;
      std::string exponent = "e";
      if (j < text.size() && (text[j] == L'+' || text[j] == L'-')) exponent += static_cast<char>(text[j++]);
      size_t exponent_digits = 0;
      while (j < text.size() && text[j] >= L'0' && text[j] <= L'9') { exponent += static_cast<char>(text[j++]); ++exponent_digits; }
      if (exponent_digits > 0) out += exponent;
    }
  }
  if (digits == 0) return {};
  return out;
}

}  // namespace

std::wstring Utf8ToWide(const std::string& text) {
  std::wstring out;
  out.reserve(text.size());
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    const unsigned char c = s[i];
    if (c == 0) break;
    if (c < 0x80) { out += static_cast<wchar_t>(c); ++i; continue; }
    // Invalid input becomes U+FFFD per maximal invalid subpart, as the
    // system converter does: a bad lead byte alone, or a good lead byte with
    // the continuation bytes that fit it.
    int length = 0;
    uint32_t cp = 0;
    unsigned char low = 0x80, high = 0xBF;  // range of the second byte
    if (c >= 0xC2 && c <= 0xDF) { length = 2; cp = c & 0x1F; }
    else if (c >= 0xE0 && c <= 0xEF) {
      length = 3; cp = c & 0x0F;
      if (c == 0xE0) low = 0xA0;
      if (c == 0xED) high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4; cp = c & 0x07;
      if (c == 0xF0) low = 0x90;
      if (c == 0xF4) high = 0x8F;
    }
    if (length == 0) {
      out += static_cast<wchar_t>(0xFFFD);
      ++i;
      continue;
    }
    int have = 1;
    while (have < length && i + have < n) {
      const unsigned char b = s[i + have];
      const bool fits = have == 1 ? (b >= low && b <= high) : (b & 0xC0) == 0x80;
      if (!fits) break;
      cp = (cp << 6) | (b & 0x3F);
      ++have;
    }
    if (have < length) {
      out += static_cast<wchar_t>(0xFFFD);
      i += have;
      continue;
    }
    AppendWide(out, cp);
    i += length;
  }
  return out;
}

std::string WideToUtf8(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t cp = static_cast<uint32_t>(text[i]);
    if (cp == 0) break;
    if constexpr (sizeof(wchar_t) == 2) {
      if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() &&
          text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<uint32_t>(text[i + 1]) - 0xDC00);
        ++i;
      }
    }
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
    AppendUtf8(out, cp);
  }
  return out;
}

std::wstring UrlEscape(const std::wstring& url) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : WideToUtf8(url)) {
    if (c >= 33 && c <= 126) out += static_cast<char>(c);
    else if (c == 32) out += '+';
    else { out += '%'; out += kHex[c >> 4]; out += kHex[c & 15]; }
  }
  return Utf8ToWide(out);
}

std::string UrlMd5(const std::string& url) {
  const size_t last = url.rfind('/');
  if (last == std::string::npos || last == 0) return {};
  const std::string before = url.substr(0, last);
  const size_t previous = before.rfind('/');
  if (previous == std::string::npos) return {};
  return before.substr(previous + 1);
}

std::optional<long> ParseLong(const std::wstring& text) {
  const std::string number = NumberPrefix(text, false);
  if (number.empty()) return std::nullopt;
  long long value = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (error != std::errc() || value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<long>(value);
}

std::optional<double> ParseDouble(const std::wstring& text) {
  const std::string number = NumberPrefix(text, true);
  if (number.empty()) return std::nullopt;
  double value = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (error != std::errc() || !std::isfinite(value)) return std::nullopt;
  return value;
}

bool EqualsIgnoreCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    wchar_t x = a[i], y = b[i];
    if (x >= L'A' && x <= L'Z') x += 32;
    if (y >= L'A' && y <= L'Z') y += 32;
    if (x != y) return false;
  }
  return true;
}

std::wstring ToLowerAscii(std::wstring text) {
  for (auto& c : text)
    if (c >= L'A' && c <= L'Z') c += 32;
  return text;
}

std::wstring ReplaceAll(std::wstring text, const std::wstring& from, const std::wstring& to) {
  if (from.empty()) return text;
  // Searching again from the start would never end when the replacement
  // holds the pattern itself; continue after the replacement then.
  const bool restart = to.find(from) == std::wstring::npos;
  for (size_t at = text.find(from); at != std::wstring::npos;) {
    text.replace(at, from.size(), to);
    at = text.find(from, restart ? 0 : at + to.size());
  }
  return text;
}

}  // namespace Utils
