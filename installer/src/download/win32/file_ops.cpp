#include "download/file_ops.h"

#include <sys/stat.h>
#include <sys/types.h>

namespace download_internal {

int64_t FileSize(const std::string& narrow_path) {
  // The 64-bit variant: plain _stat reports sizes in 32 bits.
  struct _stati64 info;
  if (::_stati64(narrow_path.c_str(), &info) != 0) return -1;
  return static_cast<int64_t>(info.st_size);
}

}  // namespace download_internal
