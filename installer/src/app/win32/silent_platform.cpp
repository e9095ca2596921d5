#include "app/silent_platform.h"

#include <windows.h>
#include <objbase.h>
#include <tlhelp32.h>

#include <string>

#include "utils/system.h"
#include "utils/text.h"

namespace silent_platform {

namespace {

void Write(DWORD which, const std::wstring& text) {
  HANDLE handle = GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
  DWORD mode = 0;
  DWORD written = 0;
  if (GetConsoleMode(handle, &mode)) {
    WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  const std::string bytes = Utils::WideToUtf8(text);
  WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

bool StdoutIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

void WriteStdout(const std::wstring& text) { Write(STD_OUTPUT_HANDLE, text); }
void WriteStderr(const std::wstring& text) { Write(STD_ERROR_HANDLE, text); }

bool MoveTraceOffTerminal(const std::wstring&) { return false; }

std::wstring AbsolutePath(const std::wstring& path) {
  if (path.empty()) return path;
  wchar_t buffer[MAX_PATH * 2] = {};
  const DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH * 2, buffer, nullptr);
  return n == 0 || n >= MAX_PATH * 2 ? path : std::wstring(buffer, n);
}

int CheckNetwork() {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const int result = Utils::CheckNetwork();
  if (SUCCEEDED(com)) CoUninitialize();
  return result;
}

bool IsProcessRunning(const std::wstring& name) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  bool found = false;
  for (BOOL more = Process32FirstW(snapshot, &entry); more && !found; more = Process32NextW(snapshot, &entry))
    found = name == entry.szExeFile;
  CloseHandle(snapshot);
  return found;
}

}  // namespace silent_platform
