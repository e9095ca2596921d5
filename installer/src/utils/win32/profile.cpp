#include <windows.h>

#include "utils/profile.h"

#include <vector>

namespace Utils {

std::wstring GetProfileString(const std::wstring& section, const std::wstring& key,
                              const std::wstring& default_value, const std::wstring& path,
                              size_t buffer_chars) {
  if (buffer_chars == 0) return {};
  std::vector<wchar_t> buffer(buffer_chars, L'\0');
  const DWORD n = GetPrivateProfileStringW(section.c_str(), key.c_str(), default_value.c_str(), buffer.data(),
                                           static_cast<DWORD>(buffer_chars), path.c_str());
  return std::wstring(buffer.data(), n);
}

int GetProfileInt(const std::wstring& section, const std::wstring& key, int default_value, const std::wstring& path) {
  return static_cast<int>(GetPrivateProfileIntW(section.c_str(), key.c_str(), default_value, path.c_str()));
}

bool WriteProfileString(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                        const std::wstring& path) {
  // A line break inside a value would start a new key or section of its own.
  std::wstring clean = value;
  for (auto& c : clean)
    if (c == L'\r' || c == L'\n') c = L' ';
  return WritePrivateProfileStringW(section.c_str(), key.c_str(), clean.c_str(), path.c_str()) != FALSE;
}

}  // namespace Utils
