#include "download/md5_stream.h"

#include <openssl/evp.h>

namespace download_internal {

class Md5Stream::Impl {
 public:
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  bool ok = context && EVP_DigestInit_ex(context, EVP_md5(), nullptr) == 1;
  ~Impl() { EVP_MD_CTX_free(context); }
};

Md5Stream::Md5Stream() : impl_(std::make_unique<Impl>()) {}
Md5Stream::~Md5Stream() = default;

bool Md5Stream::ok() const { return impl_->ok; }

void Md5Stream::Update(const void* data, size_t size) {
  if (impl_->ok && EVP_DigestUpdate(impl_->context, data, size) != 1) impl_->ok = false;
}

std::string Md5Stream::Final() {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned length = 0;
  if (!impl_->ok || EVP_DigestFinal_ex(impl_->context, digest, &length) != 1) return {};
  impl_->ok = false;
  static const char kHex[] = "0123456789abcdef";
  std::string text;
  for (unsigned i = 0; i < length; ++i) {
    text += kHex[digest[i] >> 4];
    text += kHex[digest[i] & 15];
  }
  return text;
}

}  // namespace download_internal
