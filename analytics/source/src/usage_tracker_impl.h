// The tracker: device identity and its persistence file, the preset
// properties, the fifteen track operations and the upload decisions.
//
// Track operations may run on any thread at once: each builds its own
// property map, and the only shared data they change are the pending count
// (atomic) and the collection layer's queue (locked there). init and the
// destructor run on the owning thread, never during a track operation.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "usage_tracker.h"

namespace usage_collect {
class PropertiesNode;
}

namespace kavrin::usage {

class UsageTrackerImpl : public UsageTracker {
 public:
  explicit UsageTrackerImpl(const UsageTrackerConfig& config);
  // Saves the persistence file, makes up to three upload attempts when
  // anything is pending, then persists what is left to the staging file.
  ~UsageTrackerImpl() override;

  // Settles folders and files, loads or creates the device identity, opens
  // the log and starts the collection layer. Raises KvException ("appName is
  // empty", "usage_collect::Sdk::Init is failed", "Unknown edition [n]!", ...).
  void init();

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
  TrackLogger* getTrackLogger() override { return logger_.get(); }

  // Where the tracker keeps its files (valid after init).
  const std::wstring& dataFolder() const { return data_folder_; }
  const std::wstring& iniPath() const { return ini_path_; }
  const std::wstring& logPath() const { return log_path_; }
  const std::wstring& stagingPath() const { return staging_path_; }
  const std::string& serverUrl() const { return server_url_; }
  int pending() const { return pending_.load(); }

  // A new device id: "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX", upper case.
  static std::string NewDeviceId();

 private:
  void SettleFolders();
  void LoadIdentity();
  void SaveIdentity();
  void BuildPresetProperties();
  void Queue(const std::string& event, usage_collect::PropertiesNode& properties,
             const KvContextProperties* context, KvEventType type);
  void UploadNow();
  void RaisePending() { pending_.fetch_add(1); }

  const UsageTrackerConfig config_;
  std::string server_url_;
  bool debug_ = false;
  std::unique_ptr<NativeTrackLogger> logger_;

  // State: written by init, login and the destructor only.
  std::mutex state_lock_;
  bool logged_in_ = false;
  std::string user_id_;
  std::string distinct_id_;
  std::string primary_distinct_id_;
  int32_t user_vip_level_ = 0;
  std::string locale_override_;
  std::wstring log_path_;
  std::wstring data_folder_;
  std::wstring ini_path_;
  std::wstring staging_path_;
  std::string saved_url_;
  std::atomic<int32_t> pending_{0};
  bool collect_started_ = false;
};

// The text intake rule: empty or valid UTF-8 stays; anything else is taken
// as the ANSI code page and converted to UTF-8.
std::string IntakeText(const std::string& text);

extern const char kStagingFileSuffix[];

}  // namespace kavrin::usage
