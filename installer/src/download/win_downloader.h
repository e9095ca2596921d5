// The downloader over the system's URL download service: the whole transfer
// is handed to the service and its progress notices come back through a
// bind-status callback object. No digest check. On Windows the service is
// URLDownloadToFileW; elsewhere a libcurl transfer stands in for it behind
// the same callback interface and result codes.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "download/downloader.h"
#include "utils/thread.h"

class CWinDownloader : public CDownloader {
 public:
  // The service's bind-status callback; defined by the platform backend.
  class CBindCallback;

  // Creates the worker, suspended; the first Start releases it.
  CWinDownloader(DownloadCallback callback, const std::wstring& url, const std::wstring& path);
  // Aborts a running transfer at its next progress notice and waits for the
  // worker; no code is reported once destruction has begun.
  ~CWinDownloader() override;

  // Only the first call has an effect: the worker downloads once.
  void Start() override;

  static constexpr int kAttempts = 3;
  static constexpr int kPauseMs = 1000;

  // The URL as the service gets it: a "file:///" URL unchanged, any other
  // escaped (UTF-8 bytes 33..126 kept, space as "+", the rest as "%XX").
  static std::wstring SourceUrl(const std::wstring& url);

 private:
  void Run();
  void Report(int32_t code, double value, const wchar_t* text);
  bool Pause(int ms);

  std::unique_ptr<CBindCallback, void (*)(CBindCallback*)> bind_;
  const DownloadCallback callback_;
  const std::wstring path_;
  const std::wstring url_;
  std::atomic<bool> stopping_{false};
  std::mutex pause_mutex_;
  std::condition_variable pause_wake_;
  Utils::Thread worker_;
};

namespace download_internal {

// Result codes of the service as the downloader sees them (HRESULT values).
constexpr int32_t kResultOk = 0;
constexpr int32_t kResultAbort = static_cast<int32_t>(0x80004004);       // E_ABORT
constexpr int32_t kResultFail = static_cast<int32_t>(0x80004005);        // E_FAIL
constexpr int32_t kResultNotImplemented = static_cast<int32_t>(0x80004001);  // E_NOTIMPL
constexpr int32_t kResultAccessDenied = static_cast<int32_t>(0x80070005);    // E_ACCESSDENIED
constexpr int32_t kResultCannotConnect = static_cast<int32_t>(0x800C0004);   // INET_E_CANNOT_CONNECT
constexpr int32_t kResultNotFound = static_cast<int32_t>(0x800C0005);  // INET_E_RESOURCE_NOT_FOUND
constexpr int32_t kResultDownloadFailure = static_cast<int32_t>(0x800C0008);  // INET_E_DOWNLOAD_FAILURE
constexpr int32_t kResultTimeout = static_cast<int32_t>(0x800C000B);  // INET_E_CONNECTION_TIMEOUT

// What OnProgress does with one notice of the service, on every platform:
// the abort flag wins; a notice without a maximum is not reported; any
// other becomes DL_CODE_PROGRESS with progress / maximum.
int32_t BindProgress(const std::atomic<bool>& abort, const DownloadCallback& callback,
                     uint32_t progress, uint32_t maximum);

// Implemented by the platform backend.
CWinDownloader::CBindCallback* NewBindCallback();
void DeleteBindCallback(CWinDownloader::CBindCallback* bind);
void SetBindTarget(CWinDownloader::CBindCallback* bind, const DownloadCallback& callback);
void AbortBinding(CWinDownloader::CBindCallback* bind);
void InitializeThreadCom();
void UninitializeThreadCom();
// One run of the service: |source_url| into |path|; its result code.
int32_t DownloadToFile(const std::wstring& source_url, const std::wstring& path,
                       CWinDownloader::CBindCallback* bind);

}  // namespace download_internal
