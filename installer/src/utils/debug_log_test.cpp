#include "utils/debug_log.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>

#include "utils/text.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

TEST(DebugLogFormat, Conversions) {
  struct Case {
    std::wstring expected, actual;
  } cases[] = {
      {L"04321", Utils::FormatWide(L"%05d", 4321)},
      {L"123456", Utils::FormatWide(L"%05d", 123456)},
      {L"12345", Utils::FormatWide(L"%04d", 12345)},
      {L"0049", Utils::FormatWide(L"%04d", 49)},
      {L"progress:12.500000%", Utils::FormatWide(L"progress:%f%%", 12.5)},
      {L"a wide text", Utils::FormatWide(L"a %s", std::wstring(L"wide text"))},
      {L"narrow text", Utils::FormatWide(L"narrow %s", "text")},
      {L"[ab   ]", Utils::FormatWide(L"[%-5s]", L"ab")},
      {L"[   ab]", Utils::FormatWide(L"[%5s]", L"ab")},
      {L"code=-1 ff FF", Utils::FormatWide(L"code=%ld %x %X", -1L, 255, 255u)},
      {L"ffffffff", Utils::FormatWide(L"%x", -1)},
      {L"2 1.50", Utils::FormatWide(L"%u %.2f", 2u, 1.5)},
      {L"-0007", Utils::FormatWide(L"%05d", -7)},
      {L"100%", Utils::FormatWide(L"100%%")},
      {L"missing:", Utils::FormatWide(L"missing:%d")},
      {L"text-for-int", Utils::FormatWide(L"%d", L"text-for-int")},
      {L"tail %", Utils::FormatWide(L"tail %")},
      {L"(null)", Utils::FormatWide(L"%s", static_cast<const wchar_t*>(nullptr))},
  };
  for (const auto& c : cases) EXPECT_EQ(c.expected, c.actual);
}

TEST(DebugLogFormat, LongMessageIsKeptWhole) {
  const std::wstring big(100000, L'x');
  EXPECT_EQ(big + L"!", Utils::FormatWide(L"%s!", big));
}

TEST(DebugLogFunctionName, QualifiedNameFromSignature) {
  using Utils::log_internal::QualifiedFunctionName;
  struct Case {
    const char* pretty;
    const char* expected;
  } cases[] = {
      {"void CurlClient::Start(int)", "CurlClient::Start"},
      {"static void Utils::Thread::CallBack(Utils::Thread*)", "Utils::Thread::CallBack"},
      {"int main()", "main"},
      {"std::vector<int> ns::Make(std::map<int, int>) const", "ns::Make"},
      {"CMainWnd::Foo()::<lambda()>", "CMainWnd::Foo"},
      {"bool X::operator()(int)", "X::operator()"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.expected, QualifiedFunctionName(c.pretty)) << c.pretty;
}

#ifndef _WIN32
// Captures what one statement writes to standard error.
std::string CaptureStderr(void (*statement)()) {
  std::fflush(stderr);
  char path[] = "/tmp/debug_log_testXXXXXX";
  const int fd = ::mkstemp(path);
  const int saved = ::dup(2);
  ::dup2(fd, 2);
  statement();
  ::dup2(saved, 2);
  ::close(saved);
  std::string out;
  char buffer[4096];
  ::lseek(fd, 0, SEEK_SET);
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<size_t>(n));
  ::close(fd);
  ::unlink(path);
  return out;
}

void LogWithLineEnd() { DEBUG_LOG(L"CurlDownLoader Code=%d", 28); }
void LogRaw() { DEBUG_LOG_RAW(L"get_IsConnectedToInternet:%d", 0); }
void LogPercent() { DEBUG_LOG(L"progress:%f%%", 50.0); }

TEST(DebugLogLine, PrefixFieldsAndLineEnds) {
  const std::regex prefix(
      "<P[0-9]{5,}><T[0-9]{5,}><[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}>"
      "\\(\\{anonymous\\}::LogWithLineEnd\\)<[0-9]{4,}>: CurlDownLoader Code=28\r\n");
  const std::string line = CaptureStderr(LogWithLineEnd);
  EXPECT_TRUE(std::regex_match(line, prefix)) << line;

  const std::string raw = CaptureStderr(LogRaw);
  EXPECT_TRUE(raw.size() > 30 && raw.compare(raw.size() - 29, 29, ": get_IsConnectedToInternet:0") == 0) << raw;

  EXPECT_NE(std::string::npos, CaptureStderr(LogPercent).find(": progress:50.000000%\r\n"));
}

TEST(DebugLogLine, ProcessIdPaddedToFiveDigits) {
  const std::string line = CaptureStderr(LogWithLineEnd);
  char expected[32];
  std::snprintf(expected, sizeof expected, "<P%05d>", static_cast<int>(::getpid()));
  EXPECT_EQ(0u, line.find(expected)) << line;
}
#endif

}  // namespace
