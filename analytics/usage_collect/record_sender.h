// One HTTP POST of an upload body to the collection endpoint.
#pragma once

#include <string>
#include <vector>

namespace usage_collect {

class RecordSender {
 public:
  explicit RecordSender(std::string server_url) : server_url_(std::move(server_url)) {}

  // Posts |body| with the user agent "KavrinCollect CPP SDK 0.9", a 3-second
  // limit and no redirects; the library's certificate and host checks stay
  // on. True exactly when the server answers 200; otherwise the answer (or the
  // transfer error) goes to standard error.
  bool Send(const std::string& body, const std::string& cookie) const;

  const std::string& server_url() const { return server_url_; }

 private:
  const std::string server_url_;
  const std::vector<std::string> extra_headers_;
};

extern const char kUserAgent[];
// A failure message quotes at most this much of the server's answer; the rest
// is read and discarded so a huge answer cannot exhaust memory.
constexpr size_t kMaxQuotedAnswer = 4096;

}  // namespace usage_collect
