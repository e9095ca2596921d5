// The stand-in for the system URL download service: one libcurl transfer
// per call, reporting its progress through the same bind-status callback
// operations and ending with the service's result codes.
#include <curl/curl.h>

#include <cerrno>
#include <cstdio>

#include "download/curl_client.h"
#include "download/win_downloader.h"
#include "utils/path.h"
#include "utils/text.h"

class CWinDownloader::CBindCallback {
 public:
  ~CBindCallback() {
    abort_ = true;
    callback_ = nullptr;
  }

  // The operations of the system's interface that the service calls, with
  // plain types; only OnProgress and GetBindInfo do anything.
  int32_t OnStartBinding(uint32_t reserved, void* binding) {
    binding_ = binding;
    return download_internal::kResultNotImplemented;
  }
  int32_t OnProgress(uint32_t progress, uint32_t maximum, uint32_t status, const wchar_t* text) {
    return download_internal::BindProgress(abort_, callback_, progress, maximum);
  }
  int32_t OnStopBinding(int32_t result, const wchar_t* error) {
    return download_internal::kResultNotImplemented;
  }
  int32_t GetBindInfo(uint32_t* flags, uint32_t* code_page) {
    if (code_page) *code_page = 65001;
    return download_internal::kResultNotImplemented;
  }

  DownloadCallback callback_;
  std::atomic<bool> abort_{false};
  void* binding_ = nullptr;
};

namespace download_internal {
namespace {

size_t WriteFile(char* data, size_t size, size_t count, void* file) {
  return std::fwrite(data, 1, size * count, static_cast<FILE*>(file));
}

int TransferInfo(void* bind, curl_off_t total_down, curl_off_t now_down, curl_off_t, curl_off_t) {
  auto* self = static_cast<CWinDownloader::CBindCallback*>(bind);
  // The service counts in 32 bits.
  const int32_t answer = self->OnProgress(static_cast<uint32_t>(now_down),
                                          static_cast<uint32_t>(total_down), 0, nullptr);
  return answer == kResultAbort ? 1 : 0;
}

int32_t ResultOf(CURLcode code, long status) {
  switch (code) {
    case CURLE_OK: return kResultOk;
    case CURLE_ABORTED_BY_CALLBACK: return kResultAbort;
    case CURLE_HTTP_RETURNED_ERROR:
      return status == 404 || status == 410 ? kResultNotFound : kResultDownloadFailure;
    case CURLE_COULDNT_RESOLVE_HOST: return kResultNotFound;
    case CURLE_COULDNT_CONNECT: return kResultCannotConnect;
    case CURLE_OPERATION_TIMEDOUT: return kResultTimeout;
    case CURLE_WRITE_ERROR: return kResultFail;
    default: return kResultDownloadFailure;
  }
}

}  // namespace

CWinDownloader::CBindCallback* NewBindCallback() { return new CWinDownloader::CBindCallback(); }
void DeleteBindCallback(CWinDownloader::CBindCallback* bind) { delete bind; }
void SetBindTarget(CWinDownloader::CBindCallback* bind, const DownloadCallback& callback) {
  bind->callback_ = callback;
}
void AbortBinding(CWinDownloader::CBindCallback* bind) { bind->abort_ = true; }
void InitializeThreadCom() {}
void UninitializeThreadCom() {}

int32_t DownloadToFile(const std::wstring& source_url, const std::wstring& path,
                       CWinDownloader::CBindCallback* bind) {
  uint32_t code_page = 0;
  bind->OnStartBinding(0, nullptr);
  bind->GetBindInfo(nullptr, &code_page);
  // Like the service, the file appears at its name only when complete.
  const std::string destination = Utils::NarrowPath(path);
  const std::string temporary = destination + ".dltmp";
  FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) return errno == EACCES ? kResultAccessDenied : kResultFail;

  CURL* handle = curl_easy_init();
  if (!handle) {
    std::fclose(file);
    std::remove(temporary.c_str());
    return kResultFail;
  }
  const std::string url = Utils::ToMultiByte(source_url, Utils::kCodePageUtf8);
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(handle, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L);
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, 60L);
  curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, 60L);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &WriteFile);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, file);
  curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &TransferInfo);
  curl_easy_setopt(handle, CURLOPT_XFERINFODATA, bind);
  CURLcode code = curl_easy_perform(handle);
  long status = 0;
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
  curl_easy_cleanup(handle);
  if (std::fclose(file) != 0 && code == CURLE_OK) code = CURLE_WRITE_ERROR;

  int32_t result = ResultOf(code, status);
  if (result == kResultOk) {
    std::remove(destination.c_str());
    if (std::rename(temporary.c_str(), destination.c_str()) != 0) result = kResultFail;
  }
  if (result != kResultOk) std::remove(temporary.c_str());
  bind->OnStopBinding(result, nullptr);
  return result;
}

}  // namespace download_internal
