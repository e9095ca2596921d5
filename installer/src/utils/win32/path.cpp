#include <windows.h>
#include <shlwapi.h>

#include "utils/path.h"
#include "utils/text.h"

namespace Utils {

std::string NarrowPath(const std::wstring& path) { return ToMultiByte(path, kCodePageAnsi); }

std::wstring ExecutablePath() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  return n == 0 ? std::wstring() : std::wstring(buffer, n);
}

bool FileExists(const std::wstring& path) { return !path.empty() && PathFileExistsW(path.c_str()); }

bool IsDirectory(const std::wstring& path) {
  const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DeleteFileAt(const std::wstring& path) {
  return DeleteFileW(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND;
}

namespace internal {
bool MakeDirectory(const std::wstring& path) { return CreateDirectoryW(path.c_str(), nullptr) != FALSE; }
}  // namespace internal

}  // namespace Utils
