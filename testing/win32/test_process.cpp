// Under Wine a Windows program can start Linux programs with CreateProcessW,
// but it cannot end them; the servers are asked to stop instead.
#include "test_process.h"

#include <windows.h>

#include "utils/text.h"

namespace vantelo_testing::internal {
namespace {
constexpr intptr_t kNoHandle = 1;
}  // namespace

// Sockets of a Windows program under Wine proved unreliable for this probe;
// the caller asks a Linux helper for the port instead.
int FreeLoopbackPort() { return 0; }

intptr_t SpawnProcess(const std::vector<std::string>& argv) {
  std::wstring command;
  for (const std::string& a : argv) {
    if (!command.empty()) command += L' ';
    command += L'"' + Utils::Utf8ToWide(a) + L'"';
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info))
    return 0;
  if (info.hThread) CloseHandle(info.hThread);
  // Wine gives no process handle for a Linux program; the start still counts.
  return info.hProcess ? reinterpret_cast<intptr_t>(info.hProcess) : kNoHandle;
}

bool EndProcess(intptr_t process) { return false; }

void ReleaseProcess(intptr_t process) {
  if (process && process != kNoHandle) CloseHandle(reinterpret_cast<HANDLE>(process));
}

std::string ServerPath(const std::string& path) {
  using Convert = char*(CDECL*)(const wchar_t*);
  auto convert = reinterpret_cast<Convert>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"));
  if (!convert) return path;
  char* unix_path = convert(Utils::Utf8ToWide(path).c_str());
  if (!unix_path) return path;
  std::string result = unix_path;
  HeapFree(GetProcessHeap(), 0, unix_path);
  return result;
}

std::string LocalPath(const std::string& unix_path) {
  if (unix_path.empty() || unix_path[0] != '/') return unix_path;
  std::string local = "Z:" + unix_path;
  for (char& c : local)
    if (c == '/') c = '\\';
  return local;
}

bool UnderWine() {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

}  // namespace vantelo_testing::internal
