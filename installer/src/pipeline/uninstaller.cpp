#include "pipeline/uninstaller.h"

#include <exception>

#include "pipeline/console_protocol.h"
#include "pipeline/report_codes.h"
#include "utils/debug_log.h"
#include "utils/path.h"
#include "utils/piped_process.h"
#include "utils/system.h"
#include "utils/thread.h"

namespace {

constexpr size_t kReadBytes = 1024;
// A read waits this long for output before the worker looks at the child again.
constexpr uint32_t kPollMs = 100;
// Once the child has ended, at most this much is still read: more than any
// pipe holds, so only a program the child left writing into it is cut off.
constexpr size_t kLeftoverBytes = 1024 * 1024;

const wchar_t* Flag(bool value) { return value ? L"true" : L"false"; }

bool ConsoleUserIsAdmin() {
  std::wstring user;
  return Utils::GetConsoleUserName(user) && Utils::IsUserAdmin(user);
}

}  // namespace

UnInstaller::UnInstaller(StageCallback callback, std::wstring uninstaller_copy, std::wstring old_install_folder)
    : callback(std::move(callback)),
      uninstallerCopy(std::move(uninstaller_copy)),
      oldInstallFolder(std::move(old_install_folder)) {}

UnInstaller::~UnInstaller() { Wait(); }

std::wstring UnInstaller::BuildCommandLine(const std::wstring& uninstaller_copy, bool console_user_is_admin,
                                           bool process_is_admin, const std::wstring& old_install_folder) {
  return Utils::FormatWide(L"%s /S -adminact=%s -authorizationact=%s -console=show _?=%s", uninstaller_copy,
                           Flag(console_user_is_admin), Flag(process_is_admin), old_install_folder);
}

void UnInstaller::StartUninstall() {
  Wait();
  commandLine = BuildCommandLine(uninstallerCopy, ConsoleUserIsAdmin(), Utils::IsRunAsAdmin(), oldInstallFolder);
  DEBUG_LOG(L"%s", commandLine);
  worker = std::make_unique<Utils::Thread>(nullptr, L"UnInstaller", [this](void*) -> uint32_t {
    Run();
    return 0;
  });
  if (!worker->Resume()) {
    DEBUG_LOG(L"the worker thread could not be started");
    worker.reset();
    Report(UNIST_CODE_FAIL, kFailValueStart);
  }
}

void UnInstaller::Wait() {
  if (worker) {
    worker->Wait();
    worker.reset();
  }
}

void UnInstaller::Report(int32_t code, double value, const wchar_t* text) {
  if (callback) callback(code, value, text);
}

void UnInstaller::StartChild() {
  // Both paths stand unquoted; a quote in either would regroup the arguments.
  if (uninstallerCopy.find(L'"') != std::wstring::npos || oldInstallFolder.find(L'"') != std::wstring::npos) {
    DEBUG_LOG(L"a double quote in the uninstaller path or folder; not started");
    throw Utils::Exception();
  }
  process = std::make_unique<Utils::PipedProcess>();
  process->CreatePipes();
  process->Start(commandLine);
}

void UnInstaller::Run() {
  if (uninstallerCopy.empty() || !Utils::FileExists(uninstallerCopy)) {
    DEBUG_LOG(L"UNIST_CODE_FAIL no file at %s", uninstallerCopy);
    Report(UNIST_CODE_FAIL, kFailValueMissing, L"可执行卸载文件不存在");
    return;
  }
  Report(UNIST_CODE_PROGRESS, 0);
  process.reset();
  try {
    StartChild();
  } catch (const std::exception&) {
    process.reset();
    DEBUG_LOG(L"UNIST_CODE_FAIL start");
    Report(UNIST_CODE_FAIL, kFailValueStart);
    return;
  }
  ConsoleStream stream;
  stream.code_page = consoleCodePage;
  FollowOutput(stream);
  process->Wait();
  DEBUG_LOG(L"uninstaller ended with exit code %u, result %d", process->ExitCode(), stream.final_result);
  process->Close();
  consoleCodePage = stream.code_page;
  process.reset();
  if (stream.final_result == kConsoleResultNone) Report(UNIST_CODE_SUCCESS, kSuccessValueEnded);
}

// Parses the child's output until the child has ended, including what it
// left in the pipe and its unterminated last line.
void UnInstaller::FollowOutput(ConsoleStream& stream) {
  std::string bytes;
  size_t leftover = 0;
  for (;;) {
    const bool ended = process->HasEnded();
    bytes.clear();
    const Utils::PipedProcess::ReadResult read = process->Read(bytes, kReadBytes, ended ? 0 : kPollMs);
    if (read == Utils::PipedProcess::ReadResult::kData) {
      ParseUninstallChunk(bytes, stream, callback);
      if (!ended || (leftover += bytes.size()) < kLeftoverBytes) continue;
    }
    if (read == Utils::PipedProcess::ReadResult::kEnd) {
      process->Wait();
    } else if (!ended) {
      continue;
    }
    ParseUninstallChunk({}, stream, callback, EndOfOutput::kYes);
    return;
  }
}
