#include "app/records_platform.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "utils/path.h"
#include "utils/text.h"

extern char** environ;

namespace records_platform {

namespace {

std::wstring Env(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? Utils::ToWide(value, Utils::kCodePageAnsi) : std::wstring();
}

// Compared as the bytes the file system sees: a wide path given to the
// standard library would be converted with the C library's locale, which
// knows no Chinese unless the program set one.
std::string Normalised(const std::wstring& folder) {
  std::string text = std::filesystem::path(Utils::NarrowPath(folder)).lexically_normal().string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

// Runs |script| through /bin/sh with |target| as $0; the shell puts the real
// work in the background and ends, so the started program is never our child
// and leaves no zombie behind.
bool SpawnDetached(const char* script, const std::wstring& target) {
  const std::string narrow = Utils::NarrowPath(target);
  char* argv[] = {const_cast<char*>("sh"), const_cast<char*>("-c"), const_cast<char*>(script),
                  const_cast<char*>(narrow.c_str()), nullptr};
  pid_t pid = 0;
  if (::posix_spawn(&pid, "/bin/sh", nullptr, nullptr, argv, environ) != 0) return false;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool IsExecutableFile(const std::wstring& path) {
  struct stat st {};
  const std::string narrow = Utils::NarrowPath(path);
  return ::stat(narrow.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(narrow.c_str(), X_OK) == 0;
}

}  // namespace

std::wstring AppDataFolder() {
  std::wstring data = Env("XDG_DATA_HOME");
  if (!data.empty() && data[0] == L'/') return data;
  const std::wstring home = Env("HOME");
  return home.empty() ? std::wstring() : home + L"/.local/share";
}

std::wstring CommonDocumentsFolder() { return L"/usr/local/share"; }

std::wstring ProgramFilesFolder() { return L"/opt"; }

bool SameFolder(const std::wstring& a, const std::wstring& b) {
  if (a.empty() || b.empty()) return false;
  return Normalised(a) == Normalised(b);
}

bool ShellOpen(const std::wstring& target, Show) {
  if (target.empty()) return false;
  // A program is started directly, in its own folder; anything else (a web
  // address, a document) goes to the desktop's opener.
  if (IsExecutableFile(target))
    return SpawnDetached("cd \"$(dirname \"$0\")\" && \"$0\" </dev/null >/dev/null 2>&1 &", target);
  return SpawnDetached("xdg-open \"$0\" </dev/null >/dev/null 2>&1 &", target);
}

}  // namespace records_platform
