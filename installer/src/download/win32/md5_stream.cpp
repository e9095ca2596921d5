#include "download/md5_stream.h"

#include <windows.h>
#include <bcrypt.h>

#include <vector>

namespace download_internal {

class Md5Stream::Impl {
 public:
  Impl() {
    ok = BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_MD5_ALGORITHM, nullptr, 0) >= 0 &&
         BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) >= 0;
  }
  ~Impl() {
    if (hash) BCryptDestroyHash(hash);
    if (algorithm) BCryptCloseAlgorithmProvider(algorithm, 0);
  }
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  bool ok = false;
};

Md5Stream::Md5Stream() : impl_(std::make_unique<Impl>()) {}
Md5Stream::~Md5Stream() = default;

bool Md5Stream::ok() const { return impl_->ok; }

void Md5Stream::Update(const void* data, size_t size) {
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  while (impl_->ok && size > 0) {
    const ULONG piece = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
    if (BCryptHashData(impl_->hash, const_cast<PUCHAR>(bytes), piece, 0) < 0) impl_->ok = false;
    bytes += piece;
    size -= piece;
  }
}

std::string Md5Stream::Final() {
  unsigned char digest[16];
  if (!impl_->ok || BCryptFinishHash(impl_->hash, digest, sizeof(digest), 0) < 0) return {};
  impl_->ok = false;
  static const char kHex[] = "0123456789abcdef";
  std::string text;
  for (unsigned char b : digest) {
    text += kHex[b >> 4];
    text += kHex[b & 15];
  }
  return text;
}

}  // namespace download_internal
