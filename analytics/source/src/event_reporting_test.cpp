// The installer's reporting routines end to end: settings in, records at the
// collector out.
#include "event_reporting.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

#include "analytics_test_support.h"
#include "app/installer_settings.h"
#include "platform_info.h"
#include "usage_collect/sdk.h"
#include "usage_tracker.h"
#include "utils/debug_log.h"
#include "utils/text.h"

namespace {

using analytics_test::SharedCollector;
using testing_support::FieldText;
using testing_support::PropertyText;
using testing_support::WithoutVaryingFields;
using usage_collect::PropertiesNode;

std::string U8(const std::wstring& text) { return Utils::WideToUtf8(text); }

class ReportingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    analytics_test::ResetCollector();
    InstallerSettings& settings = InstallerSettings::Instance();
    saved_ = settings;
    settings.AppName = Utils::Utf8ToWide(analytics_test::UniqueName("ReportTest"));
    settings.ExeName = L"VanteloSetup.exe";
    settings.IsEnableAppSensors = true;
    SetTrackerServerUrl(Utils::Utf8ToWide(SharedCollector().url()));
    folder_ = std::filesystem::path(kavrin::usage::platform::TrackerBaseFolder()) / "KVLocal" /
              std::filesystem::path(settings.AppName + settings.DlAppNameSuffix);
  }
  void TearDown() override {
    StopTracker();
    InstallerSettings::Instance() = saved_;
    SetTrackerServerUrl(L"");
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  static EventExtras Ab() { return {{L"AB", L"IN"}}; }

  // The record the collector must receive for |own| properties, byte for byte
  // but for "_track_id" and "time".
  std::string Expected(const std::string& event, const PropertiesNode& own) {
    const InstallerSettings& s = InstallerSettings::Instance();
    namespace platform = kavrin::usage::platform;
    PropertiesNode p;
    p.SetString("$lib", "cpp");
    p.SetString("$lib_version", "0.9");
    p.SetString("kv_app_id", U8(s.AppName + s.DlAppNameSuffix));
    p.SetString("$app_id", U8(s.AppName + s.DlAppNameSuffix));
    p.SetString("$app_version", "1.7.9");
    p.SetString("kv_app_store", "VanteloSetup.exe");
    p.SetString("kv_edition", "china");
    p.SetString("kv_dlapp_id", U8(s.AppName));
    p.SetString("kv_app_platform", platform::OsFamily());
    p.SetString("kv_track_type", "Client");
    p.SetString("kv_sdk_version", "3.3.8");
    p.SetString("kv_sdk", "WindowsCPP");
    p.SetString("$os", platform::OsFamily());
    p.SetString("$os_version", platform::OsVersionName());
    std::string language, country;
    const bool known = platform::UserLocaleNames(language, country);
    p.SetString("kv_l10n_locale", known ? language + "_" + country : "");
    p.SetString("kv_l10n_language", known ? language : "");
    p.SetString("kv_l10n_country", known ? country : "");
    int64_t width = 0, height = 0;
    platform::ScreenSize(width, height);
    p.SetInt("$screen_width", width);
    p.SetInt("$screen_height", height);
    p.Merge(own);
    std::string record;
    usage_collect::BuildRecord("track", event, p, nullptr, GlobalTracker()->getDeviceId(), "",
                               false, record);
    return WithoutVaryingFields(record);
  }

  static PropertiesNode Task(const std::wstring& name, double elapsed, const std::wstring& reason) {
    PropertiesNode p;
    p.SetString("kv_task_name", U8(name));
    p.SetNumber("kv_task_elapsed", elapsed);
    p.SetString("kv_task_result", "Success");
    if (!reason.empty()) p.SetString("kv_reason", U8(reason));
    p.SetBool("$is_first_time", true);
    p.SetString("kvc_ab", "IN");
    return p;
  }

  static PropertiesNode Click(const std::wstring& word) {
    PropertiesNode p;
    p.SetString("kv_name", U8(word));
    p.SetString("kv_click_type", "Button");
    p.SetBool("$is_first_time", true);
    p.SetString("kvc_ab", "IN");
    return p;
  }

  InstallerSettings saved_;
  std::filesystem::path folder_;
};

TEST_F(ReportingTest, EveryCatalogueEventArrivesAsExpected) {
  ReportTaskEvent(L"libcurl初始化失败", 0, L"", Ab());  // before the tracker: dropped
  StartTracker();
  ASSERT_TRUE(GlobalTracker());

  const std::wstring size_reason = Utils::FormatWide(L"1.获取文件大小的状态码为=%ld；", 404L);
  const std::wstring fail_reason = Utils::FormatWide(
      L"1.code=%ld；2.msg=%s；3.缓存磁盘容量=%.2fG；4.缓存读写权限=%s；5.服务器连接状态code=%d", 28L,
      L"Timeout was reached", 12.345, L"无权限", 0);
  const std::wstring stage_reason = Utils::FormatWide(L":1.code=%ld；2.msg=%s", 5L, L"磁盘已满");
  struct TaskCase {
    std::wstring name;
    float elapsed;
    std::wstring reason;
  } tasks[] = {
      {L"下载器启动", 0, L""},
      {L"开始下载大包", 0, L""},
      {L"大包下载完毕", 12.5f, L""},
      {L"下载失败原因", 0, size_reason},
      {L"下载失败原因", 0, fail_reason},
      {L"下载失败原因", 0, stage_reason},
      {L"安装成功", 0, L""},
      {L"安装失败原因", 0, stage_reason},
  };
  std::vector<std::string> expected;
  for (const auto& t : tasks) {
    ReportTaskEvent(t.name, t.elapsed, t.reason, Ab());
    expected.push_back(Expected("KvEventTask", Task(t.name, t.elapsed, t.reason)));
  }
  for (const wchar_t* word : {L"立即安装", L"自定义安装", L"自定义安装_立即安装", L"立即体验"}) {
    ReportClickEvent(word, Ab());
    expected.push_back(Expected("KvEventClick", Click(word)));
  }
  ReportViewEvent(Ab());
  PropertiesNode view;
  view.SetString("kv_name", U8(L"安装中"));
  view.SetBool("$is_first_time", true);
  view.SetString("kvc_ab", "IN");
  expected.push_back(Expected("KvEventView", view));
  ReportTaskEvent(L"崩溃退出", 0, L"", Ab());
  expected.push_back(Expected("KvEventTask", Task(L"崩溃退出", 0, L"")));
  EXPECT_EQ(SharedCollector().State().attempts, 0);  // all queued so far

  ReportCrashEvent();  // sends everything at once
  PropertiesNode crash;
  crash.SetString("app_crashed_reason", U8(L"崩溃"));
  expected.push_back(Expected("AppCrashed", crash));

  const auto state = SharedCollector().State();
  EXPECT_EQ(state.attempts, 1);
  EXPECT_EQ(state.decode_errors, 0);
  std::vector<std::string> received;
  for (const auto& r : state.AllRecords()) received.push_back(WithoutVaryingFields(r));
  ASSERT_EQ(received.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(received[i], expected[i]) << "record " << i;
  EXPECT_NE(received[4].find(U8(L"\"kv_reason\":\"1.code=28；2.msg=Timeout was reached；3.缓存磁盘容量=12.35G；4.缓存读写权限=无权限；5.服务器连接状态code=0\"")),
            std::string::npos) << received[4];

  StopTracker();
  EXPECT_FALSE(GlobalTracker());
  EXPECT_EQ(SharedCollector().State().attempts, 1);  // nothing left for the end
  ReportTaskEvent(L"after", 0, L"", Ab());            // dropped silently
}

TEST_F(ReportingTest, SwitchedOffARunCreatesNothingAndSendsNothing) {
  InstallerSettings::Instance().IsEnableAppSensors = false;
  StartTracker();
  EXPECT_FALSE(GlobalTracker());
  ReportTaskEvent(L"下载器启动", 0, L"", Ab());
  ReportClickEvent(L"立即安装", Ab());
  ReportViewEvent(Ab());
  ReportCrashEvent();
  StopTracker();
  EXPECT_FALSE(std::filesystem::exists(folder_)) << folder_;
  EXPECT_EQ(SharedCollector().State().attempts, 0);
  EXPECT_FALSE(usage_collect::Sdk::Exists());
}

TEST_F(ReportingTest, AbValueIsAttachedOnlyWhenWellFormed) {
  StartTracker();
  struct Case {
    EventExtras extras;
    std::string kvc_ab;
  } cases[] = {
      {{}, ""},
      {{{L"ab", L"IN"}}, ""},
      {{{L"AB", L""}}, ""},
      {{{L"AB", L"in"}}, ""},     // malformed: dropped, the event still goes out
      {{{L"AB", L"INXX"}}, ""},
      {{{L"AB", L"B2"}, {L"Other", L"x"}}, "\"B2\""},
  };
  for (const auto& c : cases) {
    ReportTaskEvent(L"t", 0, L"", c.extras);
    ReportClickEvent(L"c", c.extras);
  }
  ReportCrashEvent();
  const auto records = SharedCollector().State().AllRecords();
  ASSERT_EQ(records.size(), 2 * std::size(cases) + 1);
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(PropertyText(records[2 * i], "kvc_ab"), cases[i].kvc_ab) << i;
    EXPECT_EQ(PropertyText(records[2 * i + 1], "kvc_ab"), cases[i].kvc_ab) << i;
  }
}

TEST(FitReasonTest, CutsAtACharacterBoundary) {
  const std::wstring high(1, static_cast<wchar_t>(0xD83D));
  const std::wstring low(1, static_cast<wchar_t>(0xDE00));
  struct Case {
    std::wstring in;
    std::wstring out;
  } cases[] = {
      {L"short", L"short"},
      {std::wstring(199, L'x'), std::wstring(199, L'x')},
      {std::wstring(200, L'x'), std::wstring(199, L'x')},
      {std::wstring(400, L'中'), std::wstring(199, L'中')},
      {std::wstring(198, L'x') + high + low + L"tail", std::wstring(198, L'x')},
  };
  for (const auto& c : cases) EXPECT_EQ(FitReason(c.in), c.out) << c.in.size();
}

TEST_F(ReportingTest, LongReasonArrivesCut) {
  StartTracker();
  ReportTaskEvent(L"下载失败原因", 0, L":1.code=1；2.msg=" + std::wstring(300, L'错'), Ab());
  ReportCrashEvent();
  const auto records = SharedCollector().State().AllRecords();
  ASSERT_EQ(records.size(), 2u);
  const std::wstring cut = (L":1.code=1；2.msg=" + std::wstring(300, L'错')).substr(0, 199);
  EXPECT_EQ(PropertyText(records[0], "kv_reason"), "\"" + U8(cut) + "\"");
}

TEST_F(ReportingTest, FourWorkersReportWhileCrashReportsFlush) {
  StartTracker();
  constexpr int kPerThread = 25;
  std::atomic<bool> done{false};
  std::thread flusher([&] {
    while (!done) ReportCrashEvent();
  });
  std::vector<std::thread> workers;
  for (int t = 0; t < 4; ++t)
    workers.emplace_back([t] {
      for (int i = 0; i < kPerThread; ++i)
        ReportTaskEvent(L"w" + std::to_wstring(t) + L"-" + std::to_wstring(i), 0, L"", Ab());
    });
  for (auto& w : workers) w.join();
  done = true;
  flusher.join();
  StopTracker();
  std::multiset<std::string> names;
  for (const auto& r : SharedCollector().State().AllRecords())
    if (FieldText(r, "event") == "\"KvEventTask\"") names.insert(PropertyText(r, "kv_task_name"));
  EXPECT_EQ(names.size(), 4u * kPerThread);
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), 4u * kPerThread);
}

TEST_F(ReportingTest, StopWhileWorkersReportLosesNoHeldReport) {
  StartTracker();
  std::atomic<int> finished{0};
  std::atomic<bool> stop{false};
  std::vector<std::thread> workers;
  for (int t = 0; t < 4; ++t)
    workers.emplace_back([&, t] {
      for (int i = 0; !stop; ++i) {
        ReportTaskEvent(L"s" + std::to_wstring(t) + L"-" + std::to_wstring(i), 0, L"", Ab());
        ++finished;
        if (i >= 200) break;
      }
    });
  while (finished < 20) std::this_thread::yield();
  const int before_stop = finished;
  StopTracker();  // the tracker ends when the last report holding it ends
  stop = true;
  for (auto& w : workers) w.join();
  EXPECT_FALSE(GlobalTracker());
  EXPECT_FALSE(usage_collect::Sdk::Exists());
  const auto records = SharedCollector().State().AllRecords();
  EXPECT_GE(static_cast<int>(records.size()), before_stop);
  EXPECT_LE(static_cast<int>(records.size()), finished.load());
  std::set<std::string> unique(records.begin(), records.end());
  EXPECT_EQ(unique.size(), records.size());
}

}  // namespace
