#include "download/win_downloader.h"

#include <chrono>

#include "utils/path.h"
#include "utils/text.h"

namespace download_internal {

int32_t BindProgress(const std::atomic<bool>& abort, const DownloadCallback& callback,
                     uint32_t progress, uint32_t maximum) {
  if (abort) return kResultAbort;
  if (maximum == 0) return kResultOk;
  if (callback)
    callback(DL_CODE_PROGRESS, static_cast<double>(progress) / static_cast<double>(maximum), L"");
  return kResultOk;
}

}  // namespace download_internal

CWinDownloader::CWinDownloader(DownloadCallback callback, const std::wstring& url,
                               const std::wstring& path)
    : bind_(download_internal::NewBindCallback(), &download_internal::DeleteBindCallback),
      callback_(std::move(callback)),
      path_(path),
      url_(url),
      worker_(this, L"ABDEF", [](void* self) -> uint32_t {
        static_cast<CWinDownloader*>(self)->Run();
        return 0;
      }) {}

CWinDownloader::~CWinDownloader() {
  {
    std::lock_guard<std::mutex> lock(pause_mutex_);
    stopping_ = true;
  }
  pause_wake_.notify_all();
  download_internal::AbortBinding(bind_.get());
  // worker_, the last member, goes first: its destructor waits for a worker
  // that was started and releases one that never was.
}

void CWinDownloader::Start() {
  // Progress notices go straight from the service to the owner, so the bind
  // callback holds the same guard as every other report.
  download_internal::SetBindTarget(bind_.get(), [this](int32_t code, double value, const wchar_t* text) {
    Report(code, value, text);
  });
  worker_.Resume();
}

std::wstring CWinDownloader::SourceUrl(const std::wstring& url) {
  if (url.rfind(L"file:///", 0) == 0) return url;
  return Utils::UrlEscape(url);
}

void CWinDownloader::Report(int32_t code, double value, const wchar_t* text) {
  if (stopping_ || !callback_) return;
  callback_(code, value, text);
}

bool CWinDownloader::Pause(int ms) {
  std::unique_lock<std::mutex> lock(pause_mutex_);
  return !pause_wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_.load(); });
}

void CWinDownloader::Run() {
  download_internal::InitializeThreadCom();
  Report(DL_CODE_START, 1.0, L"");
  const std::wstring source = SourceUrl(url_);
  int32_t result = download_internal::kResultFail;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    result = download_internal::DownloadToFile(source, path_, bind_.get());
    if (stopping_ && result != download_internal::kResultOk) {
      // Aborted because the downloader is going away: a service that wrote
      // straight into the destination leaves half a file there.
      Utils::DeleteFileAt(path_);
      break;
    }
    if (result == download_internal::kResultOk) {
      Report(DL_CODE_SUCCESS, 0.0, kUrlDownloadToFileText);
      download_internal::UninitializeThreadCom();
      return;
    }
    if (!Pause(kPauseMs)) break;
  }
  Report(DL_CODE_FAIL, static_cast<double>(result), kUrlDownloadToFileText);
  download_internal::UninitializeThreadCom();
}
