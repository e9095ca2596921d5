// MD5 over bytes that arrive in pieces, so a file's digest can be taken while
// it is written instead of by reading it back afterwards.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace download_internal {

class Md5Stream {
 public:
  Md5Stream();
  ~Md5Stream();
  Md5Stream(const Md5Stream&) = delete;
  Md5Stream& operator=(const Md5Stream&) = delete;

  // False when the system's digest could not be set up or an update failed;
  // Final then returns empty text.
  bool ok() const;
  void Update(const void* data, size_t size);
  // Lower-case hexadecimal digest of everything given so far (32 characters),
  // as Utils::FileMd5 gives it for a file of the same bytes.
  std::string Final();

  class Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace download_internal
