// The segmented downloader: one header request for the final URL and the
// size, at most two byte ranges fetched in parallel into part files beside
// the destination ("<destination>_0", "<destination>_1"), each range retried
// on its own within a budget, then the parts joined into the destination and
// checked against the MD5 digest the final URL carries.
//
// Threads of one attempt: the preparing worker, one thread per range still to
// fetch and one watcher that waits for the ranges and sends the final code.
// All of them belong to the downloader: destroying it stops running
// transfers and waits for every thread, and no code is reported once
// destruction has begun.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "download/downloader.h"
#include "download/md5_stream.h"
#include "download/worker_slot.h"

// One byte range and its part file. Offsets are absolute positions in the
// whole file, 64-bit so that packages of 2 GiB and more are cut right.
struct DownloadPartNode {
  DownloadPartNode() = default;
  ~DownloadPartNode();  // releases the handle and closes the part file
  DownloadPartNode(const DownloadPartNode&) = delete;
  DownloadPartNode& operator=(const DownloadPartNode&) = delete;

  FILE* partFile = nullptr;
  int64_t nextPos = 0;   // next byte to receive
  int64_t endPos = -1;   // last byte of the range (inclusive)
  CURL* handle = nullptr;
  std::string url;
  std::string partPath;
  // 0 complete; -1 to download; -2 the part file could not be opened (or the
  // parts could not be joined); otherwise the CURLcode of the last attempt.
  int result = -1;
  std::atomic<int64_t> received{0};  // bytes of this range on disk

  // Where the current attempt's request started, and whether its first body
  // block has been looked at (a range answered with status 200 is refused).
  int64_t attemptStart = 0;
  bool bodyChecked = false;
  // Digest of the bytes written so far, kept for range 0 of a fresh start
  // so the file need not be read back for the check; dropped whenever the
  // part file and the bytes counted disagree.
  std::unique_ptr<download_internal::Md5Stream> digest;
};

class CMTCurlDownloader : public CDownloader {
 public:
  // Deletes the destination file and both part files.
  CMTCurlDownloader(DownloadCallback callback, const std::wstring& url, const std::wstring& path);
  ~CMTCurlDownloader() override;

  void Start() override;

  static constexpr int64_t kCutUnit = 10485760;  // 10 MiB
  static constexpr int kMaxParts = 2;
  static constexpr int64_t kMinimumLength = 256;
  static constexpr int kRangeBudget = 12;

  // The ranges (offset, size) a file of |file_length| bytes is cut into.
  static std::vector<std::pair<int64_t, int64_t>> CutRanges(int64_t file_length);
  // "<path>_<index>".
  static std::string getPartPath(const std::string& path, int index);
  static void deletePartFiles(const std::string& path);

 private:
  static void Start_Down(CMTCurlDownloader* self);
  bool getRealDownloadUrl(const std::string& request_url);
  void PrepareParts(const std::string& destination);
  static void downloadThreadFun(CMTCurlDownloader* self, DownloadPartNode* node);
  static int downloadExe(CMTCurlDownloader* self, DownloadPartNode* node);
  static size_t writePartFun(char* data, size_t size, size_t count, void* node);
  static int progressFun(void* self, curl_off_t total_down, curl_off_t now_down,
                         curl_off_t total_up, curl_off_t now_up);
  static void waitForFinishThreadFun(CMTCurlDownloader* self);
  bool JoinParts(const std::string& destination);
  void FinishFailed(int failure);
  void CheckDigest(const std::string& destination);
  void clearParts();

  void Report(int32_t code, double value, const wchar_t* text);
  bool Pause(int ms);
  void AddAttemptThread(std::thread thread);
  void JoinAttemptThreads();

  std::vector<std::unique_ptr<DownloadPartNode>> parts;
  const DownloadCallback callback;
  const std::wstring path;
  const std::wstring url;
  std::string realUrl;
  int64_t fileLength = 0;
  std::string expectedMd5;
  std::string joinedMd5;  // digest taken during download and join, or empty
  double lastPercent = 0.0;
  std::atomic<int> runningParts{0};
  int64_t lastProgressTime = 0;
  bool retried = false;

  std::mutex progressMutex;
  std::atomic<bool> stopping{false};
  std::mutex pauseMutex;
  std::condition_variable pauseWake;
  std::mutex threadsMutex;
  std::vector<std::thread> attemptThreads;  // range threads and watchers
  download_internal::WorkerSlot worker;
};
