// The system-service downloader against nginx. Natively the service is the
// libcurl stand-in; in the Windows build it is URLDownloadToFileW under Wine.
#include "download/win_downloader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "download/download_test_support.h"
#include "test_servers.h"
#include "utils/md5.h"

namespace {

using download_testing::CountLines;
using download_testing::OrderProblems;
using download_testing::Recorder;
using download_testing::Wide;
using vantelo_testing::NginxServer;
using vantelo_testing::TempFolder;

constexpr char kName[] = "VanteloPDFconverter_setup.exe";
constexpr int64_t kMiB = 1048576;
using Codes = std::vector<int32_t>;

TEST(WinDownloader, DownloadsOnceAndReportsEveryProgressNotice) {
  TempFolder site, target;
  const std::string md5 = vantelo_testing::WritePackage(site.File("t/" + std::string(kName)), 2 * kMiB + 3);
  std::filesystem::rename(site.File("t"), site.File(md5));
  auto nginx = NginxServer::Start(site.path(), {.limit_rate = "4m", .redirect_target = "/" + md5 + "/" + kName});
  ASSERT_TRUE(nginx);
  const std::string destination = target.File(kName);
  Recorder recorder;
  CWinDownloader downloader(recorder.Callback(), Wide(nginx->BaseUrl() + "/software/222"), Wide(destination));
  downloader.Start();
  ASSERT_TRUE(recorder.WaitForEnd());
  EXPECT_EQ((Codes{DL_CODE_START, DL_CODE_SUCCESS}), recorder.Codes()) << recorder.Describe();
  EXPECT_EQ(L"URLDownloadToFile", recorder.Last(DL_CODE_SUCCESS).text);
  EXPECT_EQ("", OrderProblems(recorder.events()));
  EXPECT_EQ(md5, Utils::FileMd5(destination));
  const auto progress = recorder.ProgressValues();
  ASSERT_FALSE(progress.empty());
  for (double v : progress) EXPECT_TRUE(v >= 0.0 && v <= 1.0) << v;

  // The worker exists once: a second Start reports nothing.
  const size_t seen = recorder.events().size();
  downloader.Start();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(seen, recorder.events().size());
  EXPECT_EQ(1, CountLines(nginx->RequestLog(), {"GET /" + md5 + "/"}));
}

TEST(WinDownloader, ThreeFailedAttemptsOverThreeSecondsThenFail) {
  if (vantelo_testing::UnderWine()) GTEST_SKIP() << "Wine's URLDownloadToFileW answers S_OK for a 404";
  TempFolder site, target;
  auto nginx = NginxServer::Start(site.path());
  ASSERT_TRUE(nginx);
  const std::string destination = target.File(kName);
  Recorder recorder;
  const auto begin = std::chrono::steady_clock::now();
  CWinDownloader downloader(recorder.Callback(), Wide(nginx->BaseUrl() + "/missing/" + kName), Wide(destination));
  downloader.Start();
  ASSERT_TRUE(recorder.WaitForEnd());
  EXPECT_GE(std::chrono::steady_clock::now() - begin, std::chrono::seconds(3));
  EXPECT_EQ((Codes{DL_CODE_START, DL_CODE_FAIL}), recorder.Codes()) << recorder.Describe();
  EXPECT_EQ(static_cast<double>(download_internal::kResultNotFound), recorder.Last(DL_CODE_FAIL).value);
  EXPECT_EQ(L"URLDownloadToFile", recorder.Last(DL_CODE_FAIL).text);
  EXPECT_EQ(3, CountLines(nginx->RequestLog(), {"GET /missing/", " 404 "}));
  EXPECT_EQ(-1, vantelo_testing::FileSizeOf(destination));
}

TEST(WinDownloader, DestroyingItMidTransferAbortsAndWaits) {
  TempFolder site, target;
  vantelo_testing::WritePackage(site.File(kName), 8 * kMiB);
  auto nginx = NginxServer::Start(site.path(), {.limit_rate = "1m"});
  ASSERT_TRUE(nginx);
  Recorder recorder;
  auto downloader = std::make_unique<CWinDownloader>(recorder.Callback(), Wide(nginx->BaseUrl() + "/" + kName),
                                                     Wide(target.File(kName)));
  downloader->Start();
  ASSERT_TRUE(recorder.WaitForCode(DL_CODE_PROGRESS, 1, std::chrono::seconds(20)));
  const auto begin = std::chrono::steady_clock::now();
  downloader.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(5));
  const size_t seen = recorder.events().size();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(seen, recorder.events().size()) << "no report after destruction";
  EXPECT_EQ(-1, vantelo_testing::FileSizeOf(target.File(kName)));
}

TEST(WinDownloader, ANeverStartedDownloaderIsDestroyedAtOnce) {
  Recorder recorder;
  { CWinDownloader downloader(recorder.Callback(), L"http://127.0.0.1:9/x", L"never-written"); }
  EXPECT_TRUE(recorder.events().empty());
}

}  // namespace
