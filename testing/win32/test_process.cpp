// Under Wine a Windows program can start Linux programs with CreateProcessW,
// but it cannot end them; the servers are asked to stop instead.
#include "test_process.h"

#include <winsock2.h>
#include <windows.h>

#include "utils/text.h"

namespace vantelo_testing::internal {
namespace {
constexpr intptr_t kNoHandle = 1;
}  // namespace

int FreeLoopbackPort() {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return 0;
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
  int port = 0;
  if (s != INVALID_SOCKET) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0)
      port = ntohs(address.sin_port);
    ::closesocket(s);
  }
  WSACleanup();
  return port;
}

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
