// The parts of the downloaders that are pure rules: selection by type, the cut
// into ranges, and the URL forms handed to libcurl and to the system service.
#include "download/downloader.h"

#include <gtest/gtest.h>

#include "download/curl_client.h"
#include "download/curl_downloader.h"
#include "download/mt_curl_downloader.h"
#include "download/win_downloader.h"

namespace {

TEST(DownloaderSelection, TypeTwoIsSystemThreeIsSegmentedAnyOtherSingleStream) {
  struct Case {
    int type;
    const char* expected;
  } cases[] = {{2, "win"}, {3, "mt"}, {1, "curl"}, {0, "curl"}, {4, "curl"}, {-1, "curl"}, {99, "curl"}};
  for (const Case& c : cases) {
    // Nothing is started: construction alone touches no network.
    auto downloader = CreateDownloader(c.type, nullptr, L"http://127.0.0.1:9/x", L"unused-dl-target");
    const char* actual = dynamic_cast<CWinDownloader*>(downloader.get())      ? "win"
                         : dynamic_cast<CMTCurlDownloader*>(downloader.get()) ? "mt"
                         : dynamic_cast<CCurlDownloader*>(downloader.get())   ? "curl"
                                                                               : "none";
    EXPECT_STREQ(c.expected, actual) << "DownloadType " << c.type;
  }
}

TEST(SegmentedCut, AtMostTwoRangesInUnitsOfTenMebibytesWithTheRemainderInTheLast) {
  constexpr int64_t kMiB = 1048576;
  struct Case {
    int64_t length;
    std::vector<std::pair<int64_t, int64_t>> ranges;  // (offset, size)
  } cases[] = {
      {256, {{0, 256}}},
      {15 * kMiB, {{0, 15 * kMiB}}},
      {20 * kMiB - 1, {{0, 20 * kMiB - 1}}},
      {20 * kMiB, {{0, 10 * kMiB}, {10 * kMiB, 10 * kMiB}}},
      {20 * kMiB + 1, {{0, 10 * kMiB}, {10 * kMiB, 10 * kMiB + 1}}},
      {100 * kMiB, {{0, 50 * kMiB}, {50 * kMiB, 50 * kMiB}}},
      // Packages of 2 GiB and more keep exact 64-bit offsets.
      {5 * 1024 * kMiB + 3, {{0, 2560 * kMiB + 1}, {2560 * kMiB + 1, 2560 * kMiB + 2}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.ranges, CMTCurlDownloader::CutRanges(c.length)) << "length " << c.length;
  }
}

TEST(SegmentedCut, PartFilesAreNamedAfterTheDestinationWithIndex) {
  EXPECT_EQ("dir/setup.exe_0", CMTCurlDownloader::getPartPath("dir/setup.exe", 0));
  EXPECT_EQ("dir/setup.exe_1", CMTCurlDownloader::getPartPath("dir/setup.exe", 1));
}

TEST(SystemDownloaderUrl, FileUrlsPassUnchangedOthersAreEscaped) {
  struct Case {
    const wchar_t* url;
    const wchar_t* expected;
  } cases[] = {
      {L"file:///C:/a b/包.exe", L"file:///C:/a b/包.exe"},
      {L"http://h/a b.exe", L"http://h/a+b.exe"},
      {L"http://h/包.exe", L"http://h/%E5%8C%85.exe"},
      {L"http://h/x?a=1&b=~", L"http://h/x?a=1&b=~"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(std::wstring(c.expected), CWinDownloader::SourceUrl(c.url));
  }
}

TEST(ClientRequestUrl, Utf8ExceptFileUrlsWhichUseTheAnsiCodePage) {
  EXPECT_EQ("http://h/\xE5\x8C\x85.exe", CurlClient::RequestUrl(L"http://h/包.exe"));
  EXPECT_EQ("http://h/a b", CurlClient::RequestUrl(L"http://h/a b"));
  // The ANSI code page is the locale's character set here: plain ASCII is
  // the same either way.
  EXPECT_EQ("file:///tmp/a.exe", CurlClient::RequestUrl(L"file:///tmp/a.exe"));
}

TEST(BindProgress, AbortWinsAndAnEmptyMaximumIsNotReported) {
  std::vector<double> seen;
  DownloadCallback callback = [&](int32_t code, double value, const wchar_t*) {
    EXPECT_EQ(DL_CODE_PROGRESS, code);
    seen.push_back(value);
  };
  std::atomic<bool> abort{false};
  EXPECT_EQ(download_internal::kResultOk, download_internal::BindProgress(abort, callback, 5, 0));
  EXPECT_EQ(download_internal::kResultOk, download_internal::BindProgress(abort, callback, 1, 4));
  // Counts are unsigned 32-bit: a maximum above 2^31 stays positive.
  EXPECT_EQ(download_internal::kResultOk,
            download_internal::BindProgress(abort, callback, 0x80000000u, 0xFFFFFFFFu));
  abort = true;
  EXPECT_EQ(download_internal::kResultAbort, download_internal::BindProgress(abort, callback, 2, 4));
  ASSERT_EQ(2u, seen.size());
  EXPECT_DOUBLE_EQ(0.25, seen[0]);
  EXPECT_NEAR(0.5, seen[1], 1e-9);
}

}  // namespace
