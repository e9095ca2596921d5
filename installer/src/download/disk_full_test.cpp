// A disk that fills up during the transfer: the downloader runs in a child
// process whose file-size limit is below the package size, so every write
// past the limit fails as on a full disk.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "download/curl_downloader.h"
#include "download/download_test_support.h"
#include "download/mt_curl_downloader.h"
#include "test_servers.h"

namespace {

using download_testing::Recorder;
using download_testing::Wide;
using vantelo_testing::NginxServer;
using vantelo_testing::TempFolder;

constexpr char kName[] = "VanteloPDFconverter_setup.exe";
constexpr int64_t kMiB = 1048576;

struct Outcome {
  int32_t code = 0;
  double value = 0.0;
};

// Runs |body| in a forked child limited to |limit| bytes per file and
// returns the final code it saw.
Outcome RunWithFileLimit(rlim_t limit, const std::function<Outcome()>& body) {
  int fds[2];
  if (::pipe(fds) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    ::signal(SIGXFSZ, SIG_IGN);  // writes past the limit fail with EFBIG
    rlimit rl{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &rl);
    const Outcome outcome = body();
    (void)!::write(fds[1], &outcome, sizeof(outcome));
    ::_exit(0);
  }
  ::close(fds[1]);
  Outcome outcome;
  if (::read(fds[0], &outcome, sizeof(outcome)) != sizeof(outcome)) outcome = {};
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return outcome;
}

TEST(DiskFull, EveryDownloaderEndsInFailureOrRetryWithTheWriteError) {
  TempFolder site;
  const std::string md5 = vantelo_testing::WritePackage(site.File(kName), 2 * kMiB, 8);
  auto nginx = NginxServer::Start(site.path());
  ASSERT_TRUE(nginx);
  const std::wstring url = Wide(nginx->BaseUrl() + "/" + kName);
  struct Case {
    const char* name;
    std::function<Outcome(const std::string&)> run;
    int32_t code;
  } cases[] = {
      {"single stream",
       [&](const std::string& destination) {
         Recorder recorder;
         CCurlDownloader downloader(recorder.Callback(), url, Wide(destination));
         downloader.Start();
         recorder.WaitForEnd();
         const auto last = recorder.events().back();
         return Outcome{last.code, last.value};
       },
       DL_CODE_FAIL},
      {"segmented",
       [&](const std::string& destination) {
         Recorder recorder(Recorder::OnRetry::kStop);
         CMTCurlDownloader downloader(recorder.Callback(), url, Wide(destination));
         downloader.Start();
         recorder.WaitForEnd();
         const auto last = recorder.events().back();
         return Outcome{last.code, last.value};
       },
       DL_CODE_RETRY},
  };
  for (const Case& c : cases) {
    TempFolder target;
    const std::string destination = target.File(kName);
    const Outcome outcome = RunWithFileLimit(kMiB, [&] { return c.run(destination); });
    EXPECT_EQ(c.code, outcome.code) << c.name;
    EXPECT_EQ(static_cast<double>(CURLE_WRITE_ERROR), outcome.value) << c.name;
    EXPECT_EQ(-1, vantelo_testing::FileSizeOf(destination)) << c.name;
  }
}

}  // namespace
