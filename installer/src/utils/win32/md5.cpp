#include "utils/md5.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace Utils {
namespace {

class Md5 {
 public:
  Md5() {
    if (BCryptOpenAlgorithmProvider(&algorithm_, BCRYPT_MD5_ALGORITHM, nullptr, 0) != 0) algorithm_ = nullptr;
    if (algorithm_ && BCryptCreateHash(algorithm_, &hash_, nullptr, 0, nullptr, 0, 0) != 0) hash_ = nullptr;
  }
  ~Md5() {
    if (hash_) BCryptDestroyHash(hash_);
    if (algorithm_) BCryptCloseAlgorithmProvider(algorithm_, 0);
  }
  Md5(const Md5&) = delete;
  Md5& operator=(const Md5&) = delete;
  bool ok() const { return hash_ != nullptr; }
  void Update(const void* data, size_t size) {
    BCryptHashData(hash_, static_cast<PUCHAR>(const_cast<void*>(data)), static_cast<ULONG>(size), 0);
  }
  std::string HexDigest() {
    unsigned char digest[16];
    BCryptFinishHash(hash_, digest, sizeof digest, 0);
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : digest) {
      out += kHex[b >> 4];
      out += kHex[b & 15];
    }
    return out;
  }

 private:
  BCRYPT_ALG_HANDLE algorithm_ = nullptr;
  BCRYPT_HASH_HANDLE hash_ = nullptr;
};

}  // namespace

std::string FileMd5(const std::string& path) {
  if (path.empty()) return {};
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return {};
  Md5 md5;
  if (!md5.ok()) return {};
  std::vector<unsigned char> block(256 * 1024);
  size_t n;
  while ((n = std::fread(block.data(), 1, block.size(), file.get())) > 0) md5.Update(block.data(), n);
  if (std::ferror(file.get())) return {};
  return md5.HexDigest();
}

std::string BytesMd5(const std::string& bytes) {
  Md5 md5;
  if (!md5.ok()) return {};
  md5.Update(bytes.data(), bytes.size());
  return md5.HexDigest();
}

}  // namespace Utils
