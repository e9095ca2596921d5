#include "usage_tracker_wrapper.h"

#include <iostream>

#include "usage_tracker_impl.h"

namespace kavrin::usage {

UsageTrackerWrapper::UsageTrackerWrapper(std::unique_ptr<UsageTrackerImpl> impl)
    : impl_(std::move(impl)) {}

UsageTrackerWrapper::~UsageTrackerWrapper() = default;

template <typename Call>
void UsageTrackerWrapper::Guard(const char* operation, Call call) {
  if (!impl_) return;
  try {
    call(*impl_);
  } catch (...) {
    if (impl_->getTrackLogger()) std::cout << "Failed to " << operation << std::endl;
  }
}

void UsageTrackerWrapper::trackActivity(const KvContextProperties& context) {
  Guard("trackActivity", [&](UsageTrackerImpl& impl) { impl.trackActivity(context); });
}
void UsageTrackerWrapper::trackLaunch(const KvContextProperties& context) {
  Guard("trackLaunch", [&](UsageTrackerImpl& impl) { impl.trackLaunch(context); });
}
void UsageTrackerWrapper::trackLogin(const KvUser& user, bool success, const std::string& reason,
                                     const KvContextProperties& context) {
  Guard("trackLogin",
        [&](UsageTrackerImpl& impl) { impl.trackLogin(user, success, reason, context); });
}
void UsageTrackerWrapper::trackClick(const KvEventClick& event, const KvContextProperties& context) {
  Guard("trackClick", [&](UsageTrackerImpl& impl) { impl.trackClick(event, context); });
}
void UsageTrackerWrapper::trackView(const KvEventView& event, const KvContextProperties& context) {
  Guard("trackView", [&](UsageTrackerImpl& impl) { impl.trackView(event, context); });
}
void UsageTrackerWrapper::trackCashier(const KvEventCashier& event,
                                       const KvContextProperties& context) {
  Guard("trackCashier", [&](UsageTrackerImpl& impl) { impl.trackCashier(event, context); });
}
void UsageTrackerWrapper::trackShare(const KvEventShare& event, const KvContextProperties& context) {
  Guard("trackShare", [&](UsageTrackerImpl& impl) { impl.trackShare(event, context); });
}
void UsageTrackerWrapper::trackTask(const KvEventTask& event, const KvContextProperties& context) {
  Guard("trackTask", [&](UsageTrackerImpl& impl) { impl.trackTask(event, context); });
}
void UsageTrackerWrapper::trackFile(const KvEventFile& event, const KvContextProperties& context) {
  Guard("trackFile", [&](UsageTrackerImpl& impl) { impl.trackFile(event, context); });
}
void UsageTrackerWrapper::trackOrder(const KvEventOrder& event, const KvContextProperties& context) {
  Guard("trackOrder", [&](UsageTrackerImpl& impl) { impl.trackOrder(event, context); });
}
void UsageTrackerWrapper::trackPayment(const KvEventPayment& event,
                                       const KvContextProperties& context) {
  Guard("trackPayment", [&](UsageTrackerImpl& impl) { impl.trackPayment(event, context); });
}
void UsageTrackerWrapper::trackUninstall(const std::string& reason,
                                         const KvContextProperties& context) {
  Guard("trackUninstall", [&](UsageTrackerImpl& impl) { impl.trackUninstall(reason, context); });
}
void UsageTrackerWrapper::trackCrash(const std::string& reason) {
  Guard("trackCrash", [&](UsageTrackerImpl& impl) { impl.trackCrash(reason); });
}
void UsageTrackerWrapper::trackUpdate(const KvEventUpdate& event, const KvContextProperties& context) {
  Guard("trackUpdate", [&](UsageTrackerImpl& impl) { impl.trackUpdate(event, context); });
}
void UsageTrackerWrapper::trackAppOpenNotification(const KvAppOpenNotification& event,
                                                   const KvContextProperties& context) {
  Guard("trackAppOpenNotification",
        [&](UsageTrackerImpl& impl) { impl.trackAppOpenNotification(event, context); });
}

void UsageTrackerWrapper::setLocale(const std::string& locale) {
  if (impl_) impl_->setLocale(locale);
}

std::string UsageTrackerWrapper::getDeviceId() {
  return impl_ ? impl_->getDeviceId() : std::string();
}

}  // namespace kavrin::usage
