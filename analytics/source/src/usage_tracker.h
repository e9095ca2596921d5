// The tracker interface and how to create one. The installer reaches it only
// through the routines of event_reporting.h.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "kv_context_properties.h"
#include "kv_events.h"
#include "track_logger.h"

namespace kavrin::usage {

// Set-up record; texts are UTF-8.
struct UsageTrackerConfig {
  std::string appName;
  std::string appVersion;
  std::string appStore;
  std::string dlAppId;
  std::string dlAppVersion;
  std::string logPath;    // empty: inside the tracker's data folder
  std::string serverUrl;  // empty: the default collection endpoint
  int32_t edition = 0;    // 0 domestic ("china"), 1 overseas
};

class UsageTracker {
 public:
  virtual ~UsageTracker() = default;
  virtual void trackActivity(const KvContextProperties& context) = 0;
  virtual void trackLaunch(const KvContextProperties& context) = 0;
  virtual void trackLogin(const KvUser& user, bool success, const std::string& reason,
                          const KvContextProperties& context) = 0;
  virtual void trackClick(const KvEventClick& event, const KvContextProperties& context) = 0;
  virtual void trackView(const KvEventView& event, const KvContextProperties& context) = 0;
  virtual void trackCashier(const KvEventCashier& event, const KvContextProperties& context) = 0;
  virtual void trackShare(const KvEventShare& event, const KvContextProperties& context) = 0;
  virtual void trackTask(const KvEventTask& event, const KvContextProperties& context) = 0;
  virtual void trackFile(const KvEventFile& event, const KvContextProperties& context) = 0;
  virtual void trackOrder(const KvEventOrder& event, const KvContextProperties& context) = 0;
  virtual void trackPayment(const KvEventPayment& event, const KvContextProperties& context) = 0;
  virtual void trackUninstall(const std::string& reason, const KvContextProperties& context) = 0;
  virtual void trackCrash(const std::string& reason) = 0;
  virtual void trackUpdate(const KvEventUpdate& event, const KvContextProperties& context) = 0;
  virtual void trackAppOpenNotification(const KvAppOpenNotification& event,
                                        const KvContextProperties& context) = 0;
  // |locale| is language + "_" + country. The preset properties are built at
  // init, so only an override set before init changes what is sent.
  virtual void setLocale(const std::string& locale) = 0;
  virtual std::string getDeviceId() = 0;
  virtual TrackLogger* getTrackLogger() = 0;
};

// Creates and initialises a tracker; a failed init is swallowed and the
// tracker is returned all the same (its events may then be lost). The result
// is a wrapper that never lets an error of a track operation out.
std::shared_ptr<UsageTracker> CreateUsageTracker(const UsageTrackerConfig& config);

// The endpoint used when the set-up record names none.
extern const char kDefaultServerUrl[];

}  // namespace kavrin::usage
