// The installer's entry: start-up in a fixed order (HTTP library, single
// instance, command line, analytics), then the installation, then shut-down
// in the reverse order.
//
// "-silent" runs the unattended install (silent_install.h). The window is not
// part of this build yet, so without "-silent" the program says so and ends.
#include <curl/curl.h>

#include <sstream>

#include "app/installer_settings.h"
#include "app/silent_install.h"
#include "app/silent_platform.h"
#include "event_reporting.h"
#include "utils/command_line.h"
#include "utils/debug_log.h"
#include "utils/path.h"
#include "utils/system.h"

namespace {

constexpr wchar_t kInstanceName[] = L"Installer_VanteloPDFconverter";
constexpr int kUsageExit = 64;

}  // namespace

int main() {
  // A person at a terminal wants the progress and the messages, not the
  // trace; the trace then goes to a file in the private temp folder.
  const Utils::CommandLine command_line(Utils::ProcessCommandLine());
  if (command_line.Has(L"-silent")) {
    const std::wstring temp = Utils::GetTempFolder();
    if (!temp.empty()) silent_platform::MoveTraceOffTerminal(Utils::JoinPath(temp, L"VanteloInstaller.trace.txt"));
  }

  InstallerSettings& settings = InstallerSettings::Instance();
  if (curl_global_init(CURL_GLOBAL_ALL) != CURLE_OK) {
    settings.CurlReady = false;
    ReportTaskEvent(L"libcurl初始化失败", 0, L"", {{L"AB", L"IN"}});
  }

  Utils::SingleInstance instance(kInstanceName);
  instance.Create();
  if (!instance.Held()) {
    silent_platform::WriteStderr(L"VanteloPDF转换器: another installer of VanteloPDF转换器 is running\n");
    return static_cast<int>(SilentExit::kAnotherInstance);
  }

  settings.ApplyCommandLine();
  std::wistringstream lines(settings.Describe());
  for (std::wstring line; std::getline(lines, line);) DEBUG_LOG(L"setting %s", line);
  // Where the analytics go; for demonstrations and tests against a local
  // collector. Without it the tracker uses its own endpoint.
  if (command_line.Has(L"-analyticsurl")) SetTrackerServerUrl(command_line.GetString(L"-analyticsurl"));
  StartTracker();

  int exit_code = 0;
  if (command_line.Has(L"-silent")) {
    exit_code = static_cast<int>(RunSilentInstall(command_line));
  } else {
    silent_platform::WriteStderr(
        L"VanteloPDF转换器: this build has no installer window yet; run it with -silent "
        L"[-installdir=PATH] for an unattended install\n");
    exit_code = kUsageExit;
  }

  if (settings.IsEnableAppSensors) StopTracker();
  curl_global_cleanup();
  instance.Release();
  return exit_code;
}
