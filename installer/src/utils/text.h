// Text conversions and small text rules shared by every layer.
#pragma once

#include <optional>
#include <string>

namespace Utils {

// Code pages as the installer names them.
constexpr unsigned kCodePageAnsi = 0;     // system code page; the locale's charset on POSIX
constexpr unsigned kCodePageUtf8 = 65001;
constexpr unsigned kCodePageGbk = 936;

// Converts between wide text and a code page. Bytes that are invalid in the
// code page become U+FFFD (as the system converter does); an unknown code
// page or an empty input gives empty text. Conversion stops at a NUL, as the
// system converter does over a zero-terminated text.
std::wstring ToWide(const std::string& text, unsigned code_page);
std::string ToMultiByte(const std::wstring& text, unsigned code_page);

// UTF-8 helpers that do not depend on the locale.
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

// Escapes a URL for transfer: its UTF-8 bytes 33..126 stay, a space becomes
// "+", every other byte becomes "%XX" (upper-case hex).
std::wstring UrlEscape(const std::wstring& url);

// The path segment before the last one ("x/0123/y" gives "0123"); empty
// when the URL has fewer than two "/". Callers accept it as a digest only
// when it is 32 characters long.
std::string UrlMd5(const std::string& url);

// Decimal conversions with the C runtime's prefix rules: leading white space
// skipped, an optional sign, the longest valid prefix taken, trailing text
// ignored. Locale-independent. Empty optional when no number stands in front
// or the number is out of range for the type (infinity and NaN spellings are
// not numbers here).
std::optional<long> ParseLong(const std::wstring& text);
std::optional<double> ParseDouble(const std::wstring& text);

// ASCII case-insensitive comparison, as the ini and archive lookups use.
bool EqualsIgnoreCase(const std::wstring& a, const std::wstring& b);
std::wstring ToLowerAscii(std::wstring text);

// Replaces every occurrence of |from| in |text|, scanning from the start
// after each replacement.
std::wstring ReplaceAll(std::wstring text, const std::wstring& from, const std::wstring& to);

}  // namespace Utils
