#include "utils/md5.h"

#include <openssl/evp.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace Utils {
namespace {

struct DigestContext {
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  ~DigestContext() { EVP_MD_CTX_free(ctx); }
};

std::string Hex(const unsigned char* digest, unsigned length) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned i = 0; i < length; ++i) {
    out += kHex[digest[i] >> 4];
    out += kHex[digest[i] & 15];
  }
  return out;
}

}  // namespace

std::string FileMd5(const std::string& path) {
  if (path.empty()) return {};
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return {};
  DigestContext context;
  if (!context.ctx || EVP_DigestInit_ex(context.ctx, EVP_md5(), nullptr) != 1) return {};
  // Large reads straight past stdio's buffer keep pace with md5sum.
  std::setvbuf(file.get(), nullptr, _IONBF, 0);
  std::vector<unsigned char> block(256 * 1024);
  size_t n;
  while ((n = std::fread(block.data(), 1, block.size(), file.get())) > 0)
    EVP_DigestUpdate(context.ctx, block.data(), n);
  if (std::ferror(file.get())) return {};
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned length = 0;
  EVP_DigestFinal_ex(context.ctx, digest, &length);
  return Hex(digest, length);
}

std::string BytesMd5(const std::string& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr);
  return Hex(digest, length);
}

}  // namespace Utils
