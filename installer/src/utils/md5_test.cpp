#include "utils/md5.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

std::string WriteFile(const std::string& name, const std::string& bytes) {
  const fs::path path = fs::temp_directory_path() / name;
  std::ofstream(path, std::ios::binary) << bytes;
  return path.string();
}

TEST(FileMd5, KnownDigests) {
  EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", Utils::FileMd5(WriteFile("md5_empty", "")));
  EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", Utils::FileMd5(WriteFile("md5_abc", "abc")));
  EXPECT_EQ("", Utils::FileMd5((fs::temp_directory_path() / "md5_missing_file").string()));
  EXPECT_EQ("", Utils::FileMd5(""));
}

TEST(FileMd5, SpansManyReadBlocks) {
  std::string bytes;
  for (int i = 0; i < 700000; ++i) bytes += static_cast<char>(i * 7 + (i >> 8));
  EXPECT_EQ(Utils::BytesMd5(bytes), Utils::FileMd5(WriteFile("md5_big", bytes)));
  EXPECT_EQ(32u, Utils::BytesMd5(bytes).size());
}

}  // namespace
