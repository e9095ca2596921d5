#include "download/curl_downloader.h"

#include <chrono>

#include "utils/debug_log.h"
#include "utils/md5.h"
#include "utils/path.h"
#include "utils/text.h"

namespace {
constexpr wchar_t kNoDigestReason[] = L"curl获取url-md5失败";
constexpr wchar_t kDigestMismatchReason[] = L"curl文件md5校验失败";
}  // namespace

CCurlDownloader::CCurlDownloader(DownloadCallback callback, const std::wstring& url,
                                 const std::wstring& path)
    : callback_(std::move(callback)),
      path_(path),
      url_(url),
      client_(url, path, this, &CCurlDownloader::ForwardProgress) {
  Utils::DeleteFileAt(client_.GetPath(CurlClient::PathKind::kPartial));
}

CCurlDownloader::~CCurlDownloader() {
  {
    std::lock_guard<std::mutex> lock(pause_mutex_);
    stopping_ = true;
  }
  pause_wake_.notify_all();
  client_.Stop();
  worker_.Join();
}

void CCurlDownloader::Start() {
  worker_.Launch(L"ABDEF", [this] { dlThreadFun(this); });
}

void CCurlDownloader::Report(int32_t code, double value, const wchar_t* text) {
  if (stopping_ || !callback_) return;
  callback_(code, value, text);
}

bool CCurlDownloader::Pause(int ms) {
  std::unique_lock<std::mutex> lock(pause_mutex_);
  return !pause_wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_.load(); });
}

void CCurlDownloader::ForwardProgress(void* owner, double speed, double unused, double percent) {
  if (speed > 0.0 && percent <= 100.0)
    static_cast<CCurlDownloader*>(owner)->Report(DL_CODE_PROGRESS, percent / 100.0, L"");
}

void CCurlDownloader::dlThreadFun(CCurlDownloader* self) {
  self->Report(DL_CODE_START, 1.0, L"");
  int code = self->client_.Start();
  int budget = kBudget;
  while (code != 0) {
    budget -= code == CURLE_PARTIAL_FILE ? 1 : 2;
    if (budget < 1) {
      self->Report(DL_CODE_FAIL, static_cast<double>(code), kLibCurlText);
      return;
    }
    DEBUG_LOG(L"CurlDownLoader Code=%d", code);
    if (!self->Pause(kPauseMs)) return;
    code = self->client_.Start();
  }
  self->CheckDigest();
}

void CCurlDownloader::CheckDigest() {
  const std::string expected = Utils::UrlMd5(client_.realUrl());
  if (expected.size() != 32) {
    Report(DL_CODE_REASON, 0.0, kNoDigestReason);
    Report(DL_CODE_SUCCESS, 0.0, kLibCurlText);
    return;
  }
  const std::string actual = Utils::FileMd5(Utils::NarrowPath(path_));
  if (actual.size() == 32 && actual != expected) {
    Report(DL_CODE_REASON, 0.0, kDigestMismatchReason);
    if (!retried_) {
      retried_ = true;
      Report(DL_CODE_RETRY, 0.0, kLibCurlText);
    } else {
      Report(DL_CODE_FAIL, 0.0, kLibCurlText);
    }
    return;
  }
  Report(DL_CODE_SUCCESS, 0.0, kLibCurlText);
}
