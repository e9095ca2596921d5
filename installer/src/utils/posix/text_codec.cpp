// Code pages on POSIX: UTF-8 natively, everything else through iconv. The
// "ANSI code page" is the locale's character set; with no locale set (the
// C locale's ASCII) UTF-8 is used, which is what file names are in practice.
#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <clocale>
#include <cstring>

#include "utils/text.h"

namespace Utils {
namespace {

std::string AnsiCharset() {
  const char* codeset = ::nl_langinfo(CODESET);
  if (!codeset || !*codeset || std::strcmp(codeset, "ANSI_X3.4-1968") == 0 || std::strcmp(codeset, "US-ASCII") == 0)
    return "UTF-8";
  return codeset;
}

// The iconv name of a code page, empty for UTF-8 (handled natively) and
// "?" for one we do not know.
std::string CharsetOf(unsigned code_page) {
  switch (code_page) {
    case kCodePageAnsi: {
      std::string charset = AnsiCharset();
      return (charset == "UTF-8" || charset == "utf8") ? "" : charset;
    }
    case kCodePageUtf8: return "";
    case 936: return "GBK";
    case 54936: return "GB18030";
    case 950: return "BIG5";
    case 932: return "SHIFT_JIS";
    case 949: return "CP949";
    case 1252: return "CP1252";
    case 1200: return "UTF-16LE";
    case 20127: return "ASCII";
    case 28591: return "ISO-8859-1";
    default:
      if (code_page >= 874 && code_page <= 1258) return "CP" + std::to_string(code_page);
      return "?";
  }
}

const char* WideCharset() { return sizeof(wchar_t) == 4 ? "UTF-32LE" : "UTF-16LE"; }

class Iconv {
 public:
  Iconv(const char* to, const char* from) : handle_(::iconv_open(to, from)) {}
  ~Iconv() {
    if (ok()) ::iconv_close(handle_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool ok() const { return handle_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return handle_; }

 private:
  iconv_t handle_;
};

}  // namespace

std::wstring ToWide(const std::string& input, unsigned code_page) {
  const std::string text = input.substr(0, input.find('\0'));
  if (text.empty()) return {};
  const std::string charset = CharsetOf(code_page);
  if (charset.empty()) return Utf8ToWide(text);
  if (charset == "?") return {};
  Iconv cd(WideCharset(), charset.c_str());
  if (!cd.ok()) return {};
  std::wstring out;
  char* in = const_cast<char*>(text.data());
  size_t in_left = text.size();
  wchar_t buffer[256];
  while (in_left > 0) {
    char* out_ptr = reinterpret_cast<char*>(buffer);
    size_t out_left = sizeof buffer;
    const size_t r = ::iconv(cd.get(), &in, &in_left, &out_ptr, &out_left);
    out.append(buffer, (sizeof buffer - out_left) / sizeof(wchar_t));
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      // An invalid or cut sequence: one replacement character, skip a byte.
      out += static_cast<wchar_t>(0xFFFD);
      ++in;
      --in_left;
    }
  }
  return out;
}

std::string ToMultiByte(const std::wstring& input, unsigned code_page) {
  const std::wstring text = input.substr(0, input.find(L'\0'));
  if (text.empty()) return {};
  const std::string charset = CharsetOf(code_page);
  if (charset.empty()) return WideToUtf8(text);
  if (charset == "?") return {};
  Iconv cd(charset.c_str(), WideCharset());
  if (!cd.ok()) return {};
  std::string out;
  char* in = const_cast<char*>(reinterpret_cast<const char*>(text.data()));
  size_t in_left = text.size() * sizeof(wchar_t);
  char buffer[1024];
  while (in_left > 0) {
    char* out_ptr = buffer;
    size_t out_left = sizeof buffer;
    const size_t r = ::iconv(cd.get(), &in, &in_left, &out_ptr, &out_left);
    out.append(buffer, sizeof buffer - out_left);
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      // A character the code page cannot hold becomes "?", as the system
      // converter's default character.
      out += '?';
      in += sizeof(wchar_t);
      in_left -= std::min(in_left, sizeof(wchar_t));
    }
  }
  return out;
}

}  // namespace Utils
