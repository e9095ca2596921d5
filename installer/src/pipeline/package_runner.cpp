#include "pipeline/package_runner.h"

#include <exception>

#include "app/installer_settings.h"
#include "pipeline/console_protocol.h"
#include "pipeline/report_codes.h"
#include "utils/debug_log.h"
#include "utils/piped_process.h"
#include "utils/thread.h"

namespace {

// Reads that are parsed take at most this many bytes; a read waits this long
// for output before the runner looks at the child again.
constexpr size_t kReadBytes = 1024;
constexpr uint32_t kPollMs = 100;
// Output that is only drained is read in larger pieces.
constexpr size_t kDrainBytes = 64 * 1024;
// Once the child has ended, at most this much is still read: more than any
// pipe holds, so only a program the child left writing into it is cut off.
constexpr size_t kLeftoverBytes = 1024 * 1024;

const wchar_t* Flag(bool value) { return value ? L"true" : L"false"; }

// Inside double quotes, backslashes right before the closing quote would
// escape it; doubled, they stay backslashes for the child.
std::wstring QuotedFolder(const std::wstring& folder) {
  size_t trailing = 0;
  while (trailing < folder.size() && folder[folder.size() - 1 - trailing] == L'\\') ++trailing;
  return L"\"" + folder + std::wstring(trailing, L'\\') + L"\"";
}

// A quote in the folder, or in the package path inside its quotes, would end
// the quoted argument early and let the rest of the path become arguments of
// its own.
bool QuoteBreaksArguments(const std::wstring& install_dir, const std::wstring& package_command) {
  std::wstring inner = package_command;
  if (inner.size() >= 2 && inner.front() == L'"' && inner.back() == L'"') inner = inner.substr(1, inner.size() - 2);
  return install_dir.find(L'"') != std::wstring::npos || inner.find(L'"') != std::wstring::npos;
}

}  // namespace

PackageRunner::PackageRunner(StageCallback callback, std::wstring package_command, std::wstring install_dir)
    : callback(std::move(callback)), packageCommand(std::move(package_command)), installDir(std::move(install_dir)) {}

PackageRunner::~PackageRunner() { Wait(); }

std::wstring PackageRunner::BuildCommandLine(const std::wstring& package_command, const std::wstring& install_dir,
                                             bool console_user_is_admin, bool process_is_admin,
                                             bool desktop_shortcut, bool quick_launch_shortcut,
                                             const std::wstring& inst_cmd) {
  std::wstring line = package_command;
  line += L" /S -console=show -version=1.0.0";
  line += L" -adminact=";
  line += Flag(console_user_is_admin);
  line += L" -authorizationact=";
  line += Flag(process_is_admin);
  line += L" -dsc=";
  line += Flag(desktop_shortcut);
  line += L" -ssc=";
  line += Flag(quick_launch_shortcut);
  if (!inst_cmd.empty()) line += L" " + inst_cmd;
  if (!install_dir.empty()) {
    line += L" -instdir=" + QuotedFolder(install_dir);
    // The package reads /D= raw up to the end of the line: it stays last.
    line += L" /D=" + install_dir;
  }
  return line;
}

void PackageRunner::StartRun() {
  // The earlier worker may still be reading the fields; it ends first.
  Wait();
  commandLine = BuildCommandLine(packageCommand, installDir, consoleUserIsAdmin, processIsAdmin, desktopShortcut,
                                 quickLaunchShortcut, InstallerSettings::Instance().InstCmd);
  DEBUG_LOG(L"%s", commandLine);
  // The worker gets its own copies, so the controller may set the fields for
  // the next run while this one goes on.
  const bool refused = QuoteBreaksArguments(installDir, packageCommand);
  worker = std::make_unique<Utils::Thread>(nullptr, L"ABDEF", [this, command = commandLine, refused](void*) -> uint32_t {
    Run(command, refused);
    return 0;
  });
  if (!worker->Resume()) {
    // No worker means no report from one; the caller's thread is the only one left.
    DEBUG_LOG(L"the worker thread could not be started");
    worker.reset();
    Report(IST_CODE_FAIL, kFailValueStart);
  }
}

void PackageRunner::Wait() {
  if (worker) {
    worker->Wait();
    worker.reset();
  }
}

void PackageRunner::Report(int32_t code, double value, const wchar_t* text) {
  if (callback) callback(code, value, text);
}

void PackageRunner::StartChild(const std::wstring& command, bool refused) {
  if (refused) {
    DEBUG_LOG(L"a double quote in the package path or folder; not started");
    throw Utils::Exception();
  }
  process = std::make_unique<Utils::PipedProcess>();
  process->CreatePipes();
  process->Start(command);
}

void PackageRunner::Run(const std::wstring& command, bool refused) {
  Report(IST_CODE_START, 0);
  Report(IST_CODE_PROGRESS, 0);
  try {
    StartChild(command, refused);
  } catch (const std::exception&) {
    process.reset();
    DEBUG_LOG(L"IST_CODE_FAIL start");
    Report(IST_CODE_FAIL, kFailValueStart);
    return;
  }
  ConsoleStream stream;
  stream.code_page = consoleCodePage;
  FollowOutput(stream);
  if (stream.final_result != kConsoleResultNone) DrainAfterFinal();
  process->Wait();
  DEBUG_LOG(L"package ended with exit code %u, result %d", process->ExitCode(), stream.final_result);
  process->Close();
  consoleCodePage = stream.code_page;
  process.reset();
  if (stream.final_result == kConsoleResultNone) Report(IST_CODE_SUCCESS, kSuccessValueEnded);
}

// Parses the child's output until a final state or the end of the child.
// When the child has ended, what it left in the pipe is still parsed, and its
// unterminated last line counts, before the run is called ended.
void PackageRunner::FollowOutput(ConsoleStream& stream) {
  std::string bytes;
  size_t leftover = 0;
  for (;;) {
    const bool ended = process->HasEnded();
    bytes.clear();
    const Utils::PipedProcess::ReadResult read = process->Read(bytes, kReadBytes, ended ? 0 : kPollMs);
    if (read == Utils::PipedProcess::ReadResult::kData) {
      if (ParseConsoleChunk(bytes, stream, callback) != kConsoleResultNone) return;
      if (!ended || (leftover += bytes.size()) < kLeftoverBytes) continue;
    }
    if (read == Utils::PipedProcess::ReadResult::kEnd) {
      // The child closed its output; whether it ends now or later, only the
      // last line is left to parse.
      process->Wait();
    } else if (!ended) {
      continue;
    }
    ParseConsoleChunk({}, stream, callback, EndOfOutput::kYes);
    return;
  }
}

// After a final state nothing is reported, but a child that keeps writing
// must not block on a full pipe: read and drop until the child ends.
void PackageRunner::DrainAfterFinal() {
  std::string bytes;
  for (;;) {
    bytes.clear();
    const Utils::PipedProcess::ReadResult read = process->Read(bytes, kDrainBytes, kPollMs);
    if (read == Utils::PipedProcess::ReadResult::kEnd) return;
    if (read == Utils::PipedProcess::ReadResult::kNoData && process->HasEnded()) {
      size_t leftover = 0;
      do {
        leftover += bytes.size();
        bytes.clear();
      } while (leftover < kLeftoverBytes &&
               process->Read(bytes, kDrainBytes, 0) == Utils::PipedProcess::ReadResult::kData);
      return;
    }
  }
}
