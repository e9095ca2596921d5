// The silent uninstall of the previous version.
//
// StartUninstall builds the command line of the uninstaller copy and runs it
// as a hidden child on a worker thread named "UnInstaller", following its
// console protocol (ParseUninstallChunk). Reports, all on that worker thread:
//   5004 (1, "可执行卸载文件不存在")  no file at the copy path; nothing started
//   5002 (0)                          the copy exists and is about to start
//   5004 (2)                          the child could not be started (pipes,
//                                     process, a command line of 1024
//                                     characters or more, or a double quote in
//                                     the copy path or the old folder)
//   5002 (fraction)                   a "Progress=" line
//   5003 (0)                          "State=Success"; the child may still run
//   5005 (0, text)                    "State=Fail" or an "Error=" line
//   5003 (1)                          the child ended without a final state
// The output is read until the child ends; only the first final state is
// reported. Each object is started once; the destructor waits for its worker.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "pipeline/stage_callback.h"

namespace Utils {
class PipedProcess;
class Thread;
}  // namespace Utils
struct ConsoleStream;

class UnInstaller {
 public:
  UnInstaller(StageCallback callback, std::wstring uninstaller_copy, std::wstring old_install_folder);
  ~UnInstaller();
  UnInstaller(const UnInstaller&) = delete;
  UnInstaller& operator=(const UnInstaller&) = delete;

  // Works out the two privilege flags on the calling thread, builds the
  // command line and starts the worker. Returns at once.
  void StartUninstall();
  // Waits for the worker, if any, to end.
  void Wait();

  const std::wstring& command_line() const { return commandLine; }
  int32_t console_code_page() const { return consoleCodePage; }

  // "<copy> /S -adminact=<flag> -authorizationact=<flag> -console=show _?=<folder>";
  // the copy path and the folder stand unquoted, as the uninstaller expects.
  static std::wstring BuildCommandLine(const std::wstring& uninstaller_copy, bool console_user_is_admin,
                                       bool process_is_admin, const std::wstring& old_install_folder);

 private:
  void Run();
  void StartChild();
  void FollowOutput(ConsoleStream& stream);
  void Report(int32_t code, double value, const wchar_t* text = L"");

  const StageCallback callback;
  std::wstring commandLine;
  const std::wstring uninstallerCopy;
  const std::wstring oldInstallFolder;
  int32_t consoleCodePage = 0;
  std::unique_ptr<Utils::Thread> worker;
  std::unique_ptr<Utils::PipedProcess> process;
};
