#include "event_reporting.h"

#include <mutex>

namespace {
std::mutex g_tracker_lock;
std::shared_ptr<kavrin::usage::UsageTracker> g_tracker;
}  // namespace

std::shared_ptr<kavrin::usage::UsageTracker> GlobalTracker() {
  std::lock_guard<std::mutex> guard(g_tracker_lock);
  return g_tracker;
}

void StartTracker() {}

void StopTracker() {
  std::shared_ptr<kavrin::usage::UsageTracker> last;
  std::lock_guard<std::mutex> guard(g_tracker_lock);
  last.swap(g_tracker);
}

void ReportTaskEvent(const std::wstring& name, float elapsed, const std::wstring& reason,
                     EventExtras extras) {}

void ReportClickEvent(const std::wstring& word, EventExtras extras) {}

void ReportViewEvent(EventExtras extras) {}

void ReportCrashEvent() {}
