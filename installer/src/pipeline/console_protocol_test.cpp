#include "pipeline/console_protocol.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pipeline/fake_child_fixture.h"

namespace {

using testing_support::Describe;
using testing_support::Recorder;
using testing_support::Report;

struct Expected {
  int32_t code;
  double value;
  std::wstring text;
};

std::string Describe(const std::vector<Expected>& reports) {
  std::vector<Report> as_reports;
  for (const Expected& e : reports) as_reports.push_back({e.code, e.value, e.text, 0, {}});
  return testing_support::Describe(as_reports);
}

struct Case {
  const char* name;
  std::vector<std::string> reads;   // one element per read of the pipe
  bool end_of_output;               // the child's output ended after the reads
  std::vector<Expected> reports;
  int result;
  int32_t code_page;                // after the reads
};

using Parser = int (*)(std::string_view, ConsoleStream&, const StageCallback&, EndOfOutput);

void RunCases(const std::vector<Case>& cases, Parser parse) {
  for (const Case& c : cases) {
    Recorder recorder;
    ConsoleStream stream;
    int result = 0;
    for (const std::string& read : c.reads) result = parse(read, stream, recorder.callback(), EndOfOutput::kNo);
    if (c.end_of_output) result = parse({}, stream, recorder.callback(), EndOfOutput::kYes);
    const std::vector<Report> got = recorder.reports();
    bool same = got.size() == c.reports.size();
    for (size_t i = 0; same && i < got.size(); ++i)
      same = got[i].code == c.reports[i].code && got[i].value == c.reports[i].value && got[i].text == c.reports[i].text;
    EXPECT_TRUE(same) << c.name << "\n got:\n" << Describe(got) << " expected:\n" << Describe(c.reports);
    EXPECT_EQ(result, c.result) << c.name;
    EXPECT_EQ(stream.code_page, c.code_page) << c.name;
  }
}

template <size_t N>
std::string Bytes(const char (&text)[N]) {
  return std::string(text, N - 1);
}

const std::string kGbkZhongWen = "\xD6\xD0\xCE\xC4";      // 中文 in code page 936
const std::string kUtf8ZhongWen = "\xE4\xB8\xAD\xE6\x96\x87";  // 中文 in UTF-8
const std::string kLongValue(800, 'a');

TEST(ParseConsoleChunk, KeysValuesAndFinalStates) {
  RunCases(
      {
          {"every key", {"Progress=0.5\nInstPath=C:\\P\nInstallVersion=1.2.3\nExePath=C:\\P\\a.exe\n"
                         "StartExe=b.exe\nUninstExePath=u.exe\nUninstExe=v.exe\nUninstEp=C:\\P\\ep.ini\n"
                         "TopShowDetention=5\nFinsihCloseDetention=7\nStartUrl=http://x/?a=b\n"
                         "StartupStyle=UserStartup\nMessage=hello there\n"},
           false,
           {{2002, 0.5, L""}, {3000, 0, L"C:\\P"}, {3001, 0, L"C:\\P\\a.exe"}, {3001, 0, L"b.exe"},
            {3002, 0, L"u.exe"}, {3002, 0, L"v.exe"}, {3003, 0, L"C:\\P\\ep.ini"}, {3007, 5, L""},
            {3008, 7, L""}, {3004, 0, L"http://x/?a=b"}, {3005, 2, L""}, {3009, 0, L"hello there"}},
           0, 0},
          {"success then nothing more is final", {"Progress=0.25\nState=Success\n"}, false,
           {{2002, 0.25, L""}, {2003, 0, L""}}, 1, 0},
          {"fail", {"State=Fail\n"}, false, {{2004, 0, L"安装包安装失败"}}, 1000, 0},
          {"error text", {"Error=disk full\n"}, false, {{2004, 1000, L"disk full"}}, 1000, 0},
          {"state word trimmed, text keeps its carriage return", {"InstPath=C:\\P\r\nState= Success \r\n"}, false,
           {{3000, 0, L"C:\\P\r"}, {2003, 0, L""}}, 1, 0},
          {"unknown state word", {"State=Done\nState=success\nState=\n"}, false, {}, 0, 0},
          {"key must start the line in the same case", {" Progress=0.5\nprogress=0.5\nXState=Fail\n"}, false, {}, 0, 0},
          {"numbers fall back to 0", {"Progress=abc\nTopShowDetention=\nFinsihCloseDetention=x\n"}, false,
           {{2002, 0, L""}, {3007, 0, L""}, {3008, 0, L""}}, 0, 0},
          {"negative detention as unsigned", {"TopShowDetention=-1\nFinsihCloseDetention=99999999999\n"}, false,
           {{3007, 4294967295.0, L""}, {3008, 0, L""}}, 0, 0},
          {"startup styles", {"StartupStyle=autostartup\nStartupStyle=AutoStartup\nStartupStyle=NonStartup\n"}, false,
           {{3005, 0, L""}, {3005, 1, L""}, {3005, 0, L""}}, 0, 0},
          {"empty text values", {"Message=\nError=\n"}, false, {{3009, 0, L""}, {2004, 1000, L""}}, 1000, 0},
          {"text cut at 771 characters", {"Message=" + kLongValue + "\n"}, false,
           {{3009, 0, std::wstring(771, L'a')}}, 0, 0},
          {"only the first final state is reported", {"State=Success\nError=late\nState=Fail\nProgress=1\n"}, false,
           {{2003, 0, L""}, {2002, 1, L""}}, 1, 0},
          {"a line split across reads arrives whole", {"Progre", "ss=0.5\nInstPath=C:\\Pro", "gram Files\\X\n"}, false,
           {{2002, 0.5, L""}, {3000, 0, L"C:\\Program Files\\X"}}, 0, 0},
          {"a number split across reads", {"Progress=0.", "5\n"}, false, {{2002, 0.5, L""}}, 0, 0},
          {"unterminated last line counts at the end", {"State=Fail"}, true, {{2004, 0, L"安装包安装失败"}}, 1000, 0},
          {"unterminated last line waits for its end", {"State=Fail"}, false, {}, 0, 0},
          {"UTF-8 after Encode=UTF8, character cut across reads",
           {"Encode=UTF8\nMessage=" + kUtf8ZhongWen.substr(0, 4), kUtf8ZhongWen.substr(4) + "\n"}, false,
           {{3009, 0, L"中文"}}, 0, 65001},
          {"GBK after Encode=936", {"Encode=936\nMessage=" + kGbkZhongWen + "\n"}, false, {{3009, 0, L"中文"}}, 0, 936},
          {"Encode=ACP and letters", {"Encode=UTF8\nEncode=ACP\n"}, false, {}, 0, 0},
          {"Encode letters only", {"Encode=UTF8\nEncode=abc\n"}, false, {}, 0, 0},
          {"Encode out of range", {"Encode=UTF8\nEncode=99999999999\n"}, false, {}, 0, 0},
          {"Encode of an unknown code page", {"Encode=UTF8\nEncode=12345\n"}, false, {}, 0, 0},
          {"Encode negative", {"Encode=UTF8\nEncode=-5\n"}, false, {}, 0, 0},
          {"NUL ends its line only", {Bytes("Message=ab\0cd\nState=Fail\n")}, false,
           {{3009, 0, L"ab"}, {2004, 0, L"安装包安装失败"}}, 1000, 0},
          {"binary garbage is skipped", {Bytes("\xFF\xFE\x01\x02\x80\n\x00\x00\n\xC3\nState=Success\n")},
           false, {{2003, 0, L""}}, 1, 0},
          {"invalid UTF-8 under Encode=UTF8", {"Encode=UTF8\nMessage=a\xC3\x28z\n"}, false,
           {{3009, 0, L"a\xFFFD(z"}}, 0, 65001},
      },
      ParseConsoleChunk);
}

TEST(ParseConsoleChunk, OverlongLineIsCutAndTheNextLineStillCounts) {
  Recorder recorder;
  ConsoleStream stream;
  const std::string flood(100 * 1024, 'x');
  for (size_t at = 0; at < flood.size(); at += 1024)
    ParseConsoleChunk(std::string_view(flood).substr(at, 1024), stream, recorder.callback());
  EXPECT_LE(stream.pending.size(), kMaxLineBytes);
  ParseConsoleChunk("yy\nMessage=" + std::string(1000, 'm') + "\nState=Fail\n", stream, recorder.callback());
  const auto reports = recorder.reports();
  ASSERT_EQ(reports.size(), 2u) << Describe(reports);
  EXPECT_EQ(reports[0].text, std::wstring(771, L'm'));
  EXPECT_EQ(reports[1].code, 2004);
}

TEST(ParseUninstallChunk, KeysAndFinalStates) {
  RunCases(
      {
          {"progress and success", {"Progress=0.3\nState=Success\n"}, false, {{5002, 0.3, L""}, {5003, 0, L""}}, 1, 0},
          {"fail", {"State=Fail\n"}, false, {{5005, 0, L"安装包卸载失败"}}, 1000, 0},
          {"error text", {"Error=locked file\n"}, false, {{5005, 0, L"locked file"}}, 1000, 0},
          {"package keys are ignored", {"InstPath=C:\\P\nMessage=m\nTopShowDetention=3\n"}, false, {}, 0, 0},
          {"later output still parsed, later final state not reported",
           {"State=Fail\nProgress=0.9\nState=Success\n"}, false,
           {{5005, 0, L"安装包卸载失败"}, {5002, 0.9, L""}}, 1000, 0},
          {"split line", {"Sta", "te=Succ", "ess\n"}, false, {{5003, 0, L""}}, 1, 0},
          {"unterminated error at the end", {"Error=gone"}, true, {{5005, 0, L"gone"}}, 1000, 0},
          {"Encode only knows UTF8", {"Encode=UTF8\nError=" + kUtf8ZhongWen + "\n"}, false, {{5005, 0, L"中文"}}, 1000,
           65001},
          {"Encode=936 means the ANSI code page", {"Encode=UTF8\nEncode=936\n"}, false, {}, 0, 0},
      },
      ParseUninstallChunk);
}

}  // namespace
