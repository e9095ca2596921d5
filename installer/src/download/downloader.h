// The contract every package downloader keeps: one operation, Start, and a
// callback that receives start, progress, the final outcome and diagnostic
// reasons.
//
// Order of the codes within one Start: DL_CODE_START first; then any number of
// DL_CODE_PROGRESS; then at most one DL_CODE_REASON; then exactly one of
// DL_CODE_SUCCESS, DL_CODE_FAIL or DL_CODE_RETRY. A downloader sends
// DL_CODE_RETRY at most once in its life; the owner answers it by calling
// Start again (it may do so from inside the callback).
//
// The callback runs on one of the downloader's own worker threads, never on
// the thread that called Start; the worker continues only after it returns.
// The segmented downloader may call it from two threads at once.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

using DownloadCallback = std::function<void(int32_t code, double value, const wchar_t* text)>;

enum DownloadCode : int32_t {
  DL_CODE_START = 1001,     // 1.0, empty text
  DL_CODE_PROGRESS = 1002,  // fraction of the whole file, 0.0 to 1.0
  DL_CODE_SUCCESS = 1003,   // 0.0, "LibCurl" or "URLDownloadToFile"
  DL_CODE_FAIL = 1004,      // the underlying error number
  DL_CODE_RETRY = 1005,     // the underlying error number (0.0 after a digest mismatch)
  DL_CODE_REASON = 1006,    // 0.0, a reason text about the digest check
};

// Texts that travel with the codes.
extern const wchar_t kLibCurlText[];            // "LibCurl"
extern const wchar_t kUrlDownloadToFileText[];  // "URLDownloadToFile"

class CDownloader {
 public:
  virtual ~CDownloader() = default;
  // Begins the download, or begins it again after DL_CODE_RETRY. Returns at
  // once; the work runs on threads the downloader owns.
  virtual void Start() = 0;
};

// DownloadType 2 selects the system download service, 3 the segmented
// downloader, every other value the single-stream downloader.
std::unique_ptr<CDownloader> CreateDownloader(int download_type, DownloadCallback callback,
                                              const std::wstring& url, const std::wstring& path);
