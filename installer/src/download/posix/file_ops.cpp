#include "download/file_ops.h"

#include <sys/stat.h>

namespace download_internal {

int64_t FileSize(const std::string& narrow_path) {
  struct stat info;
  if (::stat(narrow_path.c_str(), &info) != 0) return -1;
  return static_cast<int64_t>(info.st_size);
}

}  // namespace download_internal
