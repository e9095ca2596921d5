// The tracker against the collector on 127.0.0.1: identity and its files,
// preset properties, the track operations, upload decisions and destruction.
#include <gtest/gtest.h>

#include <functional>
#include <regex>

#include "analytics_test_support.h"
#include "kv_exception.h"
#include "platform_info.h"
#include "usage_collect/sdk.h"
#include "usage_tracker_impl.h"
#include "usage_tracker_wrapper.h"
#include "utils/path.h"
#include "utils/profile.h"
#include "utils/text.h"

namespace kavrin::usage {
namespace {

using analytics_test::ReadFile;
using analytics_test::SharedCollector;
using analytics_test::StreamCapture;
using analytics_test::WriteFile;
using testing_support::FieldText;
using testing_support::PropertyText;

std::string IniValue(const std::wstring& ini, const wchar_t* section, const wchar_t* key) {
  return Utils::WideToUtf8(Utils::GetProfileString(section, key, L"", ini, 128));
}

class TrackerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    analytics_test::ResetCollector();
    app_ = analytics_test::UniqueName("TrackerTest");
    config_.appName = app_;
    config_.appVersion = "1.7.9";
    config_.appStore = "Setup.exe";
    config_.dlAppId = "VanteloPDFconverter";
    config_.serverUrl = SharedCollector().url();
    folder_ = std::filesystem::path(platform::TrackerBaseFolder()) / "KVLocal" /
              std::filesystem::path(Utils::Utf8ToWide(app_));
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  std::unique_ptr<UsageTrackerImpl> StartImpl() {
    auto impl = std::make_unique<UsageTrackerImpl>(config_);
    impl->init();
    return impl;
  }

  std::vector<std::string> Received() { return SharedCollector().State().AllRecords(); }

  std::string app_;
  UsageTrackerConfig config_;
  std::filesystem::path folder_;
};

TEST_F(TrackerTest, FirstRunCreatesTheIdentityAndTheNextRunKeepsIt) {
  std::string id;
  {
    auto impl = StartImpl();
    const std::wstring sep(1, Utils::kPathSeparator);
    EXPECT_EQ(impl->dataFolder(), folder_.wstring() + sep);
    EXPECT_EQ(impl->iniPath(), folder_.wstring() + sep + Utils::Utf8ToWide(app_) + L"_KVSConfigure.ini");
    EXPECT_EQ(impl->logPath(), folder_.wstring() + sep + Utils::Utf8ToWide(app_) + L"_KVSLog.txt");
    EXPECT_TRUE(std::filesystem::exists(impl->logPath()));
    id = IniValue(impl->iniPath(), L"Base", L"DistinctId");
    EXPECT_TRUE(std::regex_match(id, std::regex("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}"))) << id;
    EXPECT_EQ(IniValue(impl->iniPath(), L"Base", L"PrimaryDistinctId"), id);
    EXPECT_EQ(IniValue(impl->iniPath(), L"Base", L"isLogined"), "NG");
    EXPECT_EQ(IniValue(impl->iniPath(), L"Base", L"URL"), config_.serverUrl);
    EXPECT_EQ(IniValue(impl->iniPath(), L"Base", L"UserVipLevel"), "0");
    EXPECT_EQ(IniValue(impl->iniPath(), L"UninstallInfo", L"AppStore"), "Setup.exe");
    EXPECT_EQ(IniValue(impl->iniPath(), L"UninstallInfo", L"AppName"), app_);
    EXPECT_EQ(IniValue(impl->iniPath(), L"UninstallInfo", L"AppVersion"), "1.7.9");
    EXPECT_EQ(impl->getDeviceId(), id);
  }
  auto again = StartImpl();
  EXPECT_EQ(again->getDeviceId(), id);
}

TEST_F(TrackerTest, StoredIdentityIsRepairedAsTheRulesSay) {
  struct Case {
    const char* name;
    std::string ini;                  // {url} stands for the server URL
    std::string distinct, primary, user, logged;  // expected afterwards
    std::string record_id;            // the records' distinct id
  } cases[] = {
      {"other server", "[Base]\nDistinctId=D1\nPrimaryDistinctId=P1\nUserId=u1\nisLogined=OK\nURL=http://old/\n",
       "P1", "P1", "", "NG", "P1"},
      {"distinct id deleted", "[Base]\nPrimaryDistinctId=P2\nURL={url}\n", "P2", "P2", "", "NG", "P2"},
      {"no primary id", "[Base]\nDistinctId=D3\nURL={url}\n", "D3", "D3", "", "NG", "D3"},
      {"logged in", "[Base]\nDistinctId=D4\nPrimaryDistinctId=P4\nUserId=u4\nisLogined=OK\nURL={url}\n",
       "D4", "P4", "u4", "OK", "u4"},
      {"logged in without user", "[Base]\nDistinctId=D5\nPrimaryDistinctId=P5\nisLogined=OK\nURL={url}\n",
       "D5", "P5", "", "NG", "D5"},
  };
  for (const auto& c : cases) {
    std::filesystem::create_directories(folder_);
    const auto ini = folder_ / (app_ + "_KVSConfigure.ini");
    std::string text = c.ini;
    const size_t at = text.find("{url}");
    if (at != std::string::npos) text.replace(at, 5, config_.serverUrl);
    WriteFile(ini, text);
    analytics_test::ResetCollector();
    {
      auto impl = StartImpl();
      impl->trackCrash("x");
      impl->trackTask({"", "t", "", nullptr, nullptr}, KvContextProperties());
    }
    // The file as the tracker leaves it (saved again at the end).
    EXPECT_EQ(IniValue(ini.wstring(), L"Base", L"DistinctId"), c.distinct) << c.name;
    EXPECT_EQ(IniValue(ini.wstring(), L"Base", L"PrimaryDistinctId"), c.primary) << c.name;
    EXPECT_EQ(IniValue(ini.wstring(), L"Base", L"UserId"), c.user) << c.name;
    EXPECT_EQ(IniValue(ini.wstring(), L"Base", L"isLogined"), c.logged) << c.name;
    EXPECT_EQ(IniValue(ini.wstring(), L"Base", L"URL"), config_.serverUrl) << c.name;
    const auto records = Received();
    ASSERT_EQ(records.size(), 2u) << c.name;
    EXPECT_EQ(FieldText(records[1], "distinct_id"), "\"" + c.record_id + "\"") << c.name;
    const bool logged = c.logged == "OK";
    EXPECT_EQ(PropertyText(records[1], "$is_login_id"), logged ? "true" : "") << c.name;
    EXPECT_EQ(PropertyText(records[1], "kv_user_id"), logged ? "\"" + c.user + "\"" : "") << c.name;
    std::filesystem::remove_all(folder_);
  }
}

TEST_F(TrackerTest, GarbagePersistenceFileGivesANewIdentity) {
  std::filesystem::create_directories(folder_);
  const auto ini = folder_ / (app_ + "_KVSConfigure.ini");
  WriteFile(ini, std::string("\x00\xFF[Base\nDistinctId\n=\n\xC3", 12));
  auto impl = StartImpl();
  const std::string id = IniValue(ini.wstring(), L"Base", L"DistinctId");
  EXPECT_EQ(id.size(), 36u) << id;
  EXPECT_EQ(impl->getDeviceId(), id);
}

TEST_F(TrackerTest, InitErrorsAreRaisedInOrderAndSwallowedAtCreation) {
  struct Case {
    std::function<void(UsageTrackerConfig&)> change;
    std::string message;
  } cases[] = {
      {[](UsageTrackerConfig& c) { c.appName.clear(); c.appVersion.clear(); }, "appName is empty"},
      {[](UsageTrackerConfig& c) { c.appVersion.clear(); c.appStore.clear(); }, "appVersion is empty"},
      {[](UsageTrackerConfig& c) { c.appStore.clear(); }, "appStore is empty"},
      {[](UsageTrackerConfig& c) { c.edition = 2; }, "Unknown edition [2]!"},
  };
  for (const auto& c : cases) {
    UsageTrackerConfig config = config_;
    c.change(config);
    {
      UsageTrackerImpl impl(config);
      try {
        impl.init();
        ADD_FAILURE() << "no error for " << c.message;
      } catch (const KvException& error) {
        EXPECT_EQ(std::string(error.what()), c.message);
        EXPECT_EQ(error.file(), "UsageTrackerImpl");
        EXPECT_EQ(error.function(), "init");
      }
    }
    // Through creation nothing escapes, and tracking stays harmless.
    StreamCapture out(std::cout);
    auto tracker = CreateUsageTracker(config);
    tracker->trackTask({"", "t", "", nullptr, nullptr}, KvContextProperties());
    tracker->trackTask({"", "", "", nullptr, nullptr}, KvContextProperties());
    tracker.reset();
    // Without a logger (init stopped before it) no failure line is written.
    if (c.message != "Unknown edition [2]!") {
      EXPECT_EQ(out.text(), "") << c.message;
    }
  }
}

TEST_F(TrackerTest, SetIniRelocatesThePersistenceFile) {
  const std::wstring exe_folder = Utils::FolderPart(Utils::ExecutablePath());
  const std::filesystem::path set_ini = std::filesystem::path(exe_folder) / "Set.ini";
  const std::filesystem::path target = folder_ / "relocated" / "deep";
  std::string forward = Utils::WideToUtf8((target / "my.ini").wstring());
  for (auto& c : forward)
    if (c == '\\') c = '/';
  static const char kGarbage[] = "\xFF\xFE[Inst\0all]\n=KVUsageAnalyticsIni\n[[";
  struct Case {
    std::string content;
    bool relocated;
  } cases[] = {
      {"[Install]\r\nKVUsageAnalyticsIni=" + forward + "\r\n", true},
      {"[Install]\r\nKVUsageAnalyticsIni=plain.ini\r\n", false},
      {"[Install]\r\nKVUsageAnalyticsIni=\r\n", false},
      {std::string(kGarbage, sizeof(kGarbage) - 1), false},
  };
  for (const auto& c : cases) {
    WriteFile(set_ini, c.content);
    {
      auto impl = StartImpl();
      if (c.relocated) {
        EXPECT_EQ(impl->iniPath(), (target / "my.ini").wstring());
        EXPECT_EQ(impl->dataFolder(), target.wstring() + Utils::kPathSeparator);
        EXPECT_EQ(std::filesystem::path(impl->stagingPath()).parent_path(), target);
        EXPECT_TRUE(std::filesystem::exists(target / "my.ini"));
      } else {
        EXPECT_EQ(std::filesystem::path(impl->iniPath()).parent_path(), folder_) << c.content;
      }
    }
  }
  std::filesystem::remove(set_ini);
}

TEST_F(TrackerTest, PresetPropertiesTellThePlatform) {
  config_.dlAppVersion = "";
  UsageTrackerImpl impl(config_);
  impl.setLocale("fr_CA");
  impl.init();
  impl.trackCrash("");  // nothing pending: stays queued
  const auto queued = usage_collect::Sdk::QueuedRecords();
  ASSERT_EQ(queued.size(), 1u);
  const std::string& r = queued[0];
  const std::string family = platform::OsFamily();
  struct Case {
    const char* key;
    std::string json;
  } cases[] = {
      {"kv_app_id", "\"" + app_ + "\""},
      {"$app_id", "\"" + app_ + "\""},
      {"$app_version", "\"1.7.9\""},
      {"kv_app_store", "\"Setup.exe\""},
      {"kv_edition", "\"china\""},
      {"kv_dlapp_id", "\"VanteloPDFconverter\""},
      {"kv_dlapp_version", ""},
      {"kv_app_platform", "\"" + family + "\""},
      {"kv_track_type", "\"Client\""},
      {"kv_sdk_version", "\"3.3.8\""},
      {"kv_sdk", "\"WindowsCPP\""},
      {"$os", "\"" + family + "\""},
      {"$os_version", "\"" + platform::OsVersionName() + "\""},
      {"kv_l10n_locale", "\"fr_CA\""},
      {"kv_l10n_language", "\"fr\""},
      {"kv_l10n_country", "\"CA\""},
      {"kv_user_id", ""},
      {"$lib", "\"cpp\""},
      {"$lib_version", "\"0.9\""},
      {"app_crashed_reason", ""},
      {"$is_first_time", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(PropertyText(r, c.key), c.json) << c.key;
  EXPECT_FALSE(platform::OsVersionName().empty());
  if (family == "Linux") {
    // The test runs without a display natively.
    EXPECT_EQ(PropertyText(r, "$screen_width"), "0");
    EXPECT_EQ(PropertyText(r, "$screen_height"), "0");
  } else {
    EXPECT_NE(PropertyText(r, "$screen_width"), "0");
  }
}

TEST(OsVersionNameTest, FollowsTheWindowsTable) {
  struct Case {
    bool known;
    uint32_t major, minor, build;
    bool is64, r2;
    const char* name;
  } cases[] = {
      {false, 10, 0, 19045, true, false, "XP-"}, {true, 4, 9, 0, false, false, "XP-"},
      {true, 5, 0, 0, false, false, "2K"},       {true, 5, 1, 0, false, false, "XP"},
      {true, 5, 2, 0, true, false, "XP64"},      {true, 5, 2, 0, false, true, "Server 2003 R2"},
      {true, 5, 2, 0, false, false, "Server 2003"}, {true, 5, 3, 0, false, false, "XP+"},
      {true, 6, 0, 0, true, false, "Vista64"},   {true, 6, 0, 0, false, false, "Vista"},
      {true, 6, 1, 7601, true, false, "7"},      {true, 6, 1, 7601, false, false, "7-32"},
      {true, 6, 2, 0, true, false, "8"},         {true, 6, 2, 0, false, false, "8-32"},
      {true, 6, 3, 0, false, false, "8.1"},      {true, 6, 4, 0, false, false, "8.1+"},
      {true, 10, 0, 19045, true, false, "10"},   {true, 10, 0, 22631, true, false, "11"},
      {true, 10, 1, 0, true, false, "11+"},      {true, 7, 2, 300, true, false, "7.2.300"},
  };
  for (const auto& c : cases) {
    platform::OsVersion v;
    v.known = c.known;
    v.major = c.major;
    v.minor = c.minor;
    v.build = c.build;
    v.is_64bit = c.is64;
    v.server_r2 = c.r2;
    EXPECT_EQ(WindowsVersionName(v), c.name) << c.major << "." << c.minor << "." << c.build;
  }
}

TEST_F(TrackerTest, WrapperSwallowsErrorsAndNamesTheOperation) {
  auto tracker = CreateUsageTracker(config_);
  KvContextProperties none;
  struct Case {
    std::function<void()> call;
    const char* line;
  } cases[] = {
      {[&] { tracker->trackTask(KvEventTask{}, none); }, "Failed to trackTask\n"},
      {[&] { tracker->trackClick(KvEventClick{}, none); }, "Failed to trackClick\n"},
      {[&] {
         KvEventClick click;
         click.name = "b";
         click.clickType = static_cast<KvClickType>(9);
         tracker->trackClick(click, none);
       },
       "Failed to trackClick\n"},
      {[&] { tracker->trackView(KvEventView{}, none); }, "Failed to trackView\n"},
      {[&] { tracker->trackCashier(KvEventCashier{}, none); }, "Failed to trackCashier\n"},
      {[&] { tracker->trackFile(KvEventFile{}, none); }, "Failed to trackFile\n"},
      {[&] { tracker->trackOrder(KvEventOrder{}, none); }, "Failed to trackOrder\n"},
      {[&] { tracker->trackPayment(KvEventPayment{}, none); }, "Failed to trackPayment\n"},
      {[&] {
         KvEventUpdate update;
         update.op = std::make_shared<KvUpdateOp>(static_cast<KvUpdateOp>(5));
         tracker->trackUpdate(update, none);
       },
       "Failed to trackUpdate\n"},
      {[&] { tracker->trackAppOpenNotification(KvAppOpenNotification{}, none); },
       "Failed to trackAppOpenNotification\n"},
      {[&] {
         KvUser user;
         user.type = static_cast<KvUserType>(40);
         tracker->trackLogin(user, true, "", none);
       },
       "Failed to trackLogin\n"},
  };
  for (const auto& c : cases) {
    StreamCapture out(std::cout);
    c.call();
    EXPECT_EQ(out.text(), c.line);
  }
  EXPECT_TRUE(usage_collect::Sdk::QueuedRecords().empty());
}

TEST_F(TrackerTest, QueueKindsWaitAndUploadKindsSendEverything) {
  auto impl = StartImpl();
  KvContextProperties none;
  std::vector<std::pair<std::string, std::function<void()>>> queue_kind = {
      {"KvEventTask", [&] { impl->trackTask({"", "t", "", nullptr, nullptr}, none); }},
      {"KvEventClick", [&] { KvEventClick e; e.name = "c"; impl->trackClick(e, none); }},
      {"KvEventView", [&] { KvEventView e; e.name = "v"; impl->trackView(e, none); }},
      {"KvEventCashier", [&] { KvEventCashier e; e.name = "n"; impl->trackCashier(e, none); }},
      {"KvEventShare", [&] { impl->trackShare(KvEventShare{}, none); }},
      {"KvEventFile", [&] { KvEventFile e; e.aname = "a"; e.io = std::make_shared<KvFileIo>(KvFileIo::Output); impl->trackFile(e, none); }},
      {"KvEventOrder", [&] {
         KvEventOrder e;
         e.currency = std::make_shared<KvCurrency>(KvCurrency::GBP);
         e.originalAmount = std::make_shared<double>(9.5);
         impl->trackOrder(e, none);
       }},
      {"AppOpenNotification", [&] {
         KvAppOpenNotification e;
         e.planId = "p"; e.msgTitle = "m"; e.planType = "t";
         impl->trackAppOpenNotification(e, none);
       }},
  };
  for (const auto& [name, call] : queue_kind) {
    call();
    EXPECT_EQ(SharedCollector().State().attempts, 0) << name;
  }
  EXPECT_EQ(impl->pending(), 10);  // clicks and views count twice
  std::vector<std::pair<std::string, std::function<void()>>> now_kind = {
      {"KvEventActivity", [&] { impl->trackActivity(none); }},
      {"KvEventLaunch", [&] { impl->trackLaunch(none); }},
      {"KvEventPayment", [&] {
         KvEventPayment e;
         e.paidAmount = std::make_shared<double>(1);
         e.paidPlatform = std::make_shared<KvPayPlatform>(KvPayPlatform::ChinaUnionPay);
         impl->trackPayment(e, none);
       }},
      {"KvEventUninstall", [&] { impl->trackUninstall("why", none); }},
      {"KvEventUpdate", [&] {
         KvEventUpdate e;
         e.op = std::make_shared<KvUpdateOp>(KvUpdateOp::UpgrateEnd);
         e.result = std::make_shared<KvUpdateResult>(KvUpdateResult::Updateable);
         impl->trackUpdate(e, none);
       }},
      {"KvEventLogin", [&] {
         KvUser user;
         user.type = KvUserType::kavrinuserid;
         user.loginId = "login-1";
         impl->trackLogin(user, true, "", none);
       }},
  };
  for (const auto& [name, call] : now_kind) {
    call();
    EXPECT_TRUE(usage_collect::Sdk::QueuedRecords().empty()) << name;
    EXPECT_EQ(impl->pending(), 0) << name;
  }
  std::vector<std::string> events;
  for (const auto& record : Received()) events.push_back(FieldText(record, "event"));
  EXPECT_EQ(events, (std::vector<std::string>{
                        "\"KvEventTask\"", "\"KvEventClick\"", "\"KvEventView\"",
                        "\"KvEventCashier\"", "\"KvEventShare\"", "\"KvEventFile\"",
                        "\"KvEventOrder\"", "\"AppOpenNotification\"", "\"KvEventActivity\"",
                        "\"KvEventLaunch\"", "\"KvEventPayment\"", "\"KvEventUninstall\"",
                        "\"KvEventUpdate\"", "\"KvEventLogin\"", "\"$SignUp\""}));
  const auto records = Received();
  EXPECT_EQ(PropertyText(records[5], "kv_io"), "\"Output\"");
  EXPECT_EQ(PropertyText(records[6], "kv_currency"), "\"GBP\"");
  EXPECT_EQ(PropertyText(records[8], "$ios_install_source"), "\"android_id=123##imei=1234##mac=123\"");
  EXPECT_EQ(PropertyText(records[10], "kv_paid_platform"), "\"ChinaUnionPay\"");
  EXPECT_EQ(PropertyText(records[12], "kv_update_result"), "\"Updateable\"");
  EXPECT_EQ(PropertyText(records[13], "kv_type"), "\"kavrinuserid\"");
  EXPECT_EQ(FieldText(records[14], "distinct_id"), "\"login-1\"");
}

TEST_F(TrackerTest, TaskClickAndViewRecordsFollowTheirFields) {
  auto impl = StartImpl();
  KvContextProperties context;
  context.setProperty("kvc_ab", std::string("IN"), {KvEventType::Task});
  context.setProperty("kvc_n", int64_t{42}, {KvEventType::Click});
  KvEventTask task{"an", "name", "why", std::make_shared<float>(1.5f),
                   std::make_shared<KvResult>(KvResult::Unknown)};
  impl->trackTask(task, context);
  impl->trackTask({"", "t2", "", nullptr, std::make_shared<KvResult>(KvResult::Fail)}, context);
  KvEventClick click;
  click.name = "c";
  click.tabIndex = std::make_shared<int32_t>(3);
  impl->trackClick(click, context);
  // A GBK name arrives converted; an oversized reason is left out.
  const std::string gbk = "\xB0\xB2\xD7\xB0";
  impl->trackTask({"", gbk, std::string(8193, 'r'), nullptr, nullptr}, context);
  const auto q = usage_collect::Sdk::QueuedRecords();
  ASSERT_EQ(q.size(), 4u);
  EXPECT_EQ(PropertyText(q[0], "kv_task_elapsed"), "1.5");
  EXPECT_EQ(PropertyText(q[0], "kv_task_result"), "");
  EXPECT_EQ(PropertyText(q[0], "kv_aname"), "\"an\"");
  EXPECT_EQ(PropertyText(q[0], "kv_reason"), "\"why\"");
  EXPECT_EQ(PropertyText(q[0], "kvc_ab"), "\"IN\"");
  EXPECT_EQ(PropertyText(q[0], "$is_first_time"), "true");
  EXPECT_EQ(PropertyText(q[1], "kv_task_elapsed"), "");
  EXPECT_EQ(PropertyText(q[1], "kv_task_result"), "\"Fail\"");
  EXPECT_EQ(PropertyText(q[2], "kv_click_type"), "\"Others\"");
  EXPECT_EQ(PropertyText(q[2], "kv_tab_index"), "3");
  EXPECT_EQ(PropertyText(q[2], "kvc_ab"), "");  // set for tasks only
  EXPECT_EQ(PropertyText(q[2], "kvc_n"), "\"42\"");
  const std::string converted = Utils::WideToUtf8(Utils::ToWide(gbk, Utils::kCodePageAnsi));
  EXPECT_EQ(PropertyText(q[3], "kv_task_name"), "\"" + converted + "\"");
  EXPECT_EQ(PropertyText(q[3], "kv_reason"), "");
}

TEST_F(TrackerTest, CrashUploadsEverythingQueuedAndAFailedUploadKeepsItPending) {
  auto impl = StartImpl();
  KvContextProperties none;
  impl->trackTask({"", "one", "", nullptr, nullptr}, none);
  ASSERT_TRUE(SharedCollector().SetMode("fail"));
  {
    StreamCapture errors(std::cerr);
    impl->trackCrash("first");
  }
  EXPECT_EQ(SharedCollector().State().attempts, 3);
  EXPECT_EQ(impl->pending(), 1);
  EXPECT_EQ(usage_collect::Sdk::QueuedRecords().size(), 2u);
  ASSERT_TRUE(SharedCollector().SetMode("ok"));
  impl->trackTask({"", "two", "", nullptr, nullptr}, none);
  impl->trackCrash("\xE5\xB4\xA9\xE6\xBA\x83");
  EXPECT_EQ(impl->pending(), 0);
  const auto records = Received();
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(PropertyText(records[0], "kv_task_name"), "\"one\"");
  EXPECT_EQ(PropertyText(records[1], "app_crashed_reason"), "\"first\"");
  EXPECT_EQ(PropertyText(records[2], "kv_task_name"), "\"two\"");
  EXPECT_EQ(FieldText(records[3], "event"), "\"AppCrashed\"");
  EXPECT_EQ(PropertyText(records[3], "app_crashed_reason"), "\"\xE5\xB4\xA9\xE6\xBA\x83\"");
}

TEST_F(TrackerTest, ACrashAsTheFirstEventWaitsForTheEnd) {
  {
    auto impl = StartImpl();
    impl->trackCrash("early");
    EXPECT_EQ(SharedCollector().State().attempts, 0);
  }
  const auto records = Received();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(FieldText(records[0], "event"), "\"AppCrashed\"");
}

TEST_F(TrackerTest, DestructionTriesThreeTimesThenTheNextRunSendsTheQueue) {
  std::wstring staging;
  ASSERT_TRUE(SharedCollector().SetMode("fail"));
  {
    auto impl = StartImpl();
    staging = impl->stagingPath();
    impl->trackTask({"", "one", "", nullptr, nullptr}, KvContextProperties());
    impl->trackTask({"", "two", "", nullptr, nullptr}, KvContextProperties());
    StreamCapture errors(std::cerr);
    impl.reset();
    EXPECT_EQ(SharedCollector().State().attempts, 3);
  }
  const std::string stored = ReadFile(staging);
  EXPECT_NE(stored.find("\"kv_task_name\":\"one\""), std::string::npos) << stored;
  EXPECT_NE(stored.find("\"kv_task_name\":\"two\""), std::string::npos) << stored;
  EXPECT_EQ(std::count(stored.begin(), stored.end(), '\n'), 2);

  // Refused connections end the same way, and the process goes on.
  ASSERT_TRUE(SharedCollector().SetMode("refuse"));
  {
    auto impl = StartImpl();
    impl->trackTask({"", "three", "", nullptr, nullptr}, KvContextProperties());
    StreamCapture errors(std::cerr);
    impl.reset();
    EXPECT_EQ(errors.text().find("KavrinCollect SDK send failed: "), 0u);
  }
  const std::string three = ReadFile(staging);
  EXPECT_EQ(std::count(three.begin(), three.end(), '\n'), 3);

  analytics_test::ResetCollector();
  {
    auto impl = StartImpl();
    impl->trackTask({"", "four", "", nullptr, nullptr}, KvContextProperties());
    impl->trackCrash("");
  }
  std::vector<std::string> names;
  for (const auto& record : Received()) names.push_back(PropertyText(record, "kv_task_name"));
  EXPECT_EQ(names, (std::vector<std::string>{"\"one\"", "\"two\"", "\"three\"", "\"four\"", ""}));
  EXPECT_EQ(ReadFile(staging), "");
}

}  // namespace
}  // namespace kavrin::usage
