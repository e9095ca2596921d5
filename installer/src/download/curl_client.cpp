#include "download/curl_client.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "download/file_ops.h"
#include "event_reporting.h"
#include "utils/debug_log.h"
#include "utils/path.h"
#include "utils/text.h"

namespace download_internal {

size_t DiscardBody(char* data, size_t size, size_t count, void* unused) { return size * count; }

int64_t WallSeconds() { return static_cast<int64_t>(std::time(nullptr)); }

std::wstring CurlErrorText(int code) {
  return Utils::ToWide(curl_easy_strerror(static_cast<CURLcode>(code)), Utils::kCodePageAnsi);
}

}  // namespace download_internal

namespace {

using download_internal::CurlErrorText;

constexpr wchar_t kSizeFailureEvent[] = L"下载失败原因";
constexpr wchar_t kSizeFailureReason[] = L"1.获取文件大小的状态码为=%ld；";

size_t WritePart(char* data, size_t size, size_t count, void* file) {
  return std::fwrite(data, 1, size * count, static_cast<FILE*>(file));
}

void ReportSizeFailure(long status) {
  ReportTaskEvent(kSizeFailureEvent, 0.0f, Utils::FormatWide(kSizeFailureReason, status),
                  EventExtras{{L"AB", L"IN"}});
}

bool StatusUsable(long status) { return status >= 200 && status <= 399; }

// Options shared by the header-only requests; OR of their results.
int SetHeadOptions(CURL* handle, const std::string& url, bool follow, bool header) {
  int code = curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  if (follow) {
    code |= curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    code |= curl_easy_setopt(handle, CURLOPT_MAXREDIRS, download_internal::kMaxRedirects);
  }
  if (header) code |= curl_easy_setopt(handle, CURLOPT_HEADER, 1L);
  code |= curl_easy_setopt(handle, CURLOPT_NOBODY, 1L);
  code |= curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &download_internal::DiscardBody);
  code |= curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, 60L);
  return code;
}

}  // namespace

CurlClient::CurlClient(const std::wstring& url, const std::wstring& path, void* owner,
                       ProgressFunction progress)
    : url_(url), path_(path), owner_(owner), progressFun_(progress) {}

CurlClient::~CurlClient() {
  std::remove(Utils::NarrowPath(GetPath(PathKind::kPartial)).c_str());
  stopped_ = true;
}

std::wstring CurlClient::GetPath(PathKind kind) const {
  return kind == PathKind::kPartial ? path_ + L".part" : path_;
}

std::string CurlClient::RequestUrl(const std::wstring& url) {
  if (url.rfind(L"file:///", 0) == 0) return Utils::ToMultiByte(url, Utils::kCodePageAnsi);
  return Utils::ToMultiByte(url, Utils::kCodePageUtf8);
}

int CurlClient::Start() {
  DEBUG_LOG(L"start download");
  const std::string part_path = Utils::NarrowPath(GetPath(PathKind::kPartial));
  const std::string destination = Utils::NarrowPath(path_);

  Resolve(RequestUrl(url_));
  int result = totalLength_ < kMinimumSize ? kNoUsableSize : Transfer(part_path);

  DEBUG_LOG(L"error:%d:%s", result, CurlErrorText(result));
  if (result == 0) {
    std::remove(destination.c_str());
    std::rename(part_path.c_str(), destination.c_str());
  }
  DEBUG_LOG(L"end download");
  return result;
}

// Two passes: the first follows redirects with one header request; the second
// asks separately for the final URL and for its size.
void CurlClient::Resolve(const std::string& request_url) {
  if (realUrl_.empty() || totalLength_ < kMinimumSize) {
    CURL* head = Head(request_url);
    realUrl_ = GetRealUrl(head);
    totalLength_ = GetDownloadFileLength(head);
    if (head) curl_easy_cleanup(head);
  }
  if (realUrl_.empty() || totalLength_ < kMinimumSize) {
    realUrl_ = GetRealUrl_Str(request_url);
    if (!realUrl_.empty()) totalLength_ = GetDownloadFileLength_Str(realUrl_);
  }
}

int CurlClient::Transfer(const std::string& part_path) {
  handle_ = curl_easy_init();
  if (!handle_) return kNoHandle;
  FILE* file = std::fopen(part_path.c_str(), "ab+");
  if (!file) {
    curl_easy_cleanup(handle_);
    handle_ = nullptr;
    return kPartFileError;
  }

  curl_slist* headers = curl_slist_append(nullptr, "Connection: keep-alive");
  headers = curl_slist_append(headers, "Accept-Encoding: gzip, deflate");
  curl_easy_setopt(handle_, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(handle_, CURLOPT_TCP_KEEPALIVE, 1L);
  curl_easy_setopt(handle_, CURLOPT_TCP_KEEPIDLE, 10L);
  curl_easy_setopt(handle_, CURLOPT_TCP_KEEPINTVL, 10L);
  curl_easy_setopt(handle_, CURLOPT_TIMEOUT, 0L);

  int result = curl_easy_setopt(handle_, CURLOPT_URL, realUrl_.c_str());
  result |= curl_easy_setopt(handle_, CURLOPT_FOLLOWLOCATION, 1L);
  result |= curl_easy_setopt(handle_, CURLOPT_WRITEFUNCTION, &WritePart);
  result |= curl_easy_setopt(handle_, CURLOPT_WRITEDATA, file);
  result |= curl_easy_setopt(handle_, CURLOPT_NOPROGRESS, 0L);
  result |= curl_easy_setopt(handle_, CURLOPT_XFERINFOFUNCTION, &CurlClient::ProgressCallback);
  result |= curl_easy_setopt(handle_, CURLOPT_XFERINFODATA, this);
  result |= curl_easy_setopt(handle_, CURLOPT_FAILONERROR, 1L);
  result |= curl_easy_setopt(handle_, CURLOPT_CONNECTTIMEOUT, 60L);
  // A server that redirects forever, or a connection that stalls for a
  // minute, would otherwise hold the download without an end.
  result |= curl_easy_setopt(handle_, CURLOPT_MAXREDIRS, download_internal::kMaxRedirects);
  result |= curl_easy_setopt(handle_, CURLOPT_LOW_SPEED_LIMIT, 1L);
  result |= curl_easy_setopt(handle_, CURLOPT_LOW_SPEED_TIME, 60L);

  resumeOffset_ = download_internal::FileSize(part_path);
  if (resumeOffset_ > 0) {
    result |= curl_easy_setopt(handle_, CURLOPT_RESUME_FROM_LARGE,
                               static_cast<curl_off_t>(resumeOffset_));
  }
  // A partial file that already holds the whole size needs no request (the
  // server would refuse a range that starts at its end).
  const bool complete = resumeOffset_ >= 0 && static_cast<double>(resumeOffset_) == totalLength_;
  if (result == 0 && !complete) result = curl_easy_perform(handle_);

  curl_easy_cleanup(handle_);
  handle_ = nullptr;
  curl_slist_free_all(headers);
  // Buffered bytes reach the disk only here; a full disk shows up now.
  if (std::fclose(file) != 0 && result == 0) result = CURLE_WRITE_ERROR;
  if (result == 0) result = CheckPartialSize(part_path);
  return result;
}

// The transfer can end cleanly with a file of another size than the header
// request announced (a lying Content-Length, a body the server encoded); such
// a file is not the package. A short file is resumed by the next attempt, a
// long one is discarded.
int CurlClient::CheckPartialSize(const std::string& part_path) {
  const int64_t size = download_internal::FileSize(part_path);
  if (static_cast<double>(size) == totalLength_) return 0;
  if (static_cast<double>(size) > totalLength_) std::remove(part_path.c_str());
  return CURLE_PARTIAL_FILE;
}

CURL* CurlClient::Head(const std::string& url) {
  CURL* handle = curl_easy_init();
  if (!handle) return nullptr;
  int code = SetHeadOptions(handle, url, /*follow=*/true, /*header=*/false);
  if (code == 0) {
    code = curl_easy_perform(handle);
    if (code != 0) DEBUG_LOG_RAW(L"error:%d:%s", code, CurlErrorText(code));
  }
  DEBUG_LOG(L"error:%d:%s", code, CurlErrorText(code));
  return handle;
}

std::string CurlClient::GetRealUrl(CURL* handle) {
  char* effective = nullptr;
  if (!handle || curl_easy_getinfo(handle, CURLINFO_EFFECTIVE_URL, &effective) != CURLE_OK ||
      !effective)
    return {};
  return effective;
}

double CurlClient::GetDownloadFileLength(CURL* handle) {
  double size = -1.0;
  curl_off_t length = -1;
  const int code = handle ? curl_easy_getinfo(handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length)
                          : CURLE_BAD_FUNCTION_ARGUMENT;
  if (code == CURLE_OK && length >= 0) size = static_cast<double>(length);
  DEBUG_LOG(L"error:%d:%s", code, CurlErrorText(code));

  long status = 0;
  if (handle && curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK &&
      StatusUsable(status))
    return size;
  ReportSizeFailure(status);
  return -1.0;
}

double CurlClient::GetDownloadFileLength_Str(const std::string& url) {
  double size = -1.0;
  int code = 0;
  CURL* handle = curl_easy_init();
  if (handle) {
    code = SetHeadOptions(handle, url, /*follow=*/false, /*header=*/true);
    if (code == 0) {
      curl_easy_perform(handle);
      curl_off_t length = -1;
      if (curl_easy_getinfo(handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK &&
          length >= 0)
        size = static_cast<double>(length);
      long status = 0;
      code = curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
      if (code != CURLE_OK || !StatusUsable(status)) ReportSizeFailure(code == CURLE_OK ? status : 0);
    }
  }
  DEBUG_LOG(L"error:%d:%s", code, CurlErrorText(code));
  if (handle) curl_easy_cleanup(handle);
  return size;
}

std::string CurlClient::GetRealUrl_Str(const std::string& url) {
  std::string real;
  CURL* handle = curl_easy_init();
  if (handle) {
    int code = SetHeadOptions(handle, url, /*follow=*/true, /*header=*/false);
    if (code == 0) code = curl_easy_perform(handle);
    if (code != 0)
      DEBUG_LOG_RAW(L"error:%d:%s", code, CurlErrorText(code));
    else
      real = GetRealUrl(handle);
    curl_easy_cleanup(handle);
  }
  return real.empty() ? url : real;
}

int CurlClient::ProgressCallback(void* data, curl_off_t total_down, curl_off_t now_down,
                                 curl_off_t total_up, curl_off_t now_up) {
  CurlClient* self = static_cast<CurlClient*>(data);
  if (self->stopped_) return 1;

  const int64_t now = download_internal::WallSeconds();
  if (now < self->lastProgressTime_ + 1) return 0;  // also when the clock went back
  self->lastProgressTime_ = now;

  curl_off_t speed_bytes = 0;
  double speed = 0.0;
  if (curl_easy_getinfo(self->handle_, CURLINFO_SPEED_DOWNLOAD_T, &speed_bytes) == CURLE_OK)
    speed = static_cast<double>(speed_bytes);

  double percent;
  if (self->totalLength_ > kMinimumSize) {
    percent = static_cast<double>(self->resumeOffset_ + now_down) / self->totalLength_ * 100.0;
  } else {
    if (now_down <= 0 || total_down <= 0) return 0;
    percent = static_cast<double>(now_down) * 100.0 / static_cast<double>(total_down);
  }
  if (percent == 0.0) return 0;

  if (self->progressFun_) self->progressFun_(self->owner_, speed, 0.0, percent);
  if (total_down != 0) {
    DEBUG_LOG_RAW(L" %dM %dM   progress:%f%%  speed:%f \n", static_cast<int>(now_down / 1048576),
                  static_cast<int>(total_down / 1048576), static_cast<float>(percent),
                  static_cast<float>(speed / 1024));
  }
  return 0;
}
