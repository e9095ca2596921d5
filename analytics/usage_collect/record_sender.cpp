#include "record_sender.h"

#include <curl/curl.h>

#include <iostream>
#include <memory>

namespace usage_collect {

const char kUserAgent[] = "KavrinCollect CPP SDK 0.9";

namespace {

size_t KeepHead(char* data, size_t size, size_t count, void* user) {
  auto* answer = static_cast<std::string*>(user);
  const size_t bytes = size * count;
  if (answer->size() < kMaxQuotedAnswer)
    answer->append(data, std::min(bytes, kMaxQuotedAnswer - answer->size()));
  return bytes;
}

size_t Discard(char*, size_t size, size_t count, void*) { return size * count; }

struct CurlDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct ListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

}  // namespace

bool RecordSender::Send(const std::string& body, const std::string& cookie) const {
  std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
  if (!curl) {
    std::cerr << "Couldn't initialize curl handle" << std::endl;
    return false;
  }
  std::unique_ptr<curl_slist, ListDeleter> headers;
  auto add_header = [&](const std::string& line) {
    curl_slist* grown = curl_slist_append(headers.get(), line.c_str());
    if (grown) {
      headers.release();
      headers.reset(grown);
    }
  };
  for (const auto& line : extra_headers_) add_header(line);
  if (!cookie.empty()) add_header("Cookie: " + cookie);

  std::string answer;
  CURL* h = curl.get();
  curl_easy_setopt(h, CURLOPT_URL, server_url_.c_str());
  curl_easy_setopt(h, CURLOPT_POST, 1L);
  curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.data());
  curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  curl_easy_setopt(h, CURLOPT_USERAGENT, kUserAgent);
  curl_easy_setopt(h, CURLOPT_TIMEOUT, 3L);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, KeepHead);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &answer);
  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, Discard);
  if (headers) curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());

  long status = -1;
  const CURLcode result = curl_easy_perform(h);
  if (result == CURLE_OK) {
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
  } else {
    answer = curl_easy_strerror(result);
  }
  if (status == 200) return true;
  std::cerr << "KavrinCollect SDK send failed: " << answer << std::endl;
  return false;
}

}  // namespace usage_collect
