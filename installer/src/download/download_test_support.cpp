#include "download/download_test_support.h"

#include <curl/curl.h>

#include <sstream>

#include "utils/text.h"

namespace download_testing {
namespace {

// The entry function initialises libcurl for the installer; tests do it here.
const bool kCurlReady = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;

bool IsFinal(int32_t code) {
  return code == DL_CODE_SUCCESS || code == DL_CODE_FAIL || code == DL_CODE_RETRY;
}

}  // namespace

DownloadCallback Recorder::Callback() {
  return [this](int32_t code, double value, const wchar_t* text) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      events_.push_back({code, value, text ? text : L"", std::chrono::duration<double>(std::chrono::steady_clock::now() - made_).count()});
      if (code == DL_CODE_SUCCESS || code == DL_CODE_FAIL ||
          (code == DL_CODE_RETRY && on_retry_ == OnRetry::kStop))
        ended_ = true;
    }
    changed_.notify_all();
    if (code == DL_CODE_RETRY && on_retry_ == OnRetry::kRestart && downloader_) downloader_->Start();
  };
}

bool Recorder::WaitForEnd(std::chrono::seconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout, [this] { return ended_; });
}

bool Recorder::WaitForCode(int32_t code, int count, std::chrono::seconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] {
    int seen = 0;
    for (const Event& e : events_) seen += e.code == code;
    return seen >= count;
  });
}

std::vector<Event> Recorder::events() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return events_;
}

std::vector<int32_t> Recorder::Codes() const {
  std::vector<int32_t> codes;
  for (const Event& e : events())
    if (e.code != DL_CODE_PROGRESS) codes.push_back(e.code);
  return codes;
}

std::vector<double> Recorder::ProgressValues() const {
  std::vector<double> values;
  for (const Event& e : events())
    if (e.code == DL_CODE_PROGRESS) values.push_back(e.value);
  return values;
}

Event Recorder::Last(int32_t code) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = events_.rbegin(); it != events_.rend(); ++it)
    if (it->code == code) return *it;
  return Event{0, 0.0, L"", 0.0};
}

std::string Recorder::Describe() const {
  std::ostringstream out;
  for (const Event& e : events())
    out << e.code << "(" << e.value << ",\"" << Utils::WideToUtf8(e.text) << "\") ";
  return out.str();
}

std::string OrderProblems(const std::vector<Event>& events) {
  std::ostringstream problems;
  enum class State { kBetween, kStarted, kReasoned } state = State::kBetween;
  int32_t last_final = 0;
  for (size_t i = 0; i < events.size(); ++i) {
    const int32_t code = events[i].code;
    if (code == DL_CODE_START) {
      if (state != State::kBetween) problems << "START inside a Start at " << i << "; ";
      if (last_final == DL_CODE_SUCCESS || last_final == DL_CODE_FAIL)
        problems << "START after a final code at " << i << "; ";
      state = State::kStarted;
    } else if (code == DL_CODE_PROGRESS) {
      if (state != State::kStarted) problems << "PROGRESS out of place at " << i << "; ";
    } else if (code == DL_CODE_REASON) {
      if (state != State::kStarted) problems << "REASON out of place at " << i << "; ";
      state = State::kReasoned;
    } else if (IsFinal(code)) {
      if (state == State::kBetween) problems << "final code without START at " << i << "; ";
      state = State::kBetween;
      last_final = code;
    } else {
      problems << "unknown code " << code << "; ";
    }
  }
  if (state != State::kBetween) problems << "last Start has no final code; ";
  return problems.str();
}

std::string ProgressProblems(const std::vector<Event>& events) {
  std::ostringstream problems;
  double previous = 0.0;
  std::vector<double> times;
  for (size_t i = 0; i < events.size(); ++i) {
    const Event& e = events[i];
    if (e.code == DL_CODE_START) previous = 0.0;
    if (e.code != DL_CODE_PROGRESS) continue;
    if (!(e.value > 0.0 && e.value <= 1.0)) problems << "value " << e.value << " at " << i << "; ";
    if (e.value < previous) problems << "fell from " << previous << " to " << e.value << "; ";
    previous = e.value;
    times.push_back(e.at);
  }
  for (size_t i = 2; i < times.size(); ++i)
    if (times[i] - times[i - 2] < 1.0)
      problems << "three reports within " << times[i] - times[i - 2] << " s; ";
  return problems.str();
}

std::wstring Wide(const std::string& utf8) { return Utils::Utf8ToWide(utf8); }

int CountLines(const std::vector<std::string>& lines, const std::vector<std::string>& parts) {
  int count = 0;
  for (const std::string& line : lines) {
    bool all = true;
    for (const std::string& part : parts) all = all && line.find(part) != std::string::npos;
    count += all;
  }
  return count;
}

}  // namespace download_testing
