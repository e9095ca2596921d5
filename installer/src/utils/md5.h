#pragma once

#include <string>

namespace Utils {

// Lower-case hexadecimal MD5 of a file's bytes (32 characters); empty when the
// path is empty or the file cannot be opened or read.
std::string FileMd5(const std::string& path);

// MD5 of bytes in memory, lower-case hexadecimal.
std::string BytesMd5(const std::string& bytes);

}  // namespace Utils
