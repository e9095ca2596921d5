#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "utils/path.h"
#include "utils/text.h"

namespace Utils {

std::string NarrowPath(const std::wstring& path) { return ToMultiByte(path, kCodePageAnsi); }

std::wstring ExecutablePath() {
  char buffer[PATH_MAX + 1];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, PATH_MAX);
  if (n <= 0) return {};
  return ToWide(std::string(buffer, static_cast<size_t>(n)), kCodePageAnsi);
}

bool FileExists(const std::wstring& path) {
  struct stat st {};
  return !path.empty() && ::stat(NarrowPath(path).c_str(), &st) == 0;
}

bool IsDirectory(const std::wstring& path) {
  struct stat st {};
  return !path.empty() && ::stat(NarrowPath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DeleteFileAt(const std::wstring& path) {
  const std::string narrow = NarrowPath(path);
  return ::unlink(narrow.c_str()) == 0 || errno == ENOENT;
}

namespace internal {
bool MakeDirectory(const std::wstring& path) {
  return ::mkdir(NarrowPath(path).c_str(), 0755) == 0 || errno == EEXIST;
}
}  // namespace internal

}  // namespace Utils
