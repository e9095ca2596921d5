#include "pipeline/console_protocol.h"

#include <algorithm>
#include <functional>

#include "pipeline/report_codes.h"
#include "utils/debug_log.h"
#include "utils/text.h"

namespace {

using LineHandler = std::function<void(const std::string& line)>;

// Appends |bytes| to the stream's incomplete line and hands every completed
// line to |handle|; with EndOfOutput::kYes the remaining bytes form the last
// line. A line keeps at most kMaxLineBytes bytes.
void SplitLines(std::string_view bytes, ConsoleStream& stream, EndOfOutput end, const LineHandler& handle) {
  size_t start = 0;
  while (start <= bytes.size()) {
    const size_t newline = bytes.find('\n', start);
    const size_t stop = newline == std::string_view::npos ? bytes.size() : newline;
    const size_t room = kMaxLineBytes - std::min(kMaxLineBytes, stream.pending.size());
    stream.pending.append(bytes.substr(start, std::min(stop - start, room)));
    if (newline == std::string_view::npos) break;
    const std::string line = std::move(stream.pending);
    stream.pending.clear();
    handle(line);
    start = newline + 1;
  }
  if (end == EndOfOutput::kYes && !stream.pending.empty()) {
    const std::string line = std::move(stream.pending);
    stream.pending.clear();
    handle(line);
  }
}

// A line ends at its first NUL, as a C string would; the code page decides
// the rest. Bytes the code page cannot decode become U+FFFD.
std::wstring DecodeLine(const std::string& line, int32_t code_page) {
  return Utils::ToWide(line.substr(0, line.find('\0')), static_cast<unsigned>(code_page));
}

bool StartsWith(const std::wstring& line, const wchar_t* key, std::wstring& value) {
  const std::wstring prefix(key);
  if (line.compare(0, prefix.size(), prefix) != 0) return false;
  value = line.substr(prefix.size());
  return true;
}

std::wstring TextValue(std::wstring value) {
  if (value.size() > kMaxTextValue) {
    value.resize(kMaxTextValue);
    // Never leave half of a surrogate pair at the cut (UTF-16 wide text).
    if (sizeof(wchar_t) == 2 && (value.back() & 0xFC00) == 0xD800) value.pop_back();
  }
  return value;
}

std::wstring Word(const std::wstring& value) {
  const wchar_t* blanks = L" \t\r\n\v\f";
  const size_t first = value.find_first_not_of(blanks);
  if (first == std::wstring::npos) return {};
  return value.substr(first, value.find_last_not_of(blanks) - first + 1);
}

// "%d" taken as unsigned 32-bit; 0 when no 32-bit number stands there.
double UnsignedInteger(const std::wstring& value) {
  const long number = Utils::ParseLong(value).value_or(0);
  return static_cast<double>(static_cast<uint32_t>(static_cast<int32_t>(number)));
}

double Number(const std::wstring& value) { return Utils::ParseDouble(value).value_or(0.0); }

// The code page an "Encode=" number names, or 0 when it names none this
// system can convert: a bad announcement must not make the rest unreadable.
int32_t CodePageNumber(const std::wstring& word) {
  const long number = Utils::ParseLong(word).value_or(0);
  if (number <= 0 || number > 65535) return 0;
  if (Utils::ToWide("A", static_cast<unsigned>(number)).empty()) return 0;
  return static_cast<int32_t>(number);
}

class Reporter {
 public:
  Reporter(ConsoleStream& stream, const StageCallback& callback) : stream_(stream), callback_(callback) {}

  void Report(int32_t code, double value, const std::wstring& text = std::wstring()) const {
    if (callback_) callback_(code, value, text.c_str());
  }

  // Reports a final state unless the run already had one.
  void Final(int result, int32_t code, double value, const std::wstring& text = std::wstring()) const {
    if (stream_.final_result != kConsoleResultNone) {
      DEBUG_LOG(L"final state %d after final state %d ignored", code, stream_.final_result);
      return;
    }
    stream_.final_result = result;
    Report(code, value, text);
  }

 private:
  ConsoleStream& stream_;
  const StageCallback& callback_;
};

void PackageLine(const std::wstring& line, ConsoleStream& stream, const Reporter& reporter) {
  std::wstring v;
  if (StartsWith(line, L"Progress=", v)) {
    reporter.Report(IST_CODE_PROGRESS, Number(v));
  } else if (StartsWith(line, L"InstPath=", v)) {
    reporter.Report(IST_INFO_INSTALL_PATH, 0, TextValue(v));
  } else if (StartsWith(line, L"State=", v)) {
    const std::wstring word = Word(v);
    if (word == L"Success")
      reporter.Final(kConsoleResultSuccess, IST_CODE_SUCCESS, kSuccessValueState);
    else if (word == L"Fail")
      reporter.Final(kConsoleResultFail, IST_CODE_FAIL, kFailValueProtocol, L"安装包安装失败");
  } else if (StartsWith(line, L"InstallVersion=", v)) {
    // Accepted and without effect.
  } else if (StartsWith(line, L"ExePath=", v) || StartsWith(line, L"StartExe=", v)) {
    reporter.Report(IST_INFO_EXE_PATH, 0, TextValue(v));
  } else if (StartsWith(line, L"UninstExePath=", v) || StartsWith(line, L"UninstExe=", v)) {
    reporter.Report(IST_INFO_UNINSTALL_EXE, 0, TextValue(v));
  } else if (StartsWith(line, L"UninstEp=", v)) {
    reporter.Report(IST_INFO_UNINSTALL_EP, 0, TextValue(v));
  } else if (StartsWith(line, L"Error=", v)) {
    reporter.Final(kConsoleResultFail, IST_CODE_FAIL, kFailValueError, TextValue(v));
  } else if (StartsWith(line, L"TopShowDetention=", v)) {
    reporter.Report(IST_INFO_TOP_SHOW_DETENTION, UnsignedInteger(v));
  } else if (StartsWith(line, L"FinsihCloseDetention=", v)) {
    reporter.Report(IST_INFO_FINISH_CLOSE_DETENTION, UnsignedInteger(v));
  } else if (StartsWith(line, L"StartUrl=", v)) {
    reporter.Report(IST_INFO_START_URL, 0, TextValue(v));
  } else if (StartsWith(line, L"StartupStyle=", v)) {
    const std::wstring word = Word(v);
    const double style = word == L"AutoStartup" ? 1 : word == L"UserStartup" ? 2 : 0;
    reporter.Report(IST_INFO_STARTUP_STYLE, style);
  } else if (StartsWith(line, L"Encode=", v)) {
    const std::wstring word = Word(v);
    stream.code_page = word == L"UTF8" ? 65001 : word == L"ACP" ? 0 : CodePageNumber(word);
    DEBUG_LOG(L"console code page %d", stream.code_page);
  } else if (StartsWith(line, L"Message=", v)) {
    reporter.Report(IST_INFO_MESSAGE, 0, TextValue(v));
  }
}

void UninstallLine(const std::wstring& line, ConsoleStream& stream, const Reporter& reporter) {
  std::wstring v;
  if (StartsWith(line, L"Progress=", v)) {
    reporter.Report(UNIST_CODE_PROGRESS, Number(v));
  } else if (StartsWith(line, L"Error=", v)) {
    reporter.Final(kConsoleResultFail, UNIST_CODE_ERROR, 0, TextValue(v));
  } else if (StartsWith(line, L"State=", v)) {
    const std::wstring word = Word(v);
    if (word == L"Success")
      reporter.Final(kConsoleResultSuccess, UNIST_CODE_SUCCESS, kSuccessValueState);
    else if (word == L"Fail")
      reporter.Final(kConsoleResultFail, UNIST_CODE_ERROR, 0, L"安装包卸载失败");
  } else if (StartsWith(line, L"Encode=", v)) {
    stream.code_page = Word(v) == L"UTF8" ? 65001 : 0;
    DEBUG_LOG(L"console code page %d", stream.code_page);
  }
}

using LineParser = void (*)(const std::wstring&, ConsoleStream&, const Reporter&);

int ParseChunk(std::string_view bytes, ConsoleStream& stream, const StageCallback& callback, EndOfOutput end,
               LineParser parse) {
  const Reporter reporter(stream, callback);
  SplitLines(bytes, stream, end, [&](const std::string& raw) {
    const std::wstring line = DecodeLine(raw, stream.code_page);
    if (!line.empty()) parse(line, stream, reporter);
  });
  return stream.final_result;
}

}  // namespace

int ParseConsoleChunk(std::string_view bytes, ConsoleStream& stream, const StageCallback& callback, EndOfOutput end) {
  return ParseChunk(bytes, stream, callback, end, PackageLine);
}

int ParseUninstallChunk(std::string_view bytes, ConsoleStream& stream, const StageCallback& callback,
                        EndOfOutput end) {
  return ParseChunk(bytes, stream, callback, end, UninstallLine);
}
