// The queue, the staging file and the upload, against the collector on
// 127.0.0.1 (testing/collector).
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "collector/collector_client.h"
#include "usage_collect/record_store.h"
#include "usage_collect/sdk.h"
#include "usage_collect/upload_body.h"

namespace usage_collect {
namespace {

using testing_support::Collector;
using testing_support::PropertyText;

class ErrorCapture {
 public:
  ErrorCapture() : old_(std::cerr.rdbuf(text_.rdbuf())) {}
  ~ErrorCapture() { std::cerr.rdbuf(old_); }
  std::string text() const { return text_.str(); }

 private:
  std::ostringstream text_;
  std::streambuf* old_;
};

std::string Utf8(const std::filesystem::path& path) {
  auto text = path.u8string();
  return std::string(text.begin(), text.end());
}

class UploadTest : public ::testing::Test {
 protected:
  // One collector for the whole suite; every test starts it from a clean state.
  static void SetUpTestSuite() { shared_ = new Collector; }
  static void TearDownTestSuite() {
    delete shared_;
    shared_ = nullptr;
  }

  void SetUp() override {
    ASSERT_TRUE(shared_->ok()) << shared_->error();
    ASSERT_TRUE(shared_->SetMode("ok"));
    ASSERT_TRUE(shared_->Clear());
    folder_ = std::filesystem::temp_directory_path() /
              ("usage_collect_" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(folder_);
    staging_ = folder_ / "queue.txt";
  }
  void TearDown() override {
    Sdk::Shutdown();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  void Start(const std::string& url) { ASSERT_TRUE(Sdk::Init(Utf8(staging_), url, "device", false)); }

  static void TrackNumbered(int first, int count) {
    for (int i = first; i < first + count; ++i) {
      PropertiesNode properties;
      properties.SetInt("n", i);
      Sdk::Track("Numbered", properties);
    }
  }

  static std::vector<std::string> Numbers(const std::vector<std::string>& records) {
    std::vector<std::string> numbers;
    for (const auto& record : records) numbers.push_back(PropertyText(record, "n"));
    return numbers;
  }

  static std::vector<std::string> Range(int first, int last) {
    std::vector<std::string> numbers;
    for (int i = first; i <= last; ++i) numbers.push_back(std::to_string(i));
    return numbers;
  }

  std::string ReadStaging() {
    std::ifstream in(staging_, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  static Collector* shared_;
  Collector& collector = *shared_;
  std::filesystem::path folder_;
  std::filesystem::path staging_;
};

Collector* UploadTest::shared_ = nullptr;

TEST_F(UploadTest, OneBatchArrivesDecodedByteForByte) {
  Start(collector.url());
  PropertiesNode properties;
  properties.SetString("kv_name", "\xE7\xAB\x8B\xE5\x8D\xB3\xE5\xAE\x89\xE8\xA3\x85");
  properties.SetString("quoted", "a\"b\\c\td");
  properties.SetNumber("elapsed", 12.5);
  Sdk::Track("KvEventClick", properties);
  TrackNumbered(1, 2);
  const auto queued = Sdk::QueuedRecords();
  ASSERT_EQ(queued.size(), 3u);

  EXPECT_TRUE(Sdk::Flush());
  EXPECT_TRUE(Sdk::QueuedRecords().empty());
  auto state = collector.State();
  EXPECT_EQ(state.attempts, 1);
  EXPECT_EQ(state.decode_errors, 0) << (state.errors.empty() ? "" : state.errors[0]);
  ASSERT_EQ(state.batches.size(), 1u);
  const auto& batch = state.batches[0];
  EXPECT_EQ(batch.records, queued);
  EXPECT_EQ(batch.user_agent, "KavrinCollect CPP SDK 0.9");
  EXPECT_EQ(batch.content_type, "application/x-www-form-urlencoded");
  EXPECT_EQ(batch.path, "/sa?project=pc");
  EXPECT_EQ(PropertyText(batch.records[0], "quoted"), "\"a\\\"b\\\\c\\td\"");
  EXPECT_EQ(PropertyText(batch.records[0], "$lib"), "\"cpp\"");

  // Nothing queued: a flush sends nothing and succeeds.
  EXPECT_TRUE(Sdk::Flush());
  EXPECT_EQ(collector.State().attempts, 1);
}

TEST_F(UploadTest, ThirtyOneRecordsGoInTwoSteps) {
  RecordStore store("", collector.url());
  for (int i = 1; i <= 31; ++i) store.Add("{\"n\":" + std::to_string(i) + "}");
  EXPECT_EQ(store.FlushStep(), RecordStore::StepResult::kSent);
  EXPECT_EQ(store.size(), 1u);
  EXPECT_EQ(store.FlushStep(), RecordStore::StepResult::kSent);
  EXPECT_EQ(store.FlushStep(), RecordStore::StepResult::kQueueEmpty);
  auto state = collector.State();
  ASSERT_EQ(state.batches.size(), 2u);
  EXPECT_EQ(state.batches[0].records.size(), 30u);
  EXPECT_EQ(state.batches[0].records.front(), "{\"n\":1}");
  EXPECT_EQ(state.batches[0].records.back(), "{\"n\":30}");
  ASSERT_EQ(state.batches[1].records.size(), 1u);
  EXPECT_EQ(state.batches[1].records[0], "{\"n\":31}");
}

TEST_F(UploadTest, QueueKeepsTheNewest1024) {
  Start("http://127.0.0.1:9/unused");
  TrackNumbered(1, 1025);
  const auto numbers = Numbers(Sdk::QueuedRecords());
  EXPECT_EQ(numbers, Range(2, 1025));
}

TEST_F(UploadTest, FailedBatchGoesBackInOrderAndTheFlushStopsThere) {
  Start(collector.url());
  TrackNumbered(1, 65);
  struct Case {
    const char* mode;
    const char* message_start;
  } cases[] = {
      {"fail", "KavrinCollect SDK send failed: collector told to fail\n"},
      {"refuse", "KavrinCollect SDK send failed: Couldn't connect to server\n"},
      {"garbage", "KavrinCollect SDK send failed: "},
      {"huge", "KavrinCollect SDK send failed: xxxx"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(collector.SetMode(c.mode));
    ASSERT_TRUE(collector.Clear());
    ErrorCapture errors;
    EXPECT_FALSE(Sdk::Flush()) << c.mode;
    EXPECT_EQ(errors.text().rfind(c.message_start, 0), 0u) << c.mode << ": " << errors.text();
    // A huge answer is quoted only in part.
    EXPECT_LT(errors.text().size(), 2 * kMaxQuotedAnswer) << c.mode;
    EXPECT_EQ(Numbers(Sdk::QueuedRecords()), Range(1, 65)) << c.mode;
    EXPECT_LE(collector.State().attempts, 1) << c.mode;
  }
  ASSERT_TRUE(collector.SetMode("ok"));
  EXPECT_TRUE(Sdk::Flush());
  EXPECT_TRUE(Sdk::QueuedRecords().empty());
  EXPECT_EQ(Numbers(collector.State().AllRecords()), Range(1, 65));
}

TEST_F(UploadTest, SlowAnswerFailsAfterTheLimitAndRequeueRespectsTheRoom) {
  ASSERT_TRUE(collector.SetMode("slow"));
  RecordStore store("", collector.url());
  for (int i = 1; i <= 1024; ++i) store.Add("{\"n\":" + std::to_string(i) + "}");
  // While the first batch (1..30) is in flight the queue fills up to 1000.
  std::thread flusher([&] {
    ErrorCapture errors;
    EXPECT_EQ(store.FlushStep(), RecordStore::StepResult::kFailed);
    EXPECT_NE(errors.text().find("Timeout was reached"), std::string::npos) << errors.text();
  });
  while (store.size() != 994) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  for (int i = 1025; i <= 1030; ++i) store.Add("{\"n\":" + std::to_string(i) + "}");
  flusher.join();
  const auto queued = store.Snapshot();
  ASSERT_EQ(queued.size(), 1024u);
  // The last 24 of the batch are back in front; 1..6 are gone.
  EXPECT_EQ(queued[0], "{\"n\":7}");
  EXPECT_EQ(queued[23], "{\"n\":30}");
  EXPECT_EQ(queued[24], "{\"n\":31}");
  EXPECT_EQ(queued.back(), "{\"n\":1030}");
}

TEST_F(UploadTest, ShutdownPersistsTheQueueAndTheNextRunSendsItFirst) {
  ASSERT_TRUE(collector.SetMode("refuse"));
  Start(collector.url());
  TrackNumbered(1, 3);
  {
    ErrorCapture errors;
    EXPECT_FALSE(Sdk::Flush());
  }
  const auto queued = Sdk::QueuedRecords();
  Sdk::Shutdown();
  EXPECT_FALSE(Sdk::Exists());
  EXPECT_EQ(ReadStaging(), queued[0] + "\n" + queued[1] + "\n" + queued[2] + "\n");

  Sdk::Track("Lost", PropertiesNode());  // no instance: nothing is built
  ASSERT_TRUE(collector.SetMode("ok"));
  Start(collector.url());
  TrackNumbered(4, 1);
  EXPECT_TRUE(Sdk::Flush());
  const auto state = collector.State();
  ASSERT_EQ(state.batches.size(), 1u);
  EXPECT_EQ(Numbers(state.batches[0].records), Range(1, 4));
  EXPECT_EQ(ReadStaging(), "");  // loaded once, then emptied
}

TEST_F(UploadTest, StagingFileWithBrokenLinesKeepsOnlyRecordLines) {
  {
    std::ofstream out(staging_, std::ios::binary);
    out << "{\"n\":1}\n\ngarbage\n{\"n\":2}\r\n{\"n\":\n  {\"n\":3}\n{\"n\":4}";
  }
  RecordStore store(Utf8(staging_), "http://127.0.0.1:9/unused");
  store.Add("{\"n\":5}");
  store.Persist();  // loads the pending file first
  EXPECT_EQ(ReadStaging(), "{\"n\":1}\n{\"n\":2}\n{\"n\":4}\n{\"n\":5}\n");
}

TEST_F(UploadTest, StagingLoadKeepsOnlyTheNewestLinesThatFit) {
  {
    std::ofstream out(staging_, std::ios::binary);
    for (int i = 1; i <= 20; ++i) out << "{\"n\":" << i << "}\n";
  }
  RecordStore store(Utf8(staging_), "http://127.0.0.1:9/unused");
  for (int i = 100; i < 100 + 1014; ++i) store.Add("{\"n\":" + std::to_string(i) + "}");
  store.Persist();
  const auto queued = store.Snapshot();
  ASSERT_EQ(queued.size(), 1024u);
  EXPECT_EQ(queued.front(), "{\"n\":11}");
  EXPECT_EQ(queued[9], "{\"n\":20}");
  EXPECT_EQ(queued[10], "{\"n\":100}");
}

TEST_F(UploadTest, StagingPathThatIsAFolderLosesNothingElse) {
  ASSERT_TRUE(Sdk::Init(Utf8(folder_), collector.url(), "device", false));
  TrackNumbered(1, 2);
  EXPECT_TRUE(Sdk::Flush());
  Sdk::Shutdown();
  EXPECT_TRUE(std::filesystem::is_directory(folder_));
  EXPECT_EQ(Numbers(collector.State().AllRecords()), Range(1, 2));
}

TEST_F(UploadTest, InitRefusesABadDistinctIdAndKeepsTheFirstInstance) {
  {
    ErrorCapture errors;
    EXPECT_FALSE(Sdk::Init(Utf8(staging_), "http://127.0.0.1:9/", "", false));
    EXPECT_FALSE(Sdk::Init(Utf8(staging_), "http://127.0.0.1:9/", std::string(256, 'd'), false));
    EXPECT_EQ(errors.text(),
              "The Distinct ID is empty.\nThe Distinct ID is too long, max length is 255.\n");
  }
  EXPECT_FALSE(Sdk::Exists());
  ASSERT_TRUE(Sdk::Init(Utf8(staging_), "http://127.0.0.1:9/", "first", false));
  ASSERT_TRUE(Sdk::Init(Utf8(staging_), "http://127.0.0.1:9/", "second", true));
  Sdk::Track("E", PropertiesNode());
  Sdk::TrackSignup("user-7");
  Sdk::Track("E", PropertiesNode());
  const auto queued = Sdk::QueuedRecords();
  ASSERT_EQ(queued.size(), 3u);
  EXPECT_EQ(testing_support::FieldText(queued[0], "distinct_id"), "\"first\"");
  EXPECT_EQ(PropertyText(queued[0], "$is_login_id"), "");
  EXPECT_EQ(testing_support::FieldText(queued[1], "original_id"), "\"first\"");
  EXPECT_EQ(testing_support::FieldText(queued[1], "event"), "\"$SignUp\"");
  EXPECT_EQ(testing_support::FieldText(queued[2], "distinct_id"), "\"user-7\"");
  EXPECT_EQ(PropertyText(queued[2], "$is_login_id"), "true");
}

TEST_F(UploadTest, FourThreadsTrackWhileAnotherFlushes) {
  Start(collector.url());
  constexpr int kPerThread = 150;
  std::atomic<bool> done{false};
  std::thread flusher([&] {
    while (!done.load()) {
      Sdk::Flush();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });
  std::vector<std::thread> trackers;
  for (int t = 0; t < 4; ++t) trackers.emplace_back([t] { TrackNumbered(t * 1000, kPerThread); });
  for (auto& thread : trackers) thread.join();
  done = true;
  flusher.join();
  EXPECT_TRUE(Sdk::Flush());
  std::multiset<std::string> received;
  for (const auto& n : Numbers(collector.State().AllRecords())) received.insert(n);
  std::multiset<std::string> expected;
  for (int t = 0; t < 4; ++t)
    for (const auto& n : Range(t * 1000, t * 1000 + kPerThread - 1)) expected.insert(n);
  EXPECT_EQ(received, expected);  // every record once, none lost or doubled
}

TEST(UploadBodyTest, EncodingsMatchTheirDefinitions) {
  EXPECT_EQ(Base64Encode(""), "");
  EXPECT_EQ(Base64Encode("f"), "Zg==");
  EXPECT_EQ(Base64Encode("fo"), "Zm8=");
  EXPECT_EQ(Base64Encode("foo"), "Zm9v");
  EXPECT_EQ(Base64Encode("\xFB\xFF"), "+/8=");
  EXPECT_EQ(PercentEncode("aZ09-._~+/= %"), "aZ09-._~%2B%2F%3D%20%25");
  std::string gz;
  ASSERT_TRUE(GzipCompress("[]", gz));
  ASSERT_GE(gz.size(), 18u);
  EXPECT_EQ(static_cast<unsigned char>(gz[0]), 0x1F);
  EXPECT_EQ(static_cast<unsigned char>(gz[1]), 0x8B);
  EXPECT_EQ(static_cast<unsigned char>(gz[8]), 2);  // extra flags: best compression
}

}  // namespace
}  // namespace usage_collect
