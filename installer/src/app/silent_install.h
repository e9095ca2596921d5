// The unattended install ("-silent"): the same checks, pipeline, install
// records and analytics events as a click on "立即安装" in the window, without
// any window. "-installdir=PATH" chooses the folder as the custom page would.
//
// On a terminal it keeps one progress line (percent with the window's
// mapping, stage, speed, time left); elsewhere it prints a line per stage and
// per tenth. Each failure is one clear line on the standard error and its own
// exit code.
#pragma once

#include <cstdint>
#include <string>

namespace Utils {
class CommandLine;
}

enum class SilentExit : int {
  kSuccess = 0,
  kInvalidFolder = 1,    // cannot be created, is a file, not writable, holds '"', too long
  kLowDiskSpace = 2,     // less than 1 GiB free for the caller
  kNetworkCheck = 3,     // "-ischecknet=true" and the check found no internet
  kDownload = 4,         // the package download failed for good
  kUninstall = 5,        // the previous version's uninstaller failed
  kPackageInstall = 6,   // the package reported a failure or could not start
  kProductRunning = 7,   // the product or an uninstaller copy is running
  kAnotherInstance = -1, // another installer holds the single-instance lock (255 on POSIX)
};

// The progress bar's percent, as the window computes it: the download fills
// |scale| of the bar, the install the rest. |pseudo| is the install
// pseudo-progress, moved on by every install report (at most 0.95).
int DownloadPercent(double fraction, double scale);
int InstallPercent(double fraction, double scale, double& pseudo);

// Runs the whole install after start-up (settings applied, tracker started).
SilentExit RunSilentInstall(const Utils::CommandLine& command_line);
