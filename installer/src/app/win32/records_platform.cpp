#include "app/records_platform.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

namespace records_platform {

namespace {

std::wstring ShellFolder(int csidl) {
  wchar_t buffer[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer))) return {};
  return buffer;
}

// "D:\P\" and "D:\P" name the same folder; a trailing separator must not
// make them differ (a drive root keeps its own).
std::wstring WithoutTrailingSeparators(std::wstring folder) {
  while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  return folder;
}

}  // namespace

std::wstring AppDataFolder() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD n = GetEnvironmentVariableW(L"APPDATA", buffer, MAX_PATH + 1);
  if (n == 0 || n > MAX_PATH) return {};
  return buffer;
}

std::wstring CommonDocumentsFolder() { return ShellFolder(CSIDL_COMMON_DOCUMENTS); }

std::wstring ProgramFilesFolder() {
  std::wstring folder = ShellFolder(CSIDL_PROGRAM_FILESX86);
  if (folder.empty()) folder = ShellFolder(CSIDL_PROGRAM_FILES);
  return folder;
}

bool SameFolder(const std::wstring& a_text, const std::wstring& b_text) {
  if (a_text.empty() || b_text.empty()) return false;
  const std::wstring a = WithoutTrailingSeparators(a_text);
  const std::wstring b = WithoutTrailingSeparators(b_text);
  wchar_t relative[MAX_PATH] = {};
  if (!PathRelativePathToW(relative, a.c_str(), FILE_ATTRIBUTE_DIRECTORY, b.c_str(),
                           FILE_ATTRIBUTE_DIRECTORY))
    return false;
  return lstrcmpW(relative, L".") == 0;
}

bool ShellOpen(const std::wstring& target, Show show) {
  if (target.empty()) return false;
  const HINSTANCE result =
      ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr,
                    show == Show::kMaximised ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace records_platform
