// Paths: the folder separator, joining, and the running executable.
#pragma once

#include <string>

namespace Utils {

#ifdef _WIN32
constexpr wchar_t kPathSeparator = L'\\';
#else
constexpr wchar_t kPathSeparator = L'/';
#endif

// Joins a folder and a name with exactly one separator between them.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);

// The text after the last separator (either "/" or "\" on Windows).
std::wstring FileNamePart(const std::wstring& path);
// The text before the last separator, without it; empty when there is none.
std::wstring FolderPart(const std::wstring& path);

// The path as the C runtime's narrow file functions take it (ANSI code page;
// UTF-8 on POSIX).
std::string NarrowPath(const std::wstring& path);

// Full path of the running executable; empty on failure.
std::wstring ExecutablePath();

bool FileExists(const std::wstring& path);       // a file or a folder
bool IsDirectory(const std::wstring& path);
bool DeleteFileAt(const std::wstring& path);     // true when the file is gone afterwards

}  // namespace Utils
