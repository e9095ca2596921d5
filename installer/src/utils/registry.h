// Values under the product's key "Software\KavrinSoft\VanteloPDFconverter"
// of the current user. Windows: the registry under HKEY_CURRENT_USER. POSIX:
// a key file under $XDG_CONFIG_HOME (default ~/.config), one file per key
// path, REG_SZ values only.
#pragma once

#include <string>

namespace Utils {

constexpr unsigned long kRegSz = 1;  // REG_SZ
extern const wchar_t kProductRegistryKey[];

// Creates the key when needed and stores |text| as REG_SZ. False on failure.
bool WriteRegString(const std::wstring& value_name, const std::wstring& text);

// Reads a value of the product key. False when the key or value is missing
// or unreadable; |type| receives the value type (kRegSz).
bool ReadRegString(const std::wstring& value_name, unsigned long& type, std::wstring& text);

// Where the POSIX backend keeps the product key (for tests and the README);
// empty on Windows.
std::wstring RegistryKeyFilePath();

}  // namespace Utils
