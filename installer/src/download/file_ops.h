// The few file queries the downloaders make on narrow paths (the ANSI code
// page), as the C runtime's narrow file functions take them.
#pragma once

#include <cstdint>
#include <string>

namespace download_internal {

// Size in bytes (64-bit, so files of 2 GiB and more are measured right);
// -1 when the file does not exist or cannot be queried.
int64_t FileSize(const std::string& narrow_path);

}  // namespace download_internal
