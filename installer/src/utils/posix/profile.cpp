// Our own private-profile reader and writer for POSIX. Every other line of a
// file is kept byte for byte when one key changes; the file is replaced in
// one rename, so a failed write leaves it as it was.
#include "utils/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

#include "utils/path.h"
#include "utils/text.h"

namespace Utils {
namespace {

constexpr char kBom[] = "\xEF\xBB\xBF";

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f'; }

std::wstring Trim(const std::wstring& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

struct Line {
  std::string raw;      // bytes without the line end
  std::string ending;   // "\r\n", "\n" or "" (last line)
  enum class Kind { kOther, kSection, kKey } kind = Kind::kOther;
  std::wstring name;    // section name, or key name
  std::optional<std::wstring> value;  // a key line without "=" has none
};

struct IniFile {
  bool bom = false;
  std::vector<Line> lines;
};

std::wstring DecodeUtf16Le(const std::string& bytes) {
  std::u16string units;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8));
  std::wstring out;
  for (size_t i = 0; i < units.size(); ++i) {
    uint32_t c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    }
    out += static_cast<wchar_t>(c);
  }
  return out;
}

void Classify(Line& line, const std::wstring& text) {
  size_t begin = 0;
  while (begin < text.size() && IsBlank(text[begin])) ++begin;
  if (begin == text.size()) return;
  if (text[begin] == L'[') {
    const size_t close = text.rfind(L']');
    if (close != std::wstring::npos && close > begin) {
      line.kind = Line::Kind::kSection;
      line.name = Trim(text.substr(begin + 1, close - begin - 1));
      return;
    }
  }
  line.kind = Line::Kind::kKey;
  const size_t equals = text.find(L'=', begin);
  if (equals == std::wstring::npos) {
    line.name = Trim(text.substr(begin));
  } else {
    line.name = Trim(text.substr(begin, equals - begin));
    line.value = Trim(text.substr(equals + 1));
  }
}

// Reads and parses a file; nullopt when it cannot be read.
std::optional<IniFile> Load(const std::wstring& path) {
  std::ifstream in(NarrowPath(path), std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes;
  try {
    // The stream buffer throws when the read itself fails (a folder where the
    // file should be), which the stream would have turned into badbit.
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } catch (const std::exception&) {
    return std::nullopt;
  }
  if (in.bad()) return std::nullopt;
  IniFile file;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
    // A UTF-16 file: parse it, and write it back as UTF-8 when it changes.
    const std::string utf8 = WideToUtf8(DecodeUtf16Le(bytes.substr(2)));
    bytes = std::string(kBom) + utf8;
  }
  size_t pos = 0;
  if (bytes.compare(0, 3, kBom) == 0) {
    file.bom = true;
    pos = 3;
  }
  while (pos < bytes.size()) {
    size_t end = bytes.find('\n', pos);
    Line line;
    if (end == std::string::npos) {
      line.raw = bytes.substr(pos);
      pos = bytes.size();
    } else {
      line.raw = bytes.substr(pos, end - pos);
      line.ending = "\n";
      pos = end + 1;
    }
    if (!line.raw.empty() && line.raw.back() == '\r') {
      line.raw.pop_back();
      line.ending = "\r" + line.ending;
    }
    // A NUL ends the line's text, as it ends a system string.
    std::string visible = line.raw.substr(0, line.raw.find('\0'));
    Classify(line, Utf8ToWide(visible));
    file.lines.push_back(std::move(line));
  }
  return file;
}

// Index of the first section line with this name, or -1.
long FindSection(const IniFile& file, const std::wstring& section) {
  const std::wstring wanted = Trim(section);
  for (size_t i = 0; i < file.lines.size(); ++i)
    if (file.lines[i].kind == Line::Kind::kSection && EqualsIgnoreCase(file.lines[i].name, wanted)) return static_cast<long>(i);
  return -1;
}

// Index of the key inside the section starting at |section_line|, or -1.
long FindKey(const IniFile& file, long section_line, const std::wstring& key) {
  const std::wstring wanted = Trim(key);
  for (size_t i = section_line + 1; i < file.lines.size(); ++i) {
    const Line& line = file.lines[i];
    if (line.kind == Line::Kind::kSection) break;
    if (line.kind == Line::Kind::kKey && EqualsIgnoreCase(line.name, wanted)) return static_cast<long>(i);
  }
  return -1;
}

std::wstring StripQuotes(const std::wstring& value) {
  if (value.size() > 1 && (value[0] == L'"' || value[0] == L'\'') && value.back() == value[0])
    return value.substr(1, value.size() - 2);
  return value;
}

std::wstring CutToBuffer(std::wstring text, size_t buffer_chars) {
  if (buffer_chars == 0) return {};
  if (text.size() > buffer_chars - 1) text.resize(buffer_chars - 1);
  return text;
}

std::string DefaultEnding(const IniFile& file) {
  for (const Line& line : file.lines)
    if (!line.ending.empty()) return line.ending;
  return "\r\n";
}

bool Save(const IniFile& file, const std::wstring& path) {
  std::string bytes = file.bom ? kBom : "";
  for (const Line& line : file.lines) bytes += line.raw + line.ending;
  const std::string target = NarrowPath(path);
  const std::string temp = target + ".tmp" + std::to_string(getpid());
  struct stat st {};
  const bool existed = ::stat(target.c_str(), &st) == 0;
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, existed ? (st.st_mode & 07777) : 0644);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    done += static_cast<size_t>(n);
  }
  const bool written = done == bytes.size() && ::fsync(fd) == 0;
  ::close(fd);
  if (!written || ::rename(temp.c_str(), target.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace

std::wstring GetProfileString(const std::wstring& section, const std::wstring& key,
                              const std::wstring& default_value, const std::wstring& path,
                              size_t buffer_chars) {
  std::wstring fallback = default_value;
  while (!fallback.empty() && IsBlank(fallback.back())) fallback.pop_back();
  fallback = CutToBuffer(fallback, buffer_chars);
  const auto file = Load(path);
  if (!file) return fallback;
  const long section_line = FindSection(*file, section);
  if (section_line < 0) return fallback;
  const long key_line = FindKey(*file, section_line, key);
  if (key_line < 0 || !file->lines[key_line].value) return fallback;
  return CutToBuffer(StripQuotes(*file->lines[key_line].value), buffer_chars);
}

int GetProfileInt(const std::wstring& section, const std::wstring& key, int default_value,
                  const std::wstring& path) {
  // The system reads the value into a 30-character buffer first.
  const std::wstring value = GetProfileString(section, key, L"", path, 30);
  if (value.empty()) return default_value;
  size_t i = 0;
  while (i < value.size() && value[i] <= L' ') ++i;
  bool negative = false;
  while (i < value.size() && (value[i] == L'+' || value[i] == L'-')) {
    if (value[i] == L'-') negative = !negative;
    ++i;
  }
  unsigned base = 10;
  if (i + 1 < value.size() && value[i] == L'0') {
    const wchar_t p = value[i + 1];
    if (p == L'x' || p == L'X') base = 16;
    else if (p == L'o' || p == L'O') base = 8;
    else if (p == L'b' || p == L'B') base = 2;
    if (base != 10) i += 2;
  }
  uint32_t result = 0;
  for (; i < value.size(); ++i) {
    const wchar_t c = value[i];
    unsigned digit;
    if (c >= L'0' && c <= L'9') digit = c - L'0';
    else if (c >= L'a' && c <= L'z') digit = c - L'a' + 10;
    else if (c >= L'A' && c <= L'Z') digit = c - L'A' + 10;
    else break;
    if (digit >= base) break;
    result = result * base + digit;  // wraps like the system's conversion
  }
  return static_cast<int>(negative ? 0u - result : result);
}

bool WriteProfileString(const std::wstring& section, const std::wstring& key,
                        const std::wstring& value, const std::wstring& path) {
  if (Trim(section).empty() || Trim(key).empty()) return false;
  IniFile file;
  if (FileExists(path)) {
    auto loaded = Load(path);
    if (!loaded) return false;
    file = std::move(*loaded);
  }
  // A line break inside a value would start a new key or section of its own.
  std::wstring clean = value;
  for (auto& c : clean)
    if (c == L'\r' || c == L'\n') c = L' ';
  Line key_line;
  key_line.raw = WideToUtf8(Trim(key)) + "=" + WideToUtf8(clean);
  key_line.kind = Line::Kind::kKey;
  key_line.name = Trim(key);
  key_line.value = Trim(clean);
  const std::string ending = DefaultEnding(file);
  key_line.ending = ending;

  auto close_last_line = [&]() {
    if (!file.lines.empty() && file.lines.back().ending.empty()) file.lines.back().ending = ending;
  };
  const long section_line = FindSection(file, section);
  if (section_line < 0) {
    close_last_line();
    Line header;
    header.raw = "[" + WideToUtf8(Trim(section)) + "]";
    header.ending = ending;
    header.kind = Line::Kind::kSection;
    header.name = Trim(section);
    file.lines.push_back(header);
    file.lines.push_back(key_line);
    return Save(file, path);
  }
  const long existing = FindKey(file, section_line, key);
  if (existing >= 0) {
    key_line.ending = file.lines[existing].ending.empty() ? "" : file.lines[existing].ending;
    key_line.raw = WideToUtf8(file.lines[existing].name) + "=" + WideToUtf8(clean);
    file.lines[existing] = key_line;
    return Save(file, path);
  }
  // New key: after the section's last non-blank line.
  size_t insert_at = section_line + 1;
  for (size_t i = section_line + 1; i < file.lines.size() && file.lines[i].kind != Line::Kind::kSection; ++i)
    if (file.lines[i].kind != Line::Kind::kOther || !Trim(Utf8ToWide(file.lines[i].raw)).empty()) insert_at = i + 1;
  if (insert_at == file.lines.size()) close_last_line();
  else if (file.lines[insert_at - 1].ending.empty()) file.lines[insert_at - 1].ending = ending;
  file.lines.insert(file.lines.begin() + static_cast<long>(insert_at), key_line);
  return Save(file, path);
}

}  // namespace Utils
