// The product's registry key as a key file: $XDG_CONFIG_HOME (or ~/.config)
// + the key path with "/" for "\" + ".reg". One line per value, "name=text",
// with "\\", "\n", "\r" and "\=" escaped so that any text survives.
#include "utils/registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>

#include "utils/path.h"
#include "utils/system.h"
#include "utils/text.h"

namespace Utils {

const wchar_t kProductRegistryKey[] = L"Software\\KavrinSoft\\VanteloPDFconverter";

namespace {

std::string Escape(const std::string& text, bool name) {
  std::string out;
  for (char c : text) {
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '=' && name) out += "\\=";
    else out += c;
  }
  return out;
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    out += c == 'n' ? '\n' : c == 'r' ? '\r' : c;
  }
  return out;
}

// Registry names compare ignoring case; the map key is the lower-cased name.
struct Value {
  std::string name;
  std::string text;
};

bool Load(const std::wstring& path, std::map<std::wstring, Value>& values) {
  std::ifstream in(NarrowPath(path), std::ios::binary);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    size_t split = std::string::npos;
    for (size_t i = 0; i < line.size(); ++i) {
      if (line[i] == '\\') { ++i; continue; }
      if (line[i] == '=') { split = i; break; }
    }
    if (split == std::string::npos) continue;  // a broken line says nothing
    Value v{Unescape(line.substr(0, split)), Unescape(line.substr(split + 1))};
    values[ToLowerAscii(Utf8ToWide(v.name))] = v;
  }
  return !in.bad();
}

}  // namespace

std::wstring RegistryKeyFilePath() {
  std::string base;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/') {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    const passwd* pw = home && *home ? nullptr : ::getpwuid(::geteuid());
    base = std::string(home && *home ? home : (pw ? pw->pw_dir : "/tmp")) + "/.config";
  }
  return Utf8ToWide(base) + L"/" + ReplaceAll(kProductRegistryKey, L"\\", L"/") + L".reg";
}

bool WriteRegString(const std::wstring& value_name, const std::wstring& text) {
  const std::wstring path = RegistryKeyFilePath();
  if (!CreateDirectories(FolderPart(path))) return false;
  std::map<std::wstring, Value> values;
  if (FileExists(path) && !Load(path, values)) return false;
  // Registry strings end at their first NUL.
  values[ToLowerAscii(value_name)] = Value{WideToUtf8(value_name), WideToUtf8(text)};
  std::string bytes;
  for (const auto& [key, v] : values) bytes += Escape(v.name, true) + "=" + Escape(v.text, false) + "\n";
  const std::string target = NarrowPath(path);
  const std::string temp = target + ".tmp" + std::to_string(::getpid());
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  const bool ok = done == bytes.size() && ::fsync(fd) == 0;
  ::close(fd);
  if (!ok || ::rename(temp.c_str(), target.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

bool ReadRegString(const std::wstring& value_name, unsigned long& type, std::wstring& text) {
  std::map<std::wstring, Value> values;
  if (!Load(RegistryKeyFilePath(), values)) return false;
  const auto it = values.find(ToLowerAscii(value_name));
  if (it == values.end()) return false;
  type = kRegSz;
  text = Utf8ToWide(it->second.text);
  return true;
}

}  // namespace Utils
