// Private-profile (ini) files, with the observable behaviour of the Windows
// functions on both platforms: sections and keys compare ignoring ASCII case;
// values lose surrounding blanks and one pair of matching surrounding quotes;
// a value is cut to the caller's buffer (buffer_chars - 1 characters); the
// writer creates the file and keeps every other line as it was.
//
// On Windows these call the system's private-profile functions; on POSIX they
// read and write the file themselves (UTF-8, a byte-order mark skipped).
#pragma once

#include <string>

// windows.h turns these three names into macros for its own win.ini
// functions. Undefine them here, and give the W-suffixed spellings below, so
// our functions are reached whichever header a file includes first.
#ifdef GetProfileString
#undef GetProfileString
#endif
#ifdef GetProfileInt
#undef GetProfileInt
#endif
#ifdef WriteProfileString
#undef WriteProfileString
#endif

namespace Utils {

// The value of |key| in |section|, or |default_value| (trailing blanks
// removed) when the file, the section or the key is missing.
std::wstring GetProfileString(const std::wstring& section, const std::wstring& key,
                              const std::wstring& default_value, const std::wstring& path,
                              size_t buffer_chars = 260);

// The value as an integer: |default_value| when the key is missing or empty;
// otherwise the number in front (white space, sign, "0x" hex, "0o" octal and
// "0b" binary prefixes accepted; 0 when there are no digits).
int GetProfileInt(const std::wstring& section, const std::wstring& key, int default_value,
                  const std::wstring& path);

// Sets |key| in |section| to |value|, adding the section and the key when
// missing. False when the file cannot be written; the file is then unchanged.
bool WriteProfileString(const std::wstring& section, const std::wstring& key,
                        const std::wstring& value, const std::wstring& path);

inline std::wstring GetProfileStringW(const std::wstring& section, const std::wstring& key,
                                      const std::wstring& default_value, const std::wstring& path,
                                      size_t buffer_chars = 260) {
  return GetProfileString(section, key, default_value, path, buffer_chars);
}
inline int GetProfileIntW(const std::wstring& section, const std::wstring& key, int default_value,
                          const std::wstring& path) {
  return GetProfileInt(section, key, default_value, path);
}
inline bool WriteProfileStringW(const std::wstring& section, const std::wstring& key,
                                const std::wstring& value, const std::wstring& path) {
  return WriteProfileString(section, key, value, path);
}

}  // namespace Utils
