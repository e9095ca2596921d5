#include "app/silent_platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "utils/system.h"
#include "utils/text.h"

namespace silent_platform {

namespace {

// The terminal's error stream once the trace has been moved off it.
int g_message_fd = STDERR_FILENO;

void Write(int fd, const std::wstring& text) {
  const std::string bytes = Utils::WideToUtf8(text);
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

// The file name of a process's program: the target of /proc/<pid>/exe, or,
// when that is not ours to read, the first word of its command line.
std::string ProgramName(const std::string& pid) {
  char target[4096];
  const ssize_t n = ::readlink(("/proc/" + pid + "/exe").c_str(), target, sizeof target - 1);
  std::string path;
  if (n > 0) {
    path.assign(target, static_cast<size_t>(n));
    const std::string deleted = " (deleted)";
    if (path.size() > deleted.size() && path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
      path.resize(path.size() - deleted.size());
  } else {
    std::ifstream cmdline("/proc/" + pid + "/cmdline", std::ios::binary);
    std::getline(cmdline, path, '\0');
  }
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool StdoutIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

void WriteStdout(const std::wstring& text) {
  std::fflush(stdout);
  Write(STDOUT_FILENO, text);
}
void WriteStderr(const std::wstring& text) { Write(g_message_fd, text); }

bool MoveTraceOffTerminal(const std::wstring& trace_path) {
  if (::isatty(STDERR_FILENO) != 1 || trace_path.empty()) return false;
  const int trace = ::open(Utils::ToMultiByte(trace_path, Utils::kCodePageAnsi).c_str(),
                           O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (trace < 0) return false;
  const int terminal = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
  if (terminal < 0 || ::dup2(trace, STDERR_FILENO) < 0) {
    ::close(trace);
    if (terminal >= 0) ::close(terminal);
    return false;
  }
  ::close(trace);
  g_message_fd = terminal;
  return true;
}

std::wstring AbsolutePath(const std::wstring& path) {
  if (path.empty() || path[0] == L'/') return path;
  char buffer[4096];
  if (!::getcwd(buffer, sizeof buffer)) return path;
  return Utils::ToWide(buffer, Utils::kCodePageAnsi) + L"/" + path;
}

int CheckNetwork() { return Utils::CheckNetwork(); }

bool IsProcessRunning(const std::wstring& name) {
  const std::string wanted = Utils::ToMultiByte(name, Utils::kCodePageAnsi);
  DIR* proc = ::opendir("/proc");
  if (!proc) return false;
  bool found = false;
  while (const dirent* entry = ::readdir(proc)) {
    const std::string pid = entry->d_name;
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
    if (ProgramName(pid) == wanted) {
      found = true;
      break;
    }
  }
  ::closedir(proc);
  return found;
}

}  // namespace silent_platform
