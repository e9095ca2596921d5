// The single-stream downloader: the HTTP client in a retry loop on one
// worker thread, then a check of the file against the MD5 digest that the
// final URL carries as the path segment before the file name.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>

#include "download/curl_client.h"
#include "download/downloader.h"
#include "download/worker_slot.h"

class CCurlDownloader : public CDownloader {
 public:
  // Deletes a partial file left from an earlier run.
  CCurlDownloader(DownloadCallback callback, const std::wstring& url, const std::wstring& path);
  // Stops a running transfer and waits for the worker; no code is reported
  // after destruction has begun. Must not run on the downloader's worker.
  ~CCurlDownloader() override;

  void Start() override;

  // Budget of one Start: a partial-file error (18) costs one unit, any other
  // failure two; the download fails when it drops below one.
  static constexpr int kBudget = 12;
  static constexpr int kPauseMs = 500;

 private:
  static void dlThreadFun(CCurlDownloader* self);
  static void ForwardProgress(void* owner, double speed, double unused, double percent);
  void Report(int32_t code, double value, const wchar_t* text);
  // Sleeps |ms| unless destruction begins; false when it has.
  bool Pause(int ms);
  void CheckDigest();

  const DownloadCallback callback_;
  const std::wstring path_;
  const std::wstring url_;
  CurlClient client_;
  bool retried_ = false;
  std::atomic<bool> stopping_{false};
  std::mutex pause_mutex_;
  std::condition_variable pause_wake_;
  download_internal::WorkerSlot worker_;  // last: it is joined before the rest goes
};
