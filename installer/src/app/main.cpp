// The installer's entry. For now it resolves its settings from the
// configuration file and the command line and traces them.
#include "app/installer_settings.h"
#include "utils/debug_log.h"

#include <sstream>

int main() {
  InstallerSettings& settings = InstallerSettings::Instance();
  settings.ApplyCommandLine();
  std::wistringstream lines(settings.Describe());
  for (std::wstring line; std::getline(lines, line);) DEBUG_LOG(L"setting %s", line);
  return 0;
}
