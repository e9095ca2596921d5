#include "app/silent_platform.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "utils/system.h"
#include "utils/text.h"

namespace silent_platform {

namespace {

void Write(std::FILE* stream, const std::wstring& text) {
  const std::string bytes = Utils::WideToUtf8(text);
  std::fwrite(bytes.data(), 1, bytes.size(), stream);
  std::fflush(stream);
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

void WriteStdout(const std::wstring& text) { Write(stdout, text); }
void WriteStderr(const std::wstring& text) { Write(stderr, text); }

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
