// What the downloader tests share: a recorder for the callback that behaves
// like the real owner (it restarts the downloader on DL_CODE_RETRY from inside
// the callback), and a check of the order rules of the codes.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "download/downloader.h"

namespace download_testing {

struct Event {
  int32_t code;
  double value;
  std::wstring text;
  double at;  // seconds since the recorder was made
};

class Recorder {
 public:
  enum class OnRetry { kRestart, kStop };
  explicit Recorder(OnRetry on_retry = OnRetry::kRestart) : on_retry_(on_retry) {}

  DownloadCallback Callback();
  // The downloader to restart on DL_CODE_RETRY.
  void Attach(CDownloader* downloader) { downloader_ = downloader; }

  // Waits for the final code (DL_CODE_SUCCESS or DL_CODE_FAIL, and
  // DL_CODE_RETRY when not restarting); false on time-out.
  bool WaitForEnd(std::chrono::seconds timeout = std::chrono::seconds(60));
  // Waits until at least |count| codes |code| have arrived.
  bool WaitForCode(int32_t code, int count, std::chrono::seconds timeout);

  std::vector<Event> events() const;
  // The codes without DL_CODE_PROGRESS.
  std::vector<int32_t> Codes() const;
  std::vector<double> ProgressValues() const;
  // The last event with |code|; code 0 when there is none.
  Event Last(int32_t code) const;
  // Every event, for failure messages.
  std::string Describe() const;

 private:
  const OnRetry on_retry_;
  CDownloader* downloader_ = nullptr;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Event> events_;
  bool ended_ = false;
  const std::chrono::steady_clock::time_point made_ = std::chrono::steady_clock::now();
};

// Empty when |events| keep the order rules within each Start (START first,
// then progress, at most one REASON, then exactly one final code; the final
// code of a Start is RETRY only when another Start follows); otherwise what
// is wrong.
std::string OrderProblems(const std::vector<Event>& events);

// Progress rules: values in (0, 1], never falling within one Start, and at
// most one report per wall-clock second (checked as: any three reports span
// more than a second, since the test's clock reading lags the downloader's).
// Empty when kept.
std::string ProgressProblems(const std::vector<Event>& events);

// Wide text of a UTF-8 path, as the downloaders take it.
std::wstring Wide(const std::string& utf8);

// Counts the log lines containing every one of |parts|.
int CountLines(const std::vector<std::string>& lines, const std::vector<std::string>& parts);

}  // namespace download_testing
