// The silent run of the downloaded package installer.
//
// StartRun builds the package's command line and runs the package as a hidden
// child on a worker thread named "ABDEF", following its console protocol
// (console_protocol.h). Every report goes through the callback on that worker
// thread:
//   2001 (0)          the worker starts
//   2002 (0)          just before the child is started
//   2002 (fraction)   a "Progress=" line
//   2003 (0 / 1)      "State=Success" / the child ended without a final state
//   2004 (0 / 1000)   "State=Fail" / an "Error=" line with its text
//   2004 (2)          the child could not be started (pipes, process, a
//                     command line of 1024 characters or more, or a folder
//                     holding a double quote, which would break the quoting)
//   3000 to 3009      the values of the protocol's other keys
// Exactly one 2003 or 2004 ends every run.
//
// After a final state nothing more is reported, but the child's output is
// still read and dropped until the child ends, so a child that keeps writing
// never blocks on a full pipe. The runner then waits for the child without a
// time limit. The destructor waits for a running worker, and so for the child.
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

class PackageRunner {
 public:
  // |package_command| is the package path already wrapped in double quotes.
  PackageRunner(StageCallback callback, std::wstring package_command, std::wstring install_dir);
  ~PackageRunner();
  PackageRunner(const PackageRunner&) = delete;
  PackageRunner& operator=(const PackageRunner&) = delete;

  // The controller sets these before every start; a run uses the values it
  // was started with.
  void set_install_dir(const std::wstring& install_dir) { installDir = install_dir; }
  void set_quick_launch_shortcut(bool chosen) { quickLaunchShortcut = chosen; }
  void set_desktop_shortcut(bool chosen) { desktopShortcut = chosen; }
  void set_console_user_is_admin(bool admin) { consoleUserIsAdmin = admin; }
  void set_process_is_admin(bool admin) { processIsAdmin = admin; }

  // Builds the command line, waits for the worker of an earlier run (without
  // a time limit) and starts a new one. Returns at once.
  void StartRun();
  // Waits for the current worker, if any, to end.
  void Wait();

  const std::wstring& command_line() const { return commandLine; }
  // The code page the last "Encode=" line chose; it stays for later runs.
  int32_t console_code_page() const { return consoleCodePage; }

  // The package's command line for the given inputs; |inst_cmd| is the
  // settings' extra arguments. A folder ending in backslashes gets them
  // doubled inside its quotes, so the closing quote stays a quote.
  static std::wstring BuildCommandLine(const std::wstring& package_command, const std::wstring& install_dir,
                                       bool console_user_is_admin, bool process_is_admin,
                                       bool desktop_shortcut, bool quick_launch_shortcut,
                                       const std::wstring& inst_cmd);

 private:
  void Run(const std::wstring& command, bool refused);
  void StartChild(const std::wstring& command, bool refused);
  void FollowOutput(ConsoleStream& stream);
  void DrainAfterFinal();
  void Report(int32_t code, double value, const wchar_t* text = L"");

  const StageCallback callback;
  const std::wstring packageCommand;
  std::wstring installDir;
  std::wstring commandLine;
  bool quickLaunchShortcut = false;
  bool desktopShortcut = false;
  int32_t consoleCodePage = 0;
  std::unique_ptr<Utils::Thread> worker;
  std::unique_ptr<Utils::PipedProcess> process;
  bool consoleUserIsAdmin = false;
  bool processIsAdmin = false;
};
