#include "usage_tracker_impl.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <random>
#include <thread>

#include "kv_exception.h"
#include "platform_info.h"
#include "usage_tracker_wrapper.h"
#include "usage_collect/sdk.h"
#include "usage_collect/value_node.h"
#include "utils/path.h"
#include "utils/profile.h"
#include "utils/system.h"
#include "utils/text.h"

namespace kavrin::usage {

using usage_collect::PropertiesNode;
using usage_collect::Sdk;

const char kDefaultServerUrl[] = "https://usage.kavrinsoft.com/sa?project=pc";
const char kStagingFileSuffix[] = "_KVSQueue.txt";

namespace {

const char kFile[] = "UsageTrackerImpl";
const wchar_t kBase[] = L"Base";

[[noreturn]] void Raise(const std::string& message, const char* function, int line) {
  throw KvException(message, kFile, function, line);
}

std::wstring Wide(const std::string& utf8) { return Utils::Utf8ToWide(utf8); }
std::string Narrow(const std::wstring& wide) { return Utils::WideToUtf8(wide); }

void Pause() { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }

// Every "/" and "\" becomes the platform's separator.
std::wstring WithPlatformSeparators(std::wstring path) {
  for (auto& c : path)
    if (c == L'/' || c == L'\\') c = Utils::kPathSeparator;
  return path;
}

std::wstring EnsureTrailingSeparator(std::wstring folder) {
  if (folder.empty() || folder.back() != Utils::kPathSeparator) folder += Utils::kPathSeparator;
  return folder;
}

void SetText(PropertiesNode& properties, const std::string& key, const std::string& value) {
  if (!value.empty()) properties.SetString(key, IntakeText(value));
}

void MergeContext(PropertiesNode& properties, const KvContextProperties& context,
                  KvEventType type) {
  for (const auto& entry : context.getEventProperties(type)) {
    switch (entry.kind) {
      case KvContextProperties::ValueKind::Bool:
        properties.SetBool(entry.name, std::get<bool>(entry.value));
        break;
      case KvContextProperties::ValueKind::Int:
        properties.SetString(entry.name, std::to_string(std::get<int64_t>(entry.value)));
        break;
      case KvContextProperties::ValueKind::Double:
        properties.SetNumber(entry.name, std::get<double>(entry.value));
        break;
      case KvContextProperties::ValueKind::Text:
        properties.SetString(entry.name, std::get<std::string>(entry.value));
        break;
      case KvContextProperties::ValueKind::TextList:
        properties.SetList(entry.name, std::get<std::vector<std::string>>(entry.value));
        break;
    }
  }
}

std::string RandomDeviceId() {
  std::mt19937 engine(static_cast<uint32_t>(std::time(nullptr)) ^
                      static_cast<uint32_t>(std::random_device{}()));
  auto part = [&](uint32_t mask) { return static_cast<unsigned>(engine() & mask); };
  char text[64];
  std::snprintf(text, sizeof(text), "%x%x-%x-%x-%x-%x%x%x", part(0xFFFF), part(0xFFFF),
                part(0xFFFF), (part(0x0FFF) | 0x4000), (part(0x3FFF) | 0x8000), part(0xFFFF),
                part(0xFFFF), part(0xFFFF));
  return text;
}

}  // namespace

std::string IntakeText(const std::string& text) {
  if (text.empty() || usage_collect::IsValidUtf8(text)) return text;
  return Utils::WideToUtf8(Utils::ToWide(text, Utils::kCodePageAnsi));
}

std::string UsageTrackerImpl::NewDeviceId() {
  uint8_t b[16];
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (!platform::CreateGuidBytes(b)) continue;
    char text[40];
    std::snprintf(text, sizeof(text),
                  "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[0],
                  b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12],
                  b[13], b[14], b[15]);
    return text;
  }
  return RandomDeviceId();
}

UsageTrackerImpl::UsageTrackerImpl(const UsageTrackerConfig& config) : config_(config) {}

UsageTrackerImpl::~UsageTrackerImpl() {
  if (!ini_path_.empty()) SaveIdentity();
  // Records may wait without raising pending (a crash reported first); they
  // deserve the final attempts too.
  if (pending_.load() > 0 || (collect_started_ && !Sdk::QueuedRecords().empty())) {
    for (int attempt = 0; attempt < 3; ++attempt) {
      if (Sdk::Flush()) {
        pending_ = 0;
        break;
      }
    }
  }
  if (collect_started_) Sdk::Shutdown();
  if (logger_) logger_->close();
}

void UsageTrackerImpl::SettleFolders() {
  const std::wstring exe_folder = Utils::FolderPart(Utils::ExecutablePath());
  const std::wstring override_file = Utils::JoinPath(exe_folder, L"Set.ini");
  std::wstring ini_path;
  if (!exe_folder.empty() && Utils::FileExists(override_file))
    ini_path = Utils::GetProfileString(L"Install", L"KVUsageAnalyticsIni", L"", override_file, 128);
  const std::wstring app_name = Wide(config_.appName);
  if (ini_path.empty() || ini_path.find_first_of(L"\\/") == std::wstring::npos) {
    const std::wstring base = platform::TrackerBaseFolder();
    if (base.empty()) Raise("no folder for the tracker's files", "init", __LINE__);
    const std::wstring local = EnsureTrailingSeparator(Utils::JoinPath(base, L"KVLocal"));
    data_folder_ = EnsureTrailingSeparator(local + app_name);
    if (!Utils::IsDirectory(local)) Utils::CreateDirectories(local);
    if (!Utils::IsDirectory(data_folder_)) Utils::CreateDirectories(data_folder_);
    ini_path_ = data_folder_ + app_name + L"_KVSConfigure.ini";
  } else {
    ini_path_ = WithPlatformSeparators(ini_path);
    data_folder_ = ini_path_.substr(0, ini_path_.rfind(Utils::kPathSeparator) + 1);
    if (!data_folder_.empty() && !Utils::IsDirectory(data_folder_))
      Utils::CreateDirectories(data_folder_);
  }
  log_path_ = config_.logPath.empty() ? data_folder_ + app_name + L"_KVSLog.txt"
                                      : Wide(config_.logPath);
  staging_path_ = data_folder_ + app_name + Wide(kStagingFileSuffix);
}

void UsageTrackerImpl::LoadIdentity() {
  user_id_.clear();
  distinct_id_.clear();
  primary_distinct_id_.clear();
  saved_url_.clear();
  logged_in_ = false;
  if (Utils::FileExists(ini_path_) && !Utils::IsDirectory(ini_path_)) {
    auto read = [&](const wchar_t* key) {
      return Narrow(Utils::GetProfileString(kBase, key, L"", ini_path_, 128));
    };
    distinct_id_ = read(L"DistinctId");
    primary_distinct_id_ = read(L"PrimaryDistinctId");
    user_id_ = read(L"UserId");
    user_vip_level_ = Utils::GetProfileInt(kBase, L"UserVipLevel", 0, ini_path_);
    logged_in_ = read(L"isLogined") == "OK";
    saved_url_ = read(L"URL");
    if (primary_distinct_id_.empty()) primary_distinct_id_ = distinct_id_;
  }
  if (distinct_id_.empty()) {
    // The first identity of this machine wins over a new one.
    distinct_id_ = primary_distinct_id_.empty() ? NewDeviceId() : primary_distinct_id_;
    SaveIdentity();
  }
}

void UsageTrackerImpl::SaveIdentity() {
  auto write = [&](const wchar_t* key, const std::string& value) {
    Utils::WriteProfileString(kBase, key, Wide(value), ini_path_);
  };
  write(L"DistinctId", distinct_id_);
  write(L"PrimaryDistinctId", primary_distinct_id_);
  write(L"UserId", user_id_);
  write(L"UserVipLevel", std::to_string(user_vip_level_));
  write(L"isLogined", logged_in_ ? "OK" : "NG");
  write(L"URL", saved_url_);
}

void UsageTrackerImpl::init() {
  debug_ = false;
  if (config_.appName.empty()) Raise("appName is empty", "init", __LINE__);
  if (config_.appVersion.empty()) Raise("appVersion is empty", "init", __LINE__);
  if (config_.appStore.empty()) Raise("appStore is empty", "init", __LINE__);
  pending_ = 0;
  SettleFolders();
  server_url_ = config_.serverUrl.empty() ? kDefaultServerUrl : config_.serverUrl;

  std::lock_guard<std::mutex> guard(state_lock_);
  LoadIdentity();
  if (saved_url_ != server_url_ || distinct_id_.empty()) {
    user_id_.clear();
    logged_in_ = false;
    if (primary_distinct_id_.empty()) {
      distinct_id_ = NewDeviceId();
      primary_distinct_id_ = distinct_id_;
    } else {
      distinct_id_ = primary_distinct_id_;
    }
    saved_url_ = server_url_;
    SaveIdentity();
  }
  if (user_id_.empty()) logged_in_ = false;

  logger_ = std::make_unique<NativeTrackLogger>();
  logger_->open(log_path_);

  if (!Sdk::Init(Narrow(staging_path_), server_url_, logged_in_ ? user_id_ : distinct_id_,
                 logged_in_))
    Raise("usage_collect::Sdk::Init is failed", "init", __LINE__);
  collect_started_ = true;
  BuildPresetProperties();

  const wchar_t kUninstall[] = L"UninstallInfo";
  Utils::WriteProfileString(kUninstall, L"AppStore", Wide(config_.appStore), ini_path_);
  Utils::WriteProfileString(kUninstall, L"AppName", Wide(config_.appName), ini_path_);
  Utils::WriteProfileString(kUninstall, L"AppVersion", Wide(config_.appVersion), ini_path_);
}

void UsageTrackerImpl::BuildPresetProperties() {
  PropertiesNode preset;
  preset.SetString("kv_app_id", config_.appName);
  preset.SetString("$app_id", config_.appName);
  preset.SetString("$app_version", config_.appVersion);
  preset.SetString("kv_app_store", config_.appStore);
  if (config_.edition == 0) {
    preset.SetString("kv_edition", "china");
  } else if (config_.edition == 1) {
    preset.SetString("kv_edition", "overseas");
  } else {
    Raise("Unknown edition [" + std::to_string(config_.edition) + "]!", "init", __LINE__);
  }
  if (!config_.dlAppId.empty()) preset.SetString("kv_dlapp_id", config_.dlAppId);
  if (!config_.dlAppVersion.empty()) preset.SetString("kv_dlapp_version", config_.dlAppVersion);
  const std::string family = platform::OsFamily();
  preset.SetString("kv_app_platform", family);
  preset.SetString("kv_track_type", "Client");
  preset.SetString("kv_sdk_version", "3.3.8");
  preset.SetString("kv_sdk", "WindowsCPP");
  preset.SetString("$os", family);
  preset.SetString("$os_version", platform::OsVersionName());

  std::string language, country, locale;
  const size_t underscore = locale_override_.find('_');
  if (underscore != std::string::npos) {
    language = locale_override_.substr(0, underscore);
    country = locale_override_.substr(underscore + 1);
    locale = locale_override_;
  }
  if (language.empty()) {
    language.clear();
    country.clear();
    locale.clear();
    if (platform::UserLocaleNames(language, country)) {
      locale = language + "_" + country;
    } else {
      language.clear();
      country.clear();
    }
  }
  preset.SetString("kv_l10n_locale", locale);
  preset.SetString("kv_l10n_language", language);
  preset.SetString("kv_l10n_country", country);
  int64_t width = 0, height = 0;
  platform::ScreenSize(width, height);
  preset.SetInt("$screen_height", height);
  preset.SetInt("$screen_width", width);
  if (!user_id_.empty()) preset.SetString("kv_user_id", user_id_);
  Sdk::RegisterSuperProperties(preset);
}

void UsageTrackerImpl::Queue(const std::string& event, PropertiesNode& properties,
                             const KvContextProperties* context, KvEventType type) {
  if (context) MergeContext(properties, *context, type);
  Sdk::Track(event, properties);
}

void UsageTrackerImpl::UploadNow() {
  for (int attempt = 0; attempt < 3 && pending_.load() > 0; ++attempt) {
    if (Sdk::Flush()) {
      pending_.exchange(0);
      return;
    }
    Pause();
  }
}

void UsageTrackerImpl::trackTask(const KvEventTask& event, const KvContextProperties& context) {
  if (event.name.empty()) Raise("kvEventTask.name is empty", "trackTask", __LINE__);
  PropertiesNode properties;
  SetText(properties, "kv_task_name", event.name);
  if (event.elapsed) properties.SetNumber("kv_task_elapsed", static_cast<double>(*event.elapsed));
  if (event.result && static_cast<int>(*event.result) >= 0 && static_cast<int>(*event.result) <= 2)
    properties.SetString("kv_task_result", ResultText(*event.result));
  SetText(properties, "kv_aname", event.aname);
  SetText(properties, "kv_reason", event.reason);
  properties.SetBool("$is_first_time", true);
  Queue("KvEventTask", properties, &context, KvEventType::Task);
  Pause();
  RaisePending();
}

void UsageTrackerImpl::trackClick(const KvEventClick& event, const KvContextProperties& context) {
  if (event.name.empty()) Raise("kvEventClick.name is empty", "trackClick", __LINE__);
  PropertiesNode properties;
  SetText(properties, "kv_name", event.name);
  properties.SetString("kv_click_type", ClickTypeText(event.clickType));
  SetText(properties, "kv_aname", event.aname);
  SetText(properties, "kv_title", event.title);
  SetText(properties, "kv_position", event.position);
  SetText(properties, "kv_module", event.module);
  SetText(properties, "kv_tab_name", event.tabName);
  if (event.tabIndex) properties.SetInt("kv_tab_index", *event.tabIndex);
  SetText(properties, "kv_banner_name", event.bannerName);
  if (event.bannerIndex) properties.SetInt("kv_banner_index", *event.bannerIndex);
  properties.SetBool("$is_first_time", true);
  Queue("KvEventClick", properties, &context, KvEventType::Click);
  RaisePending();
  Pause();
  RaisePending();
}

void UsageTrackerImpl::trackView(const KvEventView& event, const KvContextProperties& context) {
  if (event.name.empty()) Raise("kvEventView.name is empty", "trackView", __LINE__);
  PropertiesNode properties;
  SetText(properties, "kv_name", event.name);
  SetText(properties, "kv_aname", event.aname);
  SetText(properties, "kv_title", event.title);
  SetText(properties, "kv_position", event.position);
  properties.SetBool("$is_first_time", true);
  Queue("KvEventView", properties, &context, KvEventType::View);
  RaisePending();
  Pause();
  RaisePending();
}

void UsageTrackerImpl::trackCrash(const std::string& reason) {
  PropertiesNode properties;
  SetText(properties, "app_crashed_reason", reason);
  Queue("AppCrashed", properties, nullptr, KvEventType::Crashed);
  UploadNow();
}

void UsageTrackerImpl::trackActivity(const KvContextProperties& context) {
  PropertiesNode properties;
  SetText(properties, "kv_app_store", config_.appStore);
  SetText(properties, "kv_app_id", config_.appName);
  SetText(properties, "$app_id", config_.appName);
  SetText(properties, "$app_version", config_.appVersion);
  properties.SetString("$ios_install_source", "android_id=123##imei=1234##mac=123");
  const std::string family = platform::OsFamily();
  const std::string version = platform::OsVersionName();
  properties.SetString("$user_agent", "Mozilla/5.0(" + family + " " + version + "; Win" +
                                          (sizeof(void*) == 8 ? "64;)" : "32;)"));
  properties.SetString("$os", family);
  properties.SetString("$os_version", version);
  properties.SetBool("$is_first_time", true);
  MergeContext(properties, context, KvEventType::Activity);
  Sdk::TrackInstallation("KvEventActivity", properties);
  RaisePending();
  UploadNow();
}

void UsageTrackerImpl::trackLaunch(const KvContextProperties& context) {
  PropertiesNode properties;
  Queue("KvEventLaunch", properties, &context, KvEventType::PaLaunchPal);
  RaisePending();
  UploadNow();
}

void UsageTrackerImpl::trackLogin(const KvUser& user, bool success, const std::string& reason,
                                  const KvContextProperties& context) {
  PropertiesNode properties;
  properties.SetString("kv_type", UserTypeText(user.type));
  SetText(properties, "kv_login_id", user.loginId);
  SetText(properties, "kv_user_id", user.userId);
  SetText(properties, "kv_reason", reason);
  properties.SetString("kv_result", success ? "Success" : "Fail");
  Queue("KvEventLogin", properties, &context, KvEventType::Login);
  RaisePending();
  if (!user.loginId.empty()) {
    {
      std::lock_guard<std::mutex> guard(state_lock_);
      logged_in_ = true;
      user_id_ = user.userId.empty() ? user.loginId : user.userId;
      if (!ini_path_.empty()) SaveIdentity();
    }
    Sdk::TrackSignup(user.loginId);
  }
  UploadNow();
}

void UsageTrackerImpl::trackCashier(const KvEventCashier& event,
                                    const KvContextProperties& context) {
  if (event.name.empty())
    Raise("kvEventCashier.kv_cashier_name is empty", "trackCashier", __LINE__);
  PropertiesNode properties;
  SetText(properties, "kv_cashier_name", event.name);
  SetText(properties, "kv_cashier_title", event.title);
  SetText(properties, "kv_subitem", event.subitem);
  Queue("KvEventCashier", properties, &context, KvEventType::Cashier);
  RaisePending();
}

void UsageTrackerImpl::trackShare(const KvEventShare& event, const KvContextProperties& context) {
  PropertiesNode properties;
  SetText(properties, "kv_aname", event.aname);
  SetText(properties, "kv_channel", event.channel);
  SetText(properties, "kv_shared_name", event.sharedName);
  SetText(properties, "kv_position", event.position);
  if (event.result) properties.SetString("kv_result", ResultText(*event.result));
  Queue("KvEventShare", properties, &context, KvEventType::Share);
  RaisePending();
}

void UsageTrackerImpl::trackFile(const KvEventFile& event, const KvContextProperties& context) {
  if (event.aname.empty()) Raise("kvEventFile.aname is empty", "trackFile", __LINE__);
  PropertiesNode properties;
  SetText(properties, "kv_aname", event.aname);
  SetText(properties, "kv_name", event.name);
  if (event.io) properties.SetString("kv_io", FileIoText(*event.io));
  SetText(properties, "kv_ext", event.ext);
  if (event.size) properties.SetInt("kv_size", *event.size);
  if (event.duration) properties.SetNumber("kv_duration", *event.duration);
  if (event.fps) properties.SetNumber("kv_fps", *event.fps);
  if (event.bps) properties.SetInt("kv_bps", *event.bps);
  if (event.width) properties.SetInt("kv_width", *event.width);
  if (event.height) properties.SetInt("kv_height", *event.height);
  if (event.depth) properties.SetInt("kv_depth", *event.depth);
  if (event.result) properties.SetString("kv_result", ResultText(*event.result));
  Queue("KvEventFile", properties, &context, KvEventType::File);
  RaisePending();
}

void UsageTrackerImpl::trackOrder(const KvEventOrder& event, const KvContextProperties& context) {
  if (!event.currency) Raise("kvEventOrder.kv_currency is empty", "trackOrder", __LINE__);
  if (!event.originalAmount)
    Raise("kvEventOrder.kv_original_amount is empty", "trackOrder", __LINE__);
  PropertiesNode properties;
  SetText(properties, "kv_order_id", event.orderId);
  SetText(properties, "kv_subitem", event.subitem);
  SetText(properties, "kv_sku", event.sku);
  SetText(properties, "kv_suit_id", event.suitId);
  properties.SetString("kv_currency", CurrencyText(*event.currency));
  properties.SetNumber("kv_original_amount", *event.originalAmount);
  SetText(properties, "kv_campaign_code", event.campaignCode);
  SetText(properties, "kv_voucher_id", event.voucherId);
  if (event.paidAmount) properties.SetNumber("kv_paid_amount", *event.paidAmount);
  if (event.curOriginalAmount)
    properties.SetNumber("kv_cur_original_amount", *event.curOriginalAmount);
  if (event.curPaidAmount) properties.SetNumber("kv_cur_paid_amount", *event.curPaidAmount);
  SetText(properties, "kv_cashier_name", event.cashierName);
  SetText(properties, "kv_cashier_title", event.cashierTitle);
  Queue("KvEventOrder", properties, &context, KvEventType::Order);
  RaisePending();
}

void UsageTrackerImpl::trackPayment(const KvEventPayment& event,
                                    const KvContextProperties& context) {
  if (!event.paidAmount) Raise("kvEventPayment.kv_paid_amount is empty", "trackPayment", __LINE__);
  PropertiesNode properties;
  SetText(properties, "kv_order_id", event.orderId);
  if (event.currency) properties.SetString("kv_currency", CurrencyText(*event.currency));
  properties.SetNumber("kv_paid_amount", *event.paidAmount);
  if (event.paidPlatform)
    properties.SetString("kv_paid_platform", PayPlatformText(*event.paidPlatform));
  if (event.originalAmount) properties.SetNumber("kv_original_amount", *event.originalAmount);
  if (event.result) properties.SetString("kv_result", ResultText(*event.result));
  SetText(properties, "kv_suit_id", event.suitId);
  SetText(properties, "kv_subitem", event.subitem);
  SetText(properties, "kv_sku", event.sku);
  SetText(properties, "kv_campaign_code", event.campaignCode);
  SetText(properties, "kv_voucher_id", event.voucherId);
  SetText(properties, "kv_used_voucher_id", event.usedVoucherId);
  if (event.iapType) properties.SetString("kv_iap_type", IapTypeText(*event.iapType));
  if (event.curOriginalAmount)
    properties.SetNumber("kv_cur_original_amount", *event.curOriginalAmount);
  if (event.curPaidAmount) properties.SetNumber("kv_cur_paid_amount", *event.curPaidAmount);
  SetText(properties, "kv_cashier_name", event.cashierName);
  SetText(properties, "kv_cashier_title", event.cashierTitle);
  Queue("KvEventPayment", properties, &context, KvEventType::Payment);
  RaisePending();
  UploadNow();
}

void UsageTrackerImpl::trackUninstall(const std::string& reason,
                                      const KvContextProperties& context) {
  PropertiesNode properties;
  SetText(properties, "kv_uninstall_reason", reason);
  Queue("KvEventUninstall", properties, &context, KvEventType::Uninstall);
  RaisePending();
  UploadNow();
}

void UsageTrackerImpl::trackUpdate(const KvEventUpdate& event, const KvContextProperties& context) {
  PropertiesNode properties;
  if (event.op) properties.SetString("kv_update_op", UpdateOpText(*event.op));
  if (event.result) properties.SetString("kv_update_result", UpdateResultText(*event.result));
  if (event.elapsed) properties.SetNumber("kv_elapsed", *event.elapsed);
  Queue("KvEventUpdate", properties, &context, KvEventType::Update);
  RaisePending();
  UploadNow();
}

void UsageTrackerImpl::trackAppOpenNotification(const KvAppOpenNotification& event,
                                                const KvContextProperties& context) {
  const char* kOperation = "trackAppOpenNotification";
  if (event.planId.empty()) Raise("kvAppOpenNotification.sf_plan_id is empty", kOperation, __LINE__);
  if (event.msgTitle.empty())
    Raise("kvAppOpenNotification.sf_msg_title is empty", kOperation, __LINE__);
  if (event.planType.empty())
    Raise("kvAppOpenNotification.sf_plan_type is empty", kOperation, __LINE__);
  PropertiesNode properties;
  SetText(properties, "$sf_msg_title", event.msgTitle);
  SetText(properties, "$sf_msg_content", event.msgContent);
  SetText(properties, "$sf_link_url", event.linkUrl);
  SetText(properties, "$sf_plan_id", event.planId);
  SetText(properties, "$sf_audience_id", event.audienceId);
  SetText(properties, "$sf_plan_strategy_id", event.planStrategyId);
  SetText(properties, "$sf_plan_type", event.planType);
  SetText(properties, "$sf_strategy_unit_id", event.strategyUnitId);
  Queue("AppOpenNotification", properties, &context, KvEventType::AppOpenNotification);
  RaisePending();
}

void UsageTrackerImpl::setLocale(const std::string& locale) {
  std::lock_guard<std::mutex> guard(state_lock_);
  locale_override_ = locale;
}

std::string UsageTrackerImpl::getDeviceId() {
  std::lock_guard<std::mutex> guard(state_lock_);
  return primary_distinct_id_;
}

std::shared_ptr<UsageTracker> CreateUsageTracker(const UsageTrackerConfig& config) {
  auto impl = std::make_unique<UsageTrackerImpl>(config);
  try {
    impl->init();
  } catch (...) {
    // A tracker that could not start still takes events; they are lost.
  }
  return std::make_shared<UsageTrackerWrapper>(std::move(impl));
}

}  // namespace kavrin::usage
