// Under Wine a Windows program may start a Linux program directly: the
// collector is the Linux python3, so the paths handed to it are Linux paths,
// and this side reads them through Wine's drive Z:, which maps "/".
#include "../collector_process.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace testing_support {

namespace {

std::wstring Widen(const std::string& text) {
  if (text.empty()) return std::wstring();
  int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(size, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

// "/a/b" -> "Z:\a\b"
std::wstring HostPath(const std::string& path) {
  std::wstring wide = Widen(path);
  for (auto& c : wide)
    if (c == L'/') c = L'\\';
  return L"Z:" + wide;
}

}  // namespace

void* StartCollectorProcess(const std::string& script, const std::string& port_file) {
  std::wstring command =
      L"/usr/bin/python3 \"" + Widen(script) + L"\" --port-file \"" + Widen(port_file) + L"\" --life-limit 300";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    std::fprintf(stderr, "CreateProcessW failed with %lu\n", GetLastError());
    return nullptr;
  }
  // Wine gives no process handle for a Linux program it started; the server
  // then ends on /quit without being waited for.
  if (info.hThread) CloseHandle(info.hThread);
  return new HANDLE(info.hProcess);
}

void WaitCollectorProcess(void* handle) {
  auto* process = static_cast<HANDLE*>(handle);
  if (!process) return;
  if (*process) {
    WaitForSingleObject(*process, 5000);
    CloseHandle(*process);
  }
  delete process;
}

bool ReadCollectorFile(const std::string& path, std::string& content) {
  std::ifstream in(HostPath(path).c_str(), std::ios::binary);
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  content = text.str();
  return true;
}

void RemoveCollectorFile(const std::string& path) { DeleteFileW(HostPath(path).c_str()); }

std::string CollectorScratchFolder() {
  // The build folder is a Linux path handed down by the test runner.
  const char* binary = std::getenv("VANTELO_BINARY_DIR");
  return binary && *binary ? binary : "/tmp";
}

void SleepMilliseconds(int milliseconds) { Sleep(milliseconds); }

unsigned long CurrentProcessNumber() { return GetCurrentProcessId(); }

}  // namespace testing_support
