// The download-and-install controller: one Start runs, in order, the silent
// uninstall of the previous version (when its uninstaller exists), the
// download of the package into the install folder, and the silent run of the
// downloaded package.
//
// Every report of every stage reaches the observer unchanged, on the stage's
// own worker thread, before the controller acts on it:
//   1001 DL_CODE_START      create every missing folder of the install folder
//   1003 DL_CODE_SUCCESS    start the package run
//   1004 DL_CODE_FAIL       delete the package file; the pipeline ends
//   1005 DL_CODE_RETRY      start the same downloader again (from its own thread)
//   5003 UNIST_CODE_SUCCESS start the download
//   5004, 5005              the pipeline ends before any download
//   2003, 2004              delete the package file
// Every other code is only forwarded. The observer must be safe to call from
// any of these threads and from two at once. The controller takes no locks and
// has no cancel: once started, a stage runs to its end.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "pipeline/stage_callback.h"

class CDownloader;
class PackageRunner;
class UnInstaller;

class CDownloadInstaller {
 public:
  CDownloadInstaller(StageCallback observer, std::wstring url, std::wstring old_uninstaller_path,
                     std::wstring install_dir, bool desktop_shortcut, bool quick_launch_shortcut,
                     bool console_user_is_admin);
  // Deletes the downloader, then the runner (waiting for a running package),
  // then the uninstaller (waiting for a running uninstall).
  ~CDownloadInstaller();
  CDownloadInstaller(const CDownloadInstaller&) = delete;
  CDownloadInstaller& operator=(const CDownloadInstaller&) = delete;

  // Replaces the inputs; starts nothing. An empty |old_uninstaller_path|
  // means no uninstall.
  void Configure(std::wstring url, std::wstring old_uninstaller_path, std::wstring install_dir,
                 bool desktop_shortcut, bool quick_launch_shortcut, bool console_user_is_admin,
                 bool process_is_admin);

  // Starts the first stage and returns. The downloader and the runner made by
  // the first Start are kept: a later Start reuses them with the URL and
  // package path of the first one, refreshing only the runner's folder and
  // flags. A later Start first waits for the previous package run to finish
  // its clean-up, so that clean-up never deletes the new package.
  void Start();

  std::wstring package_path() const;

  // installDir + "__Package_VanteloPDFconverter.exe".
  static std::wstring PackagePathFor(const std::wstring& install_dir);
  // The private temp folder + "VanteloPDFconverter_un_asa.exe"; empty when
  // the temp folder is not available.
  static std::wstring UninstallerCopyPath();

 private:
  void OnDownload(int32_t code, double value, const wchar_t* text);
  void OnUninstall(int32_t code, double value, const wchar_t* text);
  void OnInstall(int32_t code, double value, const wchar_t* text);
  void StartUninstall();
  void DeletePackage();

  std::unique_ptr<UnInstaller> uninstaller;
  std::unique_ptr<CDownloader> downloader;
  std::unique_ptr<PackageRunner> runner;
  std::wstring url;
  std::wstring oldUninstallerPath;
  std::wstring installDir;
  std::wstring packagePath;
  std::wstring downloadPath;  // the package path the downloader and the runner were made with
  // Guards installDir, packagePath and downloadPath: a stage's thread may
  // still clean up after its final report while the UI thread starts again.
  mutable std::mutex pathsMutex;
  bool desktopShortcut = true;
  bool quickLaunchShortcut = true;
  bool consoleUserIsAdmin = true;
  bool processIsAdmin = false;
  const StageCallback observer;
};
