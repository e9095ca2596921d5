// The HTTP client against real servers on 127.0.0.1: nginx for the normal
// paths (redirect, HEAD, ranges, rate limit), the fault server for the rest.
#include "download/curl_client.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "download/download_test_support.h"
#include "test_servers.h"
#include "utils/md5.h"

namespace {

using download_testing::CountLines;
using download_testing::Wide;
using vantelo_testing::FaultServer;
using vantelo_testing::NginxServer;
using vantelo_testing::TempFolder;

constexpr char kName[] = "VanteloPDFconverter_setup.exe";
constexpr int64_t kMiB = 1048576;

struct ProgressLog {
  std::mutex mutex;
  std::vector<double> percents;
  static void Receive(void* owner, double speed, double unused, double percent) {
    auto* self = static_cast<ProgressLog*>(owner);
    std::lock_guard<std::mutex> lock(self->mutex);
    self->percents.push_back(percent);
  }
};

TEST(CurlClient, SizeLimitIsOneMebibyteExactly) {
  struct Case {
    int64_t size;
    int result;
  } cases[] = {{kMiB, 0}, {kMiB - 1, CurlClient::kNoUsableSize}};
  for (const Case& c : cases) {
    TempFolder site, target;
    const std::string md5 = vantelo_testing::WritePackage(site.File("pkg/" + std::string(kName)), c.size);
    std::string error;
    auto nginx = NginxServer::Start(site.path(), {}, &error);
    ASSERT_TRUE(nginx) << error;
    ProgressLog progress;
    const std::string destination = target.File(kName);
    {
      CurlClient client(Wide(nginx->BaseUrl() + "/pkg/" + kName), Wide(destination), &progress,
                        &ProgressLog::Receive);
      EXPECT_EQ(c.result, client.Start()) << "size " << c.size;
    }
    const auto log = nginx->RequestLog();
    if (c.result == 0) {
      EXPECT_EQ(md5, Utils::FileMd5(destination)) << "size " << c.size;
      EXPECT_EQ(1, CountLines(log, {"GET "})) << "size " << c.size;
    } else {
      EXPECT_EQ(-1, vantelo_testing::FileSizeOf(destination)) << "size " << c.size;
      EXPECT_EQ(0, CountLines(log, {"GET "})) << "no transfer for size " << c.size;
      // One header request of the first pass, two of the second.
      EXPECT_EQ(3, CountLines(log, {"HEAD "})) << "both resolution passes for size " << c.size;
    }
    EXPECT_EQ(-1, vantelo_testing::FileSizeOf(destination + ".part"));
  }
}

TEST(CurlClient, FollowsTheDownloadRedirectAndLearnsUrlAndSize) {
  TempFolder site, target;
  const int64_t size = 3 * kMiB + 17;
  const std::string md5 = vantelo_testing::WritePackage(site.File(std::string("x/") + kName), size);
  std::filesystem::rename(site.File("x"), site.File(md5));
  auto nginx = NginxServer::Start(site.path(), {.redirect_target = "/" + md5 + "/" + kName});
  ASSERT_TRUE(nginx);
  const std::string destination = target.File("setup.exe");
  CurlClient client(Wide(nginx->BaseUrl() + "/software/222"), Wide(destination), nullptr, nullptr);
  ASSERT_EQ(0, client.Start());
  EXPECT_EQ(nginx->BaseUrl() + "/" + md5 + "/" + kName, client.realUrl());
  EXPECT_EQ(static_cast<double>(size), client.totalLength());
  EXPECT_EQ(md5, Utils::FileMd5(destination));
  EXPECT_EQ(-1, vantelo_testing::FileSizeOf(destination + ".part"));
  // The transfer asks for the final URL itself, without the redirect.
  EXPECT_EQ(1, CountLines(nginx->RequestLog(), {"GET /" + md5 + "/"}));
  EXPECT_EQ(0, CountLines(nginx->RequestLog(), {"GET /software/222"}));
}

TEST(CurlClient, ResumesFromThePartialFileAndCountsItInTheFirstPercent) {
  TempFolder site, target;
  const int64_t size = 2 * kMiB;
  const int64_t held = 1500000;
  const std::string bytes = vantelo_testing::PackageBytes(size, 7);
  const std::string md5 = vantelo_testing::WritePackage(site.File(kName), size, 7);
  const std::string destination = target.File(kName);
  {
    std::ofstream part(destination + ".part", std::ios::binary);
    part.write(bytes.data(), held);
  }
  // Slow enough that the transfer lives through a progress evaluation.
  auto nginx = NginxServer::Start(site.path(), {.limit_rate = "200k"});
  ASSERT_TRUE(nginx);
  ProgressLog progress;
  CurlClient client(Wide(nginx->BaseUrl() + "/" + kName), Wide(destination), &progress,
                    &ProgressLog::Receive);
  ASSERT_EQ(0, client.Start());
  EXPECT_EQ(md5, Utils::FileMd5(destination));
  EXPECT_EQ(held, client.resumeOffset());
  EXPECT_EQ(1, CountLines(nginx->RequestLog(), {"GET ", "\"bytes=1500000-\"", " 206 "}));
  ASSERT_FALSE(progress.percents.empty());
  EXPECT_GE(progress.percents.front(), 100.0 * held / size);
  for (double p : progress.percents) {
    EXPECT_GT(p, 0.0);
    EXPECT_LE(p, 100.0);
  }
}

TEST(CurlClient, RetryAfterADroppedTransferResumesWithoutHeaderRequests) {
  TempFolder site, target;
  const int64_t size = 2 * kMiB;
  const std::string md5 = vantelo_testing::WritePackage(site.File(kName), size, 3);
  auto fault = FaultServer::Start(site.path());
  ASSERT_TRUE(fault);
  const std::string destination = target.File(kName);
  CurlClient client(Wide(fault->Url("droponce=700000", md5, kName)), Wide(destination), nullptr, nullptr);
  EXPECT_EQ(CURLE_PARTIAL_FILE, client.Start());
  EXPECT_EQ(700000, vantelo_testing::FileSizeOf(destination + ".part"));
  const size_t heads = CountLines(fault->RequestLog(), {"HEAD "});
  EXPECT_GE(heads, 1u);

  EXPECT_EQ(0, client.Start());
  EXPECT_EQ(md5, Utils::FileMd5(destination));
  const auto log = fault->RequestLog();
  EXPECT_EQ(heads, static_cast<size_t>(CountLines(log, {"HEAD "}))) << "no new header request";
  EXPECT_EQ(1, CountLines(log, {"GET ", "bytes=700000-"}));
}

TEST(CurlClient, ErrorStatusOnTransferAndOnHeaderRequest) {
  TempFolder site, target;
  vantelo_testing::WritePackage(site.File(kName), 2 * kMiB);
  auto fault = FaultServer::Start(site.path());
  ASSERT_TRUE(fault);
  {
    CurlClient client(Wide(fault->Url("getstatus=404", "d", kName)), Wide(target.File("a.exe")),
                      nullptr, nullptr);
    EXPECT_EQ(CURLE_HTTP_RETURNED_ERROR, client.Start());
    EXPECT_EQ(-1, vantelo_testing::FileSizeOf(target.File("a.exe")));
  }
  CURL* head = CurlClient::Head(fault->Url("headstatus=404", "d", kName));
  ASSERT_NE(nullptr, head);
  EXPECT_EQ(-1.0, CurlClient::GetDownloadFileLength(head));
  curl_easy_cleanup(head);
  EXPECT_EQ(static_cast<double>(2 * kMiB),
            CurlClient::GetDownloadFileLength_Str(fault->Url("-", "d", kName)));
}

TEST(CurlClient, BadServersNeverLeaveAFileAtTheDestination) {
  TempFolder site;
  vantelo_testing::WritePackage(site.File(kName), 2 * kMiB);
  auto fault = FaultServer::Start(site.path());
  ASSERT_TRUE(fault);
  struct Case {
    const char* faults;
    int result;
  } cases[] = {
      {"lie=1000", CURLE_PARTIAL_FILE},    // announces more than it sends
      {"loop", CurlClient::kNoUsableSize}, // redirects forever
      {"html", CurlClient::kNoUsableSize}, // an error page with status 200
      {"drop=0", CURLE_PARTIAL_FILE},
  };
  for (const Case& c : cases) {
    TempFolder target;
    const std::string destination = target.File(kName);
    CurlClient client(Wide(fault->Url(c.faults, "d", kName)), Wide(destination), nullptr, nullptr);
    EXPECT_EQ(c.result, client.Start()) << c.faults;
    EXPECT_EQ(-1, vantelo_testing::FileSizeOf(destination)) << c.faults;
  }
}

TEST(CurlClient, ProgressAtMostOncePerSecondAndNeverZero) {
  TempFolder site, target;
  const int64_t size = 2 * kMiB + 5;
  vantelo_testing::WritePackage(site.File(kName), size);
  auto nginx = NginxServer::Start(site.path(), {.limit_rate = "700k"});
  ASSERT_TRUE(nginx);
  ProgressLog progress;
  const auto begin = std::chrono::steady_clock::now();
  CurlClient client(Wide(nginx->BaseUrl() + "/" + kName), Wide(target.File(kName)), &progress,
                    &ProgressLog::Receive);
  ASSERT_EQ(0, client.Start());
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  ASSERT_FALSE(progress.percents.empty());
  EXPECT_LE(progress.percents.size(), static_cast<size_t>(seconds) + 1);
  double previous = 0.0;
  for (double p : progress.percents) {
    EXPECT_GT(p, previous);
    EXPECT_LE(p, 100.0);
    previous = p;
  }
}

TEST(CurlClient, StopAbortsTheRunningTransfer) {
  TempFolder site, target;
  vantelo_testing::WritePackage(site.File(kName), 4 * kMiB);
  auto nginx = NginxServer::Start(site.path(), {.limit_rate = "100k"});
  ASSERT_TRUE(nginx);
  CurlClient client(Wide(nginx->BaseUrl() + "/" + kName), Wide(target.File(kName)), nullptr, nullptr);
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    client.Stop();
  });
  EXPECT_EQ(CURLE_ABORTED_BY_CALLBACK, client.Start());
  stopper.join();
  EXPECT_EQ(-1, vantelo_testing::FileSizeOf(target.File(kName)));
}

}  // namespace
