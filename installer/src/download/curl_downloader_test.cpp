// The single-stream downloader against real servers: the codes the owner
// sees, their order, and the file left on disk.
#include "download/curl_downloader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

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

TEST(CurlDownloader, DownloadsThroughTheRedirectAndChecksTheDigest) {
  TempFolder site, target;
  const std::string md5 = vantelo_testing::WritePackage(site.File("t/" + std::string(kName)), 2 * kMiB + 9);
  std::filesystem::rename(site.File("t"), site.File(md5));
  // Slow enough for a few progress reports.
  auto nginx = NginxServer::Start(site.path(), {.limit_rate = "800k", .redirect_target = "/" + md5 + "/" + kName});
  ASSERT_TRUE(nginx);
  const std::string destination = target.File("setup.exe");
  Recorder recorder;
  CCurlDownloader downloader(recorder.Callback(), Wide(nginx->BaseUrl() + "/software/222"), Wide(destination));
  recorder.Attach(&downloader);
  downloader.Start();
  ASSERT_TRUE(recorder.WaitForEnd()) << recorder.Describe();
  EXPECT_EQ((Codes{DL_CODE_START, DL_CODE_SUCCESS}), recorder.Codes()) << recorder.Describe();
  EXPECT_EQ(L"LibCurl", recorder.Last(DL_CODE_SUCCESS).text);
  EXPECT_EQ(1.0, recorder.events().front().value);
  EXPECT_EQ(md5, Utils::FileMd5(destination));
  EXPECT_EQ(-1, vantelo_testing::FileSizeOf(destination + ".part"));
  EXPECT_FALSE(recorder.ProgressValues().empty());
  EXPECT_EQ("", ProgressProblems(recorder.events()));
  EXPECT_EQ("", OrderProblems(recorder.events()));
}

TEST(CurlDownloader, DigestRules) {
  TempFolder site;
  const std::string md5 = vantelo_testing::WritePackage(site.File(kName), kMiB + 1, 5);
  std::string upper = md5;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  auto fault = FaultServer::Start(site.path());
  ASSERT_TRUE(fault);
  struct Case {
    std::string digest;
    Codes codes;
    std::wstring reason;
    bool file_stays;
  } cases[] = {
      {md5, {DL_CODE_START, DL_CODE_SUCCESS}, L"", true},
      {"no-digest-here", {DL_CODE_START, DL_CODE_REASON, DL_CODE_SUCCESS}, L"curl获取url-md5失败", true},
      // A wrong digest: reason, one retry, then the failure.
      {std::string(32, '0'),
       {DL_CODE_START, DL_CODE_REASON, DL_CODE_RETRY, DL_CODE_START, DL_CODE_REASON, DL_CODE_FAIL},
       L"curl文件md5校验失败", true},
      // The computed digest is lower case, so an upper-case one never matches.
      {upper,
       {DL_CODE_START, DL_CODE_REASON, DL_CODE_RETRY, DL_CODE_START, DL_CODE_REASON, DL_CODE_FAIL},
       L"curl文件md5校验失败", true},
  };
  for (const Case& c : cases) {
    TempFolder target;
    const std::string destination = target.File(kName);
    Recorder recorder;
    CCurlDownloader downloader(recorder.Callback(), Wide(fault->Url("-", c.digest, kName)), Wide(destination));
    recorder.Attach(&downloader);
    downloader.Start();
    ASSERT_TRUE(recorder.WaitForEnd()) << c.digest;
    EXPECT_EQ(c.codes, recorder.Codes()) << c.digest << ": " << recorder.Describe();
    EXPECT_EQ(c.reason, recorder.Last(DL_CODE_REASON).text) << c.digest;
    EXPECT_EQ("", OrderProblems(recorder.events())) << c.digest;
    EXPECT_EQ(c.file_stays ? kMiB + 1 : -1, vantelo_testing::FileSizeOf(destination)) << c.digest;
    for (const auto& e : recorder.events()) {
      if (e.code == DL_CODE_RETRY || e.code == DL_CODE_FAIL) EXPECT_EQ(0.0, e.value) << c.digest;
    }
  }
}

// A partial-file error (18) costs one unit of the budget of 12, any other
// failure two; each failed run is followed by a pause and a new run.
TEST(CurlDownloader, RetryBudget) {
  TempFolder site;
  const std::string md5 = vantelo_testing::WritePackage(site.File(kName), 4 * kMiB);
  vantelo_testing::WritePackage(site.File("small.exe"), kMiB - 1);
  auto fault = FaultServer::Start(site.path());
  ASSERT_TRUE(fault);
  struct Case {
    std::string url;
    double code;
    int gets;
  } cases[] = {
      {fault->Url("drop=65536", md5, kName), CURLE_PARTIAL_FILE, 12},
      {fault->Url("getstatus=500", md5, kName), CURLE_HTTP_RETURNED_ERROR, 6},
      {fault->Url("-", md5, "small.exe"), CurlClient::kNoUsableSize, 0},
  };
  for (const Case& c : cases) {
    TempFolder target;
    const std::string destination = target.File(kName);
    const size_t before = fault->RequestLog().size();
    Recorder recorder;
    const auto begin = std::chrono::steady_clock::now();
    CCurlDownloader downloader(recorder.Callback(), Wide(c.url), Wide(destination));
    recorder.Attach(&downloader);
    downloader.Start();
    ASSERT_TRUE(recorder.WaitForEnd()) << c.url;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    EXPECT_EQ((Codes{DL_CODE_START, DL_CODE_FAIL}), recorder.Codes()) << c.url;
    EXPECT_EQ(c.code, recorder.Last(DL_CODE_FAIL).value) << c.url;
    EXPECT_EQ(L"LibCurl", recorder.Last(DL_CODE_FAIL).text) << c.url;
    auto log = fault->RequestLog();
    log.erase(log.begin(), log.begin() + static_cast<long>(before));
    EXPECT_EQ(c.gets, CountLines(log, {"GET "})) << c.url;
    // Six runs at least (five pauses of 500 ms between them).
    EXPECT_GE(seconds, 2.4) << c.url;
    EXPECT_EQ(-1, vantelo_testing::FileSizeOf(destination)) << c.url;
  }
}

TEST(CurlDownloader, DestinationThatCannotBeWrittenFails) {
  TempFolder site, target;
  const std::string md5 = vantelo_testing::WritePackage(site.File(kName), kMiB);
  auto nginx = NginxServer::Start(site.path());
  ASSERT_TRUE(nginx);
  Recorder recorder;
  // The downloaders create no folders: the owner does that on DL_CODE_START.
  CCurlDownloader downloader(recorder.Callback(), Wide(nginx->BaseUrl() + "/" + kName),
                             Wide(target.File("missing-folder/" + std::string(kName))));
  downloader.Start();
  ASSERT_TRUE(recorder.WaitForEnd());
  EXPECT_EQ((Codes{DL_CODE_START, DL_CODE_FAIL}), recorder.Codes());
  EXPECT_EQ(CurlClient::kPartFileError, recorder.Last(DL_CODE_FAIL).value);
}

TEST(CurlDownloader, DestroyingItMidTransferStopsAndWaits) {
  TempFolder site, target;
  vantelo_testing::WritePackage(site.File(kName), 8 * kMiB);
  auto nginx = NginxServer::Start(site.path(), {.limit_rate = "1m"});
  ASSERT_TRUE(nginx);
  Recorder recorder;
  auto downloader = std::make_unique<CCurlDownloader>(recorder.Callback(),
                                                      Wide(nginx->BaseUrl() + "/" + kName),
                                                      Wide(target.File(kName)));
  downloader->Start();
  ASSERT_TRUE(recorder.WaitForCode(DL_CODE_PROGRESS, 1, std::chrono::seconds(20)));
  const auto begin = std::chrono::steady_clock::now();
  downloader.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(3));
  const size_t seen = recorder.events().size();
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  EXPECT_EQ(seen, recorder.events().size()) << "no report after destruction";
  EXPECT_EQ(-1, vantelo_testing::FileSizeOf(target.File(kName)));
  EXPECT_EQ(-1, vantelo_testing::FileSizeOf(target.File(kName) + ".part"));
}

}  // namespace
