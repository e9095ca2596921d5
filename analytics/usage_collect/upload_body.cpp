#include "upload_body.h"

#include <zlib.h>

#include <iostream>

namespace usage_collect {

namespace {
constexpr size_t kChunk = 32768;
}

bool GzipCompress(const std::string& data, std::string& out) {
  out.clear();
  z_stream stream{};
  if (deflateInit2(&stream, 9, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    std::cerr << "deflateInit2 failed while compressing." << std::endl;
    return false;
  }
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  unsigned char buffer[kChunk];
  int result = Z_OK;
  do {
    stream.next_out = buffer;
    stream.avail_out = kChunk;
    result = deflate(&stream, Z_FINISH);
    out.append(reinterpret_cast<const char*>(buffer), kChunk - stream.avail_out);
  } while (result == Z_OK);
  const char* message = stream.msg;
  deflateEnd(&stream);
  if (result != Z_STREAM_END) {
    std::cerr << "Exception during zlib compression: (" << result << ") "
              << (message ? message : "") << std::endl;
    out.clear();
    return false;
  }
  return true;
}

std::string Base64Encode(const std::string& data) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((data.size() + 2) / 3 * 4);
  size_t i = 0;
  const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
  for (; i + 3 <= data.size(); i += 3) {
    uint32_t n = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += kAlphabet[(n >> 6) & 63];
    out += kAlphabet[n & 63];
  }
  const size_t rest = data.size() - i;
  if (rest == 1) {
    uint32_t n = bytes[i] << 16;
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += "==";
  } else if (rest == 2) {
    uint32_t n = (bytes[i] << 16) | (bytes[i + 1] << 8);
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += kAlphabet[(n >> 6) & 63];
    out += '=';
  }
  return out;
}

std::string PercentEncode(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() * 3 / 2);
  for (unsigned char c : text) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '.' || c == '_' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

bool BuildUploadBody(const std::string& json, std::string& body) {
  std::string compressed;
  if (!GzipCompress(json, compressed)) return false;
  body = "data_list=" + PercentEncode(Base64Encode(compressed)) + "&gzip=1";
  return true;
}

}  // namespace usage_collect
