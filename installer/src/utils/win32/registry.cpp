#include "utils/registry.h"

#include <windows.h>

#include <vector>

namespace Utils {

const wchar_t kProductRegistryKey[] = L"Software\\KavrinSoft\\VanteloPDFconverter";

bool WriteRegString(const std::wstring& value_name, const std::wstring& text) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kProductRegistryKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  // The terminating zero is not written: the byte count is twice the length.
  const LONG result = RegSetValueExW(key, value_name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                     static_cast<DWORD>(text.size() * 2));
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

bool ReadRegString(const std::wstring& value_name, unsigned long& type, std::wstring& text) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kProductRegistryKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD value_type = 0, bytes = 0;
  bool ok = false;
  if (RegQueryValueExW(key, value_name.c_str(), nullptr, &value_type, nullptr, &bytes) == ERROR_SUCCESS) {
    std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 2, L'\0');
    DWORD size = bytes;
    if (RegQueryValueExW(key, value_name.c_str(), nullptr, &value_type, reinterpret_cast<BYTE*>(buffer.data()), &size) == ERROR_SUCCESS) {
      type = value_type;
      text = buffer.data();
      ok = true;
    }
  }
  RegCloseKey(key);
  return ok;
}

std::wstring RegistryKeyFilePath() { return {}; }

}  // namespace Utils
