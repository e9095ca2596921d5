// Downloads one URL into one file over libcurl's easy interface, on the
// calling thread. Before the transfer it learns the final URL (after
// redirects) and the file's size with header-only requests; the transfer
// writes into "<destination>.part", resumes from whatever that file already
// holds, reports progress at most once per wall-clock second and renames the
// partial file to the destination when the transfer succeeds.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <cstdint>
#include <string>

// Receives progress: (owner, average speed in bytes per second, always 0.0,
// percent 0..100 of the whole file).
using ProgressFunction = void (*)(void* owner, double speed, double unused, double percent);

class CurlClient {
 public:
  // Results of Start besides 0 (done) and positive libcurl codes.
  static constexpr int kPartFileError = -996;   // opening the partial file failed
  static constexpr int kNoHandle = -997;        // no libcurl handle could be created
  static constexpr int kNoUsableSize = -998;    // no size learned, or below kMinimumSize
  static constexpr double kMinimumSize = 1048576.0;

  enum class PathKind { kDestination, kPartial };

  CurlClient(const std::wstring& url, const std::wstring& path, void* owner,
             ProgressFunction progress);
  // Removes the partial file. The owner must have stopped (Stop) and waited
  // for a transfer running on another thread before it destroys the client.
  ~CurlClient();
  CurlClient(const CurlClient&) = delete;
  CurlClient& operator=(const CurlClient&) = delete;

  // Runs one attempt; blocks until it ends. 0 when the file is complete at
  // the destination path; a positive libcurl code (several option failures
  // OR-combined); or one of the negative codes above. The final URL and the
  // size are kept, so a later call after a failure skips the header requests
  // and resumes from the partial file.
  int Start();

  // Makes the running transfer (if any) end at its next progress call with
  // CURLE_ABORTED_BY_CALLBACK. Safe from any thread.
  void Stop() { stopped_ = true; }

  // Header-only request that follows redirects. Returns the open handle (the
  // caller reads from it and releases it with curl_easy_cleanup) or nullptr
  // when no handle could be created.
  static CURL* Head(const std::string& url);
  // The handle's effective URL; empty when there is none.
  static std::string GetRealUrl(CURL* handle);
  // The size from a finished header request when its status is 200..399;
  // otherwise reports the "下载失败原因" event and returns -1.0.
  static double GetDownloadFileLength(CURL* handle);
  // Own header request (without following redirects); the size or -1.0.
  static double GetDownloadFileLength_Str(const std::string& url);
  // Own header request; the final URL after redirects, or |url| itself.
  static std::string GetRealUrl_Str(const std::string& url);
  // libcurl's transfer-information function; |client| is the CurlClient.
  // Returns 1 to abort the transfer, 0 to continue.
  static int ProgressCallback(void* client, curl_off_t total_down, curl_off_t now_down,
                              curl_off_t total_up, curl_off_t now_up);

  // The destination path, or the partial-file path.
  std::wstring GetPath(PathKind kind = PathKind::kDestination) const;

  const std::string& realUrl() const { return realUrl_; }
  double totalLength() const { return totalLength_; }
  int64_t resumeOffset() const { return resumeOffset_; }

  // The URL as libcurl gets it: UTF-8, or the ANSI code page for "file:///".
  static std::string RequestUrl(const std::wstring& url);

 private:
  void Resolve(const std::string& request_url);
  int Transfer(const std::string& part_path);
  int CheckPartialSize(const std::string& part_path);

  const std::wstring url_;
  const std::wstring path_;
  void* const owner_;
  CURL* handle_ = nullptr;
  const ProgressFunction progressFun_;
  double totalLength_ = -1.0;
  int64_t resumeOffset_ = -1;
  int64_t lastProgressTime_ = 0;
  std::atomic<bool> stopped_{false};
  std::string realUrl_;
};

namespace download_internal {
// Upper bound on redirects for every request the downloaders make, so that a
// server that redirects forever ends the request with CURLE_TOO_MANY_REDIRECTS.
constexpr long kMaxRedirects = 20;
// Discards a response body.
size_t DiscardBody(char* data, size_t size, size_t count, void* unused);
// Wall-clock seconds since 1970.
int64_t WallSeconds();
// libcurl's text for a code (any int), as wide text.
std::wstring CurlErrorText(int code);
}  // namespace download_internal
