// Wraps one UsageTrackerImpl (owned) and catches every exception of the
// fifteen track operations; when the implementation has a logger a line
// "Failed to track<Operation>" goes to standard output.
#pragma once

#include <memory>

#include "usage_tracker.h"

namespace kavrin::usage {

class UsageTrackerImpl;

class UsageTrackerWrapper : public UsageTracker {
 public:
  explicit UsageTrackerWrapper(std::unique_ptr<UsageTrackerImpl> impl);
  ~UsageTrackerWrapper() override;

  void trackActivity(const KvContextProperties& context) override;
  void trackLaunch(const KvContextProperties& context) override;
  void trackLogin(const KvUser& user, bool success, const std::string& reason,
                  const KvContextProperties& context) override;
  void trackClick(const KvEventClick& event, const KvContextProperties& context) override;
  void trackView(const KvEventView& event, const KvContextProperties& context) override;
  void trackCashier(const KvEventCashier& event, const KvContextProperties& context) override;
  void trackShare(const KvEventShare& event, const KvContextProperties& context) override;
  void trackTask(const KvEventTask& event, const KvContextProperties& context) override;
  void trackFile(const KvEventFile& event, const KvContextProperties& context) override;
  void trackOrder(const KvEventOrder& event, const KvContextProperties& context) override;
  void trackPayment(const KvEventPayment& event, const KvContextProperties& context) override;
  void trackUninstall(const std::string& reason, const KvContextProperties& context) override;
  void trackCrash(const std::string& reason) override;
  void trackUpdate(const KvEventUpdate& event, const KvContextProperties& context) override;
  void trackAppOpenNotification(const KvAppOpenNotification& event,
                                const KvContextProperties& context) override;
  void setLocale(const std::string& locale) override;
  std::string getDeviceId() override;
  TrackLogger* getTrackLogger() override { return nullptr; }

 private:
  template <typename Call>
  void Guard(const char* operation, Call call);

  std::unique_ptr<UsageTrackerImpl> impl_;
};

}  // namespace kavrin::usage
