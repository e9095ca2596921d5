// The segmented downloader against real servers: how it cuts and requests
// the ranges, resumes, retries within budgets, joins and checks, and the
// codes and files it leaves.
#include "download/mt_curl_downloader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "app/installer_settings.h"
#include "download/download_test_support.h"
#include "test_servers.h"
#include "utils/md5.h"

namespace {

using download_testing::CountLines;
using download_testing::OrderProblems;
using download_testing::ProgressProblems;
using download_testing::Recorder;
using download_testing::Wide;
using vantelo_testing::FaultServer;
using vantelo_testing::NginxServer;
using vantelo_testing::TempFolder;

constexpr char kName[] = "VanteloPDFconverter_setup.exe";
constexpr int64_t kMiB = 1048576;
using Codes = std::vector<int32_t>;

bool NoPartFiles(const std::string& destination) {
  return vantelo_testing::FileSizeOf(destination + "_0") == -1 &&
         vantelo_testing::FileSizeOf(destination + "_1") == -1;
}

// The package under "/<md5>/name", as the download server keeps it.
std::string PublishPackage(const TempFolder& site, int64_t size, uint32_t seed = 1) {
  const std::string md5 = vantelo_testing::WritePackage(site.File("t/" + std::string(kName)), size, seed);
  std::filesystem::rename(site.File("t"), site.File(md5));
  return md5;
}

TEST(MTCurlDownloader, CutsIntoRangesAndJoinsThem) {
  struct Case {
    int64_t size;
    std::vector<std::string> ranges;
  } cases[] = {
      {15 * kMiB, {"\"bytes=0-15728639\""}},
      {20 * kMiB + 1, {"\"bytes=0-10485759\"", "\"bytes=10485760-20971520\""}},
      {100 * kMiB, {"\"bytes=0-52428799\"", "\"bytes=52428800-104857599\""}},
  };
  for (const Case& c : cases) {
    TempFolder site, target;
    const std::string md5 = PublishPackage(site, c.size);
    auto nginx = NginxServer::Start(site.path(), {.redirect_target = "/" + md5 + "/" + kName});
    ASSERT_TRUE(nginx);
    const std::string destination = target.File(kName);
    Recorder recorder;
    CMTCurlDownloader downloader(recorder.Callback(), Wide(nginx->BaseUrl() + "/software/222"),
                                 Wide(destination));
    recorder.Attach(&downloader);
    downloader.Start();
    ASSERT_TRUE(recorder.WaitForEnd()) << c.size;
    EXPECT_EQ((Codes{DL_CODE_START, DL_CODE_SUCCESS}), recorder.Codes()) << c.size << recorder.Describe();
    EXPECT_EQ("", OrderProblems(recorder.events())) << c.size;
    EXPECT_EQ(md5, Utils::FileMd5(destination)) << c.size;
    EXPECT_TRUE(NoPartFiles(destination)) << c.size;
    const auto log = nginx->RequestLog();
    EXPECT_EQ(1, CountLines(log, {"HEAD /software/222"})) << c.size;
    EXPECT_EQ(static_cast<int>(c.ranges.size()), CountLines(log, {"GET "})) << c.size;
    for (const std::string& range : c.ranges) EXPECT_EQ(1, CountLines(log, {"GET ", range, " 206 "})) << c.size;
  }
}

TEST(MTCurlDownloader, SizeLimitAndHeaderFailuresEndWithoutRangeRequests) {
  TempFolder site;
  vantelo_testing::WritePackage(site.File("a255.exe"), 255);
  const std::string md5 = vantelo_testing::WritePackage(site.File("a256.exe"), 256);
  vantelo_testing::WritePackage(site.File(kName), 2 * kMiB);
  auto fault = FaultServer::Start(site.path());
  ASSERT_TRUE(fault);
  struct Case {
    std::string url;
    Codes codes;
  } cases[] = {
      {fault->Url("-", "d", "a255.exe"), {DL_CODE_START, DL_CODE_FAIL}},
      {fault->Url("-", md5, "a256.exe"), {DL_CODE_START, DL_CODE_SUCCESS}},
      {fault->Url("headstatus=404", "d", kName), {DL_CODE_START, DL_CODE_FAIL}},
      {fault->Url("headstatus=500", "d", kName), {DL_CODE_START, DL_CODE_FAIL}},
      {fault->Url("loop", "d", kName), {DL_CODE_START, DL_CODE_FAIL}},
      {fault->Url("html", "d", kName), {DL_CODE_START, DL_CODE_FAIL}},
  };
  for (const Case& c : cases) {
    TempFolder target;
    const size_t before = fault->RequestLog().size();
    Recorder recorder;
    CMTCurlDownloader downloader(recorder.Callback(), Wide(c.url), Wide(target.File(kName)));
    recorder.Attach(&downloader);
    downloader.Start();
    ASSERT_TRUE(recorder.WaitForEnd()) << c.url;
    EXPECT_EQ(c.codes, recorder.Codes()) << c.url << ": " << recorder.Describe();
    auto log = fault->RequestLog();
    log.erase(log.begin(), log.begin() + static_cast<long>(before));
    if (c.codes.back() == DL_CODE_FAIL) {
      EXPECT_EQ(0.0, recorder.Last(DL_CODE_FAIL).value) << c.url;
      EXPECT_EQ(0, CountLines(log, {"GET "})) << c.url;
      EXPECT_EQ(-1, vantelo_testing::FileSizeOf(target.File(kName))) << c.url;
    }
  }
}

TEST(MTCurlDownloader, DigestRules) {
  TempFolder site;
  const std::string md5 = vantelo_testing::WritePackage(site.File(kName), 3 * kMiB, 9);
  std::string upper = md5;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  auto fault = FaultServer::Start(site.path());
  ASSERT_TRUE(fault);
  const Codes twice = {DL_CODE_START, DL_CODE_REASON, DL_CODE_RETRY, DL_CODE_START, DL_CODE_REASON, DL_CODE_FAIL};
  struct Case {
    std::string digest;
    Codes codes;
    std::wstring reason;
  } cases[] = {
      {"nodigest", {DL_CODE_START, DL_CODE_REASON, DL_CODE_SUCCESS}, L"mtcurl获取url-md5失败"},
      {upper, twice, L"mtcurl文件md5校验失败"},
  };
  for (const Case& c : cases) {
    TempFolder target;
    const std::string destination = target.File(kName);
    Recorder recorder;
    CMTCurlDownloader downloader(recorder.Callback(), Wide(fault->Url("-", c.digest, kName)), Wide(destination));
    recorder.Attach(&downloader);
    downloader.Start();
    ASSERT_TRUE(recorder.WaitForEnd()) << c.digest;
    EXPECT_EQ(c.codes, recorder.Codes()) << c.digest << ": " << recorder.Describe();
    EXPECT_EQ(c.reason, recorder.Last(DL_CODE_REASON).text) << c.digest;
    EXPECT_EQ("", OrderProblems(recorder.events())) << c.digest;
    EXPECT_TRUE(NoPartFiles(destination)) << c.digest;
    // After a mismatch the file is gone; both attempts fetched everything.
    const bool success = c.codes.back() == DL_CODE_SUCCESS;
    EXPECT_EQ(success ? 3 * kMiB : -1, vantelo_testing::FileSizeOf(destination)) << c.digest;
    if (!success) EXPECT_EQ(2, CountLines(fault->RequestLog(), {"GET ", upper, "bytes=0-"}));
  }
}

// A range that keeps failing uses up its budget: a partial-file error (18)
// costs one of 12 units, any other failure two.
TEST(MTCurlDownloader, RangeBudget) {
  TempFolder site;
  const std::string md5 = vantelo_testing::WritePackage(site.File(kName), 4 * kMiB);
  auto fault = FaultServer::Start(site.path());
  ASSERT_TRUE(fault);
  struct Case {
    std::string faults;
    double code;
    int gets;
  } cases[] = {
      {"drop=65536", CURLE_PARTIAL_FILE, 13},
      {"getstatus=500", CURLE_HTTP_RETURNED_ERROR, 7},
  };
  for (const Case& c : cases) {
    TempFolder target;
    const std::string destination = target.File(kName);
    Recorder recorder(Recorder::OnRetry::kStop);
    CMTCurlDownloader downloader(recorder.Callback(), Wide(fault->Url(c.faults, md5, kName)), Wide(destination));
    downloader.Start();
    ASSERT_TRUE(recorder.WaitForEnd()) << c.faults;
    EXPECT_EQ((Codes{DL_CODE_START, DL_CODE_RETRY}), recorder.Codes()) << c.faults << recorder.Describe();
    EXPECT_EQ(c.code, recorder.Last(DL_CODE_RETRY).value) << c.faults;
    EXPECT_EQ(c.gets, CountLines(fault->RequestLog(), {"GET /" + c.faults + "/"})) << c.faults;
    EXPECT_EQ(-1, vantelo_testing::FileSizeOf(destination)) << c.faults;
  }
}

// The first attempt gets 3000000 bytes of range 0 and nothing of range 1,
// reports progress, and fails; the restart keeps both part files and asks
// only for what is missing.
TEST(MTCurlDownloader, RestartResumesFromThePartFiles) {
  TempFolder site, target;
  const int64_t size = 20 * kMiB + 1;
  const std::string md5 = vantelo_testing::WritePackage(site.File(kName), size, 11);
  auto fault = FaultServer::Start(site.path());
  ASSERT_TRUE(fault);
  const std::string destination = target.File(kName);
  Recorder recorder;
  // 13 failing requests per range in the first attempt.
  CMTCurlDownloader downloader(recorder.Callback(), Wide(fault->Url("cap=3000000,capgets=26", md5, kName)),
                               Wide(destination));
  recorder.Attach(&downloader);
  downloader.Start();
  ASSERT_TRUE(recorder.WaitForEnd(std::chrono::seconds(90)));
  EXPECT_EQ((Codes{DL_CODE_START, DL_CODE_RETRY, DL_CODE_START, DL_CODE_SUCCESS}), recorder.Codes())
      << recorder.Describe();
  EXPECT_EQ(CURLE_PARTIAL_FILE, recorder.Last(DL_CODE_RETRY).value);
  EXPECT_EQ(md5, Utils::FileMd5(destination));
  EXPECT_TRUE(NoPartFiles(destination));
  std::vector<std::string> gets;
  for (const std::string& line : fault->RequestLog())
    if (line.rfind("GET ", 0) == 0) gets.push_back(line);
  ASSERT_EQ(28u, gets.size());
  // The restart's two requests: the rest of range 0 and all of range 1.
  const std::vector<std::string> restart(gets.end() - 2, gets.end());
  EXPECT_EQ(1, CountLines(restart, {"bytes=3000000-10485759"}));
  EXPECT_EQ(1, CountLines(restart, {"bytes=10485760-20971520"}));
  // Progress of the restart counts the 3000000 bytes already held.
  int starts = 0;
  for (const auto& e : recorder.events()) {
    starts += e.code == DL_CODE_START;
    if (starts == 2 && e.code == DL_CODE_PROGRESS) EXPECT_GE(e.value, 3000000.0 / size);
  }
  EXPECT_EQ("", ProgressProblems(recorder.events()));
}

TEST(MTCurlDownloader, BadServersEndInRetryOrFailNeverSuccess) {
  TempFolder site;
  const std::string md5 = vantelo_testing::WritePackage(site.File(kName), 20 * kMiB + 1);
  auto fault = FaultServer::Start(site.path());
  ASSERT_TRUE(fault);
  struct Case {
    const char* faults;
    double code;
  } cases[] = {
      {"norange", CURLE_WRITE_ERROR},            // 200 with the whole file for range 1
      {"lie=1000", CURLE_PARTIAL_FILE},          // announces more than it has
  };
  for (const Case& c : cases) {
    TempFolder target;
    const std::string destination = target.File(kName);
    Recorder recorder(Recorder::OnRetry::kStop);
    CMTCurlDownloader downloader(recorder.Callback(), Wide(fault->Url(c.faults, md5, kName)), Wide(destination));
    downloader.Start();
    ASSERT_TRUE(recorder.WaitForEnd()) << c.faults;
    EXPECT_EQ((Codes{DL_CODE_START, DL_CODE_RETRY}), recorder.Codes()) << c.faults << recorder.Describe();
    EXPECT_NE(0.0, recorder.Last(DL_CODE_RETRY).value) << c.faults;
    EXPECT_EQ(-1, vantelo_testing::FileSizeOf(destination)) << c.faults;
  }
}

// One changed byte in either range is caught by the digest check, taken
// while the file is written and joined.
TEST(MTCurlDownloader, AChangedByteInEitherRangeFailsTheDigest) {
  TempFolder site;
  const int64_t size = 20 * kMiB + 1;
  const std::string md5 = vantelo_testing::WritePackage(site.File(kName), size, 12);
  auto fault = FaultServer::Start(site.path());
  ASSERT_TRUE(fault);
  for (int64_t offset : {int64_t{5}, 10 * kMiB + 77, size - 1}) {
    TempFolder target;
    const std::string destination = target.File(kName);
    const std::string faults = "corrupt=" + std::to_string(offset);
    Recorder recorder;
    CMTCurlDownloader downloader(recorder.Callback(), Wide(fault->Url(faults, md5, kName)), Wide(destination));
    recorder.Attach(&downloader);
    downloader.Start();
    ASSERT_TRUE(recorder.WaitForEnd()) << offset;
    EXPECT_EQ((Codes{DL_CODE_START, DL_CODE_REASON, DL_CODE_RETRY, DL_CODE_START, DL_CODE_REASON, DL_CODE_FAIL}),
              recorder.Codes())
        << offset << ": " << recorder.Describe();
    EXPECT_EQ(-1, vantelo_testing::FileSizeOf(destination)) << offset;
    EXPECT_TRUE(NoPartFiles(destination)) << offset;
  }
}

TEST(MTCurlDownloader, ARangeWithExtraBytesIsCutAtItsEnd) {
  TempFolder site, target;
  const std::string md5 = vantelo_testing::WritePackage(site.File(kName), 20 * kMiB + 1, 4);
  auto fault = FaultServer::Start(site.path());
  ASSERT_TRUE(fault);
  const std::string destination = target.File(kName);
  Recorder recorder;
  CMTCurlDownloader downloader(recorder.Callback(), Wide(fault->Url("extra=5000", md5, kName)), Wide(destination));
  recorder.Attach(&downloader);
  downloader.Start();
  ASSERT_TRUE(recorder.WaitForEnd());
  EXPECT_EQ((Codes{DL_CODE_START, DL_CODE_SUCCESS}), recorder.Codes()) << recorder.Describe();
  EXPECT_EQ(md5, Utils::FileMd5(destination));
}

TEST(MTCurlDownloader, AStalledRangeTimesOutAndIsRetried) {
  TempFolder site, target;
  const std::string md5 = vantelo_testing::WritePackage(site.File(kName), 2 * kMiB, 6);
  auto fault = FaultServer::Start(site.path());
  ASSERT_TRUE(fault);
  const std::string destination = target.File(kName);
  Recorder recorder;
  // One byte, then nothing: the speed is below 1 byte per second at once.
  CMTCurlDownloader downloader(recorder.Callback(), Wide(fault->Url("stallonce=1", md5, kName)),
                               Wide(destination));
  downloader.Start();
  ASSERT_TRUE(recorder.WaitForEnd());
  EXPECT_EQ((Codes{DL_CODE_START, DL_CODE_SUCCESS}), recorder.Codes()) << recorder.Describe();
  EXPECT_EQ(md5, Utils::FileMd5(destination));
  EXPECT_EQ(1, CountLines(fault->RequestLog(), {"GET ", "bytes=1-2097151"}));
}

TEST(MTCurlDownloader, ProgressAcrossTwoRanges) {
  TempFolder site, target;
  const std::string md5 = PublishPackage(site, 20 * kMiB + 1, 2);
  auto nginx = NginxServer::Start(site.path(), {.limit_rate = "4m", .redirect_target = "/" + md5 + "/" + kName});
  ASSERT_TRUE(nginx);
  const std::string destination = target.File(kName);
  Recorder recorder;
  CMTCurlDownloader downloader(recorder.Callback(), Wide(nginx->BaseUrl() + "/software/222"), Wide(destination));
  downloader.Start();
  ASSERT_TRUE(recorder.WaitForEnd());
  EXPECT_EQ((Codes{DL_CODE_START, DL_CODE_SUCCESS}), recorder.Codes()) << recorder.Describe();
  EXPECT_GE(recorder.ProgressValues().size(), 1u);
  EXPECT_EQ("", ProgressProblems(recorder.events()));
  EXPECT_EQ(md5, Utils::FileMd5(destination));
}

TEST(MTCurlDownloader, WithoutLibcurlReadyItFailsAtOnce) {
  TempFolder site, target;
  const std::string md5 = vantelo_testing::WritePackage(site.File(kName), 2 * kMiB);
  auto nginx = NginxServer::Start(site.path());
  ASSERT_TRUE(nginx);
  InstallerSettings::Instance().CurlReady = false;
  Recorder recorder;
  {
    CMTCurlDownloader downloader(recorder.Callback(), Wide(nginx->BaseUrl() + "/" + kName), Wide(target.File(kName)));
    downloader.Start();
    EXPECT_TRUE(recorder.WaitForEnd());
  }
  InstallerSettings::Instance().CurlReady = true;
  EXPECT_EQ((Codes{DL_CODE_START, DL_CODE_FAIL}), recorder.Codes());
  EXPECT_TRUE(nginx->RequestLog().empty());
}

TEST(MTCurlDownloader, DestroyingItMidTransferStopsEveryThread) {
  TempFolder site, target;
  vantelo_testing::WritePackage(site.File(kName), 24 * kMiB);
  auto nginx = NginxServer::Start(site.path(), {.limit_rate = "1m"});
  ASSERT_TRUE(nginx);
  Recorder recorder;
  auto downloader = std::make_unique<CMTCurlDownloader>(recorder.Callback(), Wide(nginx->BaseUrl() + "/" + kName),
                                                        Wide(target.File(kName)));
  downloader->Start();
  ASSERT_TRUE(recorder.WaitForCode(DL_CODE_PROGRESS, 1, std::chrono::seconds(30)));
  const auto begin = std::chrono::steady_clock::now();
  downloader.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(3));
  const size_t seen = recorder.events().size();
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  EXPECT_EQ(seen, recorder.events().size()) << "no report after destruction";
}

}  // namespace
