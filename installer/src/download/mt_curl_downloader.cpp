#include "download/mt_curl_downloader.h"

#include <algorithm>
#include <chrono>

#include "app/installer_settings.h"
#include "download/curl_client.h"
#include "download/file_ops.h"
#include "utils/debug_log.h"
#include "utils/md5.h"
#include "utils/path.h"
#include "utils/text.h"

namespace {

using download_internal::CurlErrorText;

constexpr wchar_t kNoDigestReason[] = L"mtcurl获取url-md5失败";
constexpr wchar_t kDigestMismatchReason[] = L"mtcurl文件md5校验失败";
constexpr int kPartOpenFailed = -2;
constexpr int kToDownload = -1;

}  // namespace

DownloadPartNode::~DownloadPartNode() {
  if (handle) curl_easy_cleanup(handle);
  if (partFile) std::fclose(partFile);
}

CMTCurlDownloader::CMTCurlDownloader(DownloadCallback callback, const std::wstring& url,
                                     const std::wstring& path)
    : callback(std::move(callback)), path(path), url(url) {
  Utils::DeleteFileAt(path);
  deletePartFiles(Utils::NarrowPath(path));
}

CMTCurlDownloader::~CMTCurlDownloader() {
  {
    std::lock_guard<std::mutex> lock(pauseMutex);
    stopping = true;
  }
  pauseWake.notify_all();
  worker.Join();
  JoinAttemptThreads();
  clearParts();
}

void CMTCurlDownloader::Start() {
  worker.Launch(L"ABDEF", [this] {
    // The previous attempt's threads have ended or are about to (its watcher
    // may be the thread that asked for this restart).
    JoinAttemptThreads();
    Start_Down(this);
  });
}

void CMTCurlDownloader::Report(int32_t code, double value, const wchar_t* text) {
  if (stopping || !callback) return;
  callback(code, value, text);
}

bool CMTCurlDownloader::Pause(int ms) {
  std::unique_lock<std::mutex> lock(pauseMutex);
  return !pauseWake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping.load(); });
}

void CMTCurlDownloader::AddAttemptThread(std::thread thread) {
  std::lock_guard<std::mutex> lock(threadsMutex);
  attemptThreads.push_back(std::move(thread));
}

void CMTCurlDownloader::JoinAttemptThreads() {
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> lock(threadsMutex);
    threads.swap(attemptThreads);
  }
  for (std::thread& thread : threads) {
    if (thread.joinable()) thread.join();
  }
}

std::vector<std::pair<int64_t, int64_t>> CMTCurlDownloader::CutRanges(int64_t file_length) {
  int64_t count = std::clamp<int64_t>(file_length / kCutUnit, 1, kMaxParts);
  const int64_t size = file_length / count;
  std::vector<std::pair<int64_t, int64_t>> ranges;
  for (int64_t i = 0; i < count; ++i) {
    const bool last = i == count - 1;
    ranges.emplace_back(i * size, last ? size + file_length % count : size);
  }
  return ranges;
}

std::string CMTCurlDownloader::getPartPath(const std::string& path, int index) {
  return path + "_" + std::to_string(index);
}

void CMTCurlDownloader::deletePartFiles(const std::string& path) {
  for (int i = 0; i < kMaxParts; ++i) std::remove(getPartPath(path, i).c_str());
}

void CMTCurlDownloader::clearParts() { parts.clear(); }

void CMTCurlDownloader::Start_Down(CMTCurlDownloader* self) {
  self->Report(DL_CODE_START, 1.0, L"");
  DEBUG_LOG(L"start download");
  const std::string destination = Utils::NarrowPath(self->path);
  const std::string request_url = CurlClient::RequestUrl(self->url);

  Utils::DeleteFileAt(self->path);
  if (self->lastPercent == 0.0) deletePartFiles(destination);

  if (self->realUrl.empty() || self->fileLength < kMinimumLength) {
    if (!self->getRealDownloadUrl(request_url)) {
      self->Report(DL_CODE_FAIL, 0.0, kLibCurlText);
      return;
    }
  }

  self->PrepareParts(destination);
  bool first = true;
  for (auto& node : self->parts) {
    if (node->result != kToDownload) continue;
    if (!first && !self->Pause(100)) break;
    first = false;
    ++self->runningParts;
    DownloadPartNode* raw = node.get();
    self->AddAttemptThread(std::thread([self, raw] { downloadThreadFun(self, raw); }));
  }
  self->AddAttemptThread(std::thread([self] { waitForFinishThreadFun(self); }));
}

// One node per range; a part file left by an interrupted attempt is resumed.
void CMTCurlDownloader::PrepareParts(const std::string& destination) {
  clearParts();
  int index = 0;
  for (const auto& [offset, size] : CutRanges(fileLength)) {
    auto node = std::make_unique<DownloadPartNode>();
    node->partPath = getPartPath(destination, index++);
    const int64_t existing = std::max<int64_t>(download_internal::FileSize(node->partPath), 0);
    node->nextPos = offset + existing;
    node->endPos = offset + size - 1;
    node->received = existing;
    node->handle = curl_easy_init();
    node->url = realUrl;
    if (node->endPos < node->nextPos) {
      node->result = 0;
    } else {
      node->result = kToDownload;
      node->partFile = std::fopen(node->partPath.c_str(), "ab+");
      if (!node->partFile) node->result = kPartOpenFailed;
    }
    if (offset == 0 && existing == 0 && node->result == kToDownload && expectedMd5.size() == 32)
      node->digest = std::make_unique<download_internal::Md5Stream>();
    parts.push_back(std::move(node));
  }
}

bool CMTCurlDownloader::getRealDownloadUrl(const std::string& request_url) {
  realUrl.clear();
  expectedMd5.clear();
  fileLength = 0;
  if (!InstallerSettings::Instance().CurlReady) return false;

  CURL* handle = curl_easy_init();
  if (!handle) return false;
  curl_slist* headers = curl_slist_append(nullptr, "Connection: keep-alive");
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
  int code = curl_easy_setopt(handle, CURLOPT_URL, request_url.c_str());
  code |= curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
  code |= curl_easy_setopt(handle, CURLOPT_MAXREDIRS, download_internal::kMaxRedirects);
  code |= curl_easy_setopt(handle, CURLOPT_NOBODY, 1L);
  // Certificate and host checks stay on: the file is run with administrator
  // rights, so it must come from the server the URL names.
  code |= curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &download_internal::DiscardBody);
  code |= curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, 60L);
  if (code == 0) code = curl_easy_perform(handle);
  if (code != 0) {
    DEBUG_LOG(L"error:%d:%s", code, CurlErrorText(code));
    curl_easy_cleanup(handle);
    curl_slist_free_all(headers);
    return false;
  }

  char* effective = nullptr;
  if (curl_easy_getinfo(handle, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective &&
      *effective) {
    realUrl = effective;
    DEBUG_LOG(L"Download File real url %s", Utils::ToWide(realUrl, Utils::kCodePageUtf8));
    expectedMd5 = Utils::UrlMd5(realUrl);
  }
  curl_off_t length = -1;
  long status = 0;
  if (curl_easy_getinfo(handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK &&
      curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status >= 200 &&
      status <= 399) {
    fileLength = std::max<int64_t>(length, 0);
    DEBUG_LOG(L"Download File Length %lld", static_cast<long long>(fileLength));
  }
  curl_easy_cleanup(handle);
  curl_slist_free_all(headers);
  return !realUrl.empty() && fileLength >= kMinimumLength;
}

void CMTCurlDownloader::downloadThreadFun(CMTCurlDownloader* self, DownloadPartNode* node) {
  int budget = kRangeBudget;
  int code = downloadExe(self, node);
  while (code != 0 && budget > 0 && !self->stopping) {
    budget -= code == CURLE_PARTIAL_FILE ? 1 : 2;
    DEBUG_LOG(L"CurlDownLoader Code=%d", code);
    if (!self->Pause(400)) break;
    code = downloadExe(self, node);
  }
  if (node->partFile) {
    std::fclose(node->partFile);
    node->partFile = nullptr;
  }
  --self->runningParts;
}

int CMTCurlDownloader::downloadExe(CMTCurlDownloader* self, DownloadPartNode* node) {
  // A range filled by an earlier attempt (whose server sent more than the
  // range and was cut off with a write error) needs no further request.
  if (node->nextPos > node->endPos) {
    if (node->partFile) {
      std::fclose(node->partFile);
      node->partFile = nullptr;
    }
    node->result = 0;
    return 0;
  }
  const std::string range = std::to_string(node->nextPos) + "-" + std::to_string(node->endPos);
  node->attemptStart = node->nextPos;
  node->bodyChecked = false;

  CURL* handle = node->handle;
  int code = curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  code |= curl_easy_setopt(handle, CURLOPT_URL, node->url.c_str());
  code |= curl_easy_setopt(handle, CURLOPT_TIMEOUT, 0L);
  code |= curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
  code |= curl_easy_setopt(handle, CURLOPT_MAXREDIRS, download_internal::kMaxRedirects);
  code |= curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &CMTCurlDownloader::writePartFun);
  code |= curl_easy_setopt(handle, CURLOPT_WRITEDATA, node);
  code |= curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
  code |= curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &CMTCurlDownloader::progressFun);
  code |= curl_easy_setopt(handle, CURLOPT_XFERINFODATA, self);
  code |= curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L);
  code |= curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, 60L);
  code |= curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
  code |= curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, 5L);
  code |= curl_easy_setopt(handle, CURLOPT_RANGE, range.c_str());
  if (code != 0) return code;

  code = curl_easy_perform(handle);
  if (code != 0)
    DEBUG_LOG(L"error:%d:%s", code, CurlErrorText(code));
  else
    DEBUG_LOG(L"curl_easy_cleanup");
  curl_easy_reset(handle);

  // Close the part file after every attempt and count what is really on
  // disk: buffered bytes are written only now, and a full disk fails here.
  if (node->partFile && std::fclose(node->partFile) != 0 && code == 0) code = CURLE_WRITE_ERROR;
  node->partFile = nullptr;
  const int64_t counted = node->received;
  const int64_t range_start = node->nextPos - counted;
  const int64_t on_disk = std::max<int64_t>(download_internal::FileSize(node->partPath), 0);
  if (on_disk != counted) node->digest.reset();
  node->received = on_disk;
  node->nextPos = range_start + on_disk;
  // A transfer that ended cleanly short of its range (a size that lied) is
  // not complete.
  if (code == 0 && node->nextPos <= node->endPos) code = CURLE_PARTIAL_FILE;
  if (code != 0 && node->nextPos <= node->endPos)
    node->partFile = std::fopen(node->partPath.c_str(), "ab+");
  node->result = code;
  return code;
}

size_t CMTCurlDownloader::writePartFun(char* data, size_t size, size_t count, void* raw) {
  DownloadPartNode* node = static_cast<DownloadPartNode*>(raw);
  if (!node || !node->partFile) return 0;
  if (!node->bodyChecked) {
    node->bodyChecked = true;
    // A server that ignores the range answers 200 with the whole file; its
    // first bytes belong at offset 0, not where this range starts.
    long status = 0;
    curl_easy_getinfo(node->handle, CURLINFO_RESPONSE_CODE, &status);
    if (status == 200 && node->attemptStart > 0) return 0;
  }
  const int64_t remaining = node->endPos - node->nextPos + 1;
  if (remaining <= 0) return 0;
  const size_t wanted = std::min<size_t>(size * count, static_cast<size_t>(remaining));
  const size_t written = std::fwrite(data, 1, wanted, node->partFile);
  if (node->digest) node->digest->Update(data, written);
  node->nextPos += static_cast<int64_t>(written);
  node->received += static_cast<int64_t>(written);
  return written;
}

int CMTCurlDownloader::progressFun(void* raw, curl_off_t total_down, curl_off_t now_down,
                                   curl_off_t total_up, curl_off_t now_up) {
  CMTCurlDownloader* self = static_cast<CMTCurlDownloader*>(raw);
  if (self->stopping) return 1;  // only when the downloader is being destroyed
  std::lock_guard<std::mutex> lock(self->progressMutex);
  const int64_t now = download_internal::WallSeconds();
  if (now < self->lastProgressTime + 1) return 0;
  self->lastProgressTime = now;

  double percent = 0.0;
  if (self->fileLength >= kMinimumLength) {
    for (const auto& node : self->parts) {
      const int64_t received = node->received;
      if (received > 0) percent += static_cast<double>(received) * 100.0 / self->fileLength;
    }
  }
  if (!self->parts.empty() && percent > 100.0) return 0;
  if (percent - self->lastPercent < 1.0) return 0;
  self->lastPercent = percent;
  self->Report(DL_CODE_PROGRESS, percent / 100.0, L"");
  return 0;
}

void CMTCurlDownloader::waitForFinishThreadFun(CMTCurlDownloader* self) {
  while (self->runningParts > 0) {
    if (!self->Pause(200)) return;
  }
  if (self->stopping) return;

  int failure = 0;
  for (const auto& node : self->parts) {
    if (node->result != 0) {
      failure = node->result;
      break;
    }
  }
  if (failure != 0) {
    self->FinishFailed(failure);
    return;
  }

  const std::string destination = Utils::NarrowPath(self->path);
  {
    std::lock_guard<std::mutex> lock(self->progressMutex);
    self->lastPercent = 0.0;
  }
  if (!self->JoinParts(destination)) {
    // The parts cannot be trusted any more: the next attempt starts afresh.
    deletePartFiles(destination);
    self->FinishFailed(kPartOpenFailed);
    return;
  }
  self->CheckDigest(destination);
}

void CMTCurlDownloader::FinishFailed(int failure) {
  clearParts();
  const std::string destination = Utils::NarrowPath(path);
  if (lastPercent == 0.0) deletePartFiles(destination);
  if (!retried) {
    retried = true;
    Report(DL_CODE_RETRY, static_cast<double>(failure), kLibCurlText);
  } else {
    lastPercent = 0.0;
    Report(DL_CODE_FAIL, static_cast<double>(failure), kLibCurlText);
  }
}

// Appends parts 1.. to part 0 and moves it to the destination. False when
// part 0 cannot be opened, a copy fails or the result is not fileLength
// bytes long; the destination is then absent.
bool CMTCurlDownloader::JoinParts(const std::string& destination) {
  const std::string first_path = getPartPath(destination, 0);
  FILE* first = std::fopen(first_path.c_str(), "ab+");
  if (!first) return false;
  bool ok = true;
  joinedMd5.clear();
  download_internal::Md5Stream* digest = parts.empty() ? nullptr : parts[0]->digest.get();
  std::vector<char> block(1024 * 1024);
  for (size_t i = 1; i < parts.size(); ++i) {
    const std::string part_path = getPartPath(destination, static_cast<int>(i));
    FILE* part = std::fopen(part_path.c_str(), "rb");
    if (part) {
      size_t n;
      while (ok && (n = std::fread(block.data(), 1, block.size(), part)) > 0) {
        ok = std::fwrite(block.data(), 1, n, first) == n;
        if (digest) digest->Update(block.data(), n);
      }
      if (std::ferror(part)) ok = false;
      std::fclose(part);
    }
    DEBUG_LOG(L"partPath::%s", Utils::ToWide(part_path, Utils::kCodePageAnsi));
  }
  if (std::fclose(first) != 0) ok = false;
  ok = ok && download_internal::FileSize(first_path) == fileLength;
  if (ok) {
    std::remove(destination.c_str());
    ok = std::rename(first_path.c_str(), destination.c_str()) == 0;
  }
  // Every part was read in order, so the digest covers the whole file.
  if (ok && digest && digest->ok() && parts[0]->result == 0) joinedMd5 = digest->Final();
  deletePartFiles(destination);
  return ok;
}

void CMTCurlDownloader::CheckDigest(const std::string& destination) {
  if (expectedMd5.size() == 32) {
    const std::string actual = joinedMd5.size() == 32 ? joinedMd5 : Utils::FileMd5(destination);
    if (actual.size() == 32 && actual != expectedMd5) {
      Report(DL_CODE_REASON, 0.0, kDigestMismatchReason);
      std::remove(destination.c_str());
      clearParts();
      if (!retried) {
        retried = true;
        DEBUG_LOG(L"finish recv, md5 chaek failed retry once.");
        Report(DL_CODE_RETRY, 0.0, kLibCurlText);
      } else {
        DEBUG_LOG(L"finish recv, md5 chaek failed and retry failed.");
        Report(DL_CODE_FAIL, 0.0, kLibCurlText);
      }
      return;
    }
  } else {
    Report(DL_CODE_REASON, 0.0, kNoDigestReason);
  }
  DEBUG_LOG(L"finish recv");
  clearParts();
  Report(DL_CODE_SUCCESS, 0.0, kLibCurlText);
}
