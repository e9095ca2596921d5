#include "download/downloader.h"

#include "download/curl_downloader.h"
#include "download/mt_curl_downloader.h"
#include "download/win_downloader.h"

const wchar_t kLibCurlText[] = L"LibCurl";
const wchar_t kUrlDownloadToFileText[] = L"URLDownloadToFile";

std::unique_ptr<CDownloader> CreateDownloader(int download_type, DownloadCallback callback,
                                              const std::wstring& url, const std::wstring& path) {
  switch (download_type) {
    case 2: return std::make_unique<CWinDownloader>(std::move(callback), url, path);
    case 3: return std::make_unique<CMTCurlDownloader>(std::move(callback), url, path);
    default: return std::make_unique<CCurlDownloader>(std::move(callback), url, path);
  }
}
