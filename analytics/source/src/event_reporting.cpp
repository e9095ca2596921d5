#include "event_reporting.h"

#include <mutex>

#include "app/installer_settings.h"
#include "kv_exception.h"
#include "usage_tracker.h"
#include "utils/text.h"

using kavrin::usage::KvContextProperties;
using kavrin::usage::KvEventType;

namespace {

std::mutex g_tracker_lock;
std::shared_ptr<kavrin::usage::UsageTracker> g_tracker;

bool Enabled() { return InstallerSettings::Instance().IsEnableAppSensors; }

std::string Utf8(const std::wstring& text) {
  return Utils::ToMultiByte(text, Utils::kCodePageUtf8);
}

}  // namespace

void ApplyAbProperty(const EventExtras& extras, const std::vector<KvEventType>& types,
                     KvContextProperties& context) {
  if (extras.empty()) return;
  auto ab = extras.find(L"AB");
  if (ab == extras.end()) return;
  const std::string value = Utf8(ab->second);
  try {
    if (!KvContextProperties::isValidABValue(value)) return;
    context.setProperty("kvc_ab", value, types);
  } catch (const kavrin::usage::KvException&) {
    // A malformed group value must not cost the event: it goes out without it.
  }
}

std::wstring FitReason(const std::wstring& reason) {
  if (reason.size() < kReasonBufferChars) return reason;
  std::wstring cut = reason.substr(0, kReasonBufferChars - 1);
  // Never keep half of a UTF-16 surrogate pair.
  if (!cut.empty() && cut.back() >= 0xD800 && cut.back() <= 0xDBFF) cut.pop_back();
  return cut;
}

std::shared_ptr<kavrin::usage::UsageTracker> GlobalTracker() {
  std::lock_guard<std::mutex> guard(g_tracker_lock);
  return g_tracker;
}

void StartTracker() {
  if (!Enabled()) return;
  // The collection layer exists once per process; a second tracker would
  // share it and end it for the first.
  if (GlobalTracker()) return;
  const InstallerSettings& settings = InstallerSettings::Instance();
  kavrin::usage::UsageTrackerConfig config;
  config.appName = Utf8(settings.AppName + settings.DlAppNameSuffix);
  config.appVersion = Utf8(settings.AppVersion);
  config.appStore = Utf8(settings.ExeName);
  config.dlAppId = Utf8(settings.AppName);
  config.dlAppVersion = Utf8(settings.DlAppVersion);
  config.serverUrl = Utf8(TrackerServerUrl());
  config.edition = 0;
  auto tracker = kavrin::usage::CreateUsageTracker(config);
  std::lock_guard<std::mutex> guard(g_tracker_lock);
  g_tracker = std::move(tracker);
}

void StopTracker() {
  if (!Enabled()) return;
  std::shared_ptr<kavrin::usage::UsageTracker> last;
  {
    std::lock_guard<std::mutex> guard(g_tracker_lock);
    last.swap(g_tracker);
  }
  // |last| goes here, outside the lock: when it is the final reference the
  // tracker makes its final uploads now.
}

void ReportTaskEvent(const std::wstring& name, float elapsed, const std::wstring& reason,
                     EventExtras extras) {
  if (!Enabled()) return;
  auto tracker = GlobalTracker();
  if (!tracker) return;
  KvContextProperties context;
  ApplyAbProperty(extras, {KvEventType::Task}, context);
  kavrin::usage::KvEventTask event;
  event.name = Utf8(name);
  event.reason = Utf8(FitReason(reason));
  event.elapsed = std::make_shared<float>(elapsed);
  event.result = std::make_shared<kavrin::usage::KvResult>(kavrin::usage::KvResult::Success);
  tracker->trackTask(event, context);
}

void ReportClickEvent(const std::wstring& word, EventExtras extras) {
  if (!Enabled()) return;
  auto tracker = GlobalTracker();
  if (!tracker) return;
  KvContextProperties context;
  ApplyAbProperty(extras, {KvEventType::Click}, context);
  kavrin::usage::KvEventClick event;
  event.name = Utf8(word);
  event.clickType = kavrin::usage::KvClickType::Button;
  tracker->trackClick(event, context);
}

void ReportViewEvent(EventExtras extras) {
  if (!Enabled()) return;
  auto tracker = GlobalTracker();
  if (!tracker) return;
  KvContextProperties context;
  ApplyAbProperty(extras, {KvEventType::View}, context);
  kavrin::usage::KvEventView event;
  event.name = Utf8(L"安装中");
  tracker->trackView(event, context);
}

void ReportCrashEvent() {
  if (!Enabled()) return;
  auto tracker = GlobalTracker();
  if (!tracker) return;
  tracker->trackCrash(Utf8(L"崩溃"));
}

namespace {
std::mutex g_url_lock;
std::wstring g_server_url;
}  // namespace

void SetTrackerServerUrl(const std::wstring& url) {
  std::lock_guard<std::mutex> guard(g_url_lock);
  g_server_url = url;
}

std::wstring TrackerServerUrl() {
  std::lock_guard<std::mutex> guard(g_url_lock);
  return g_server_url;
}
