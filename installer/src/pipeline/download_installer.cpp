#include "pipeline/download_installer.h"

#include <cstdio>

#include "app/installer_settings.h"
#include "download/downloader.h"
#include "pipeline/package_runner.h"
#include "pipeline/report_codes.h"
#include "pipeline/uninstaller.h"
#include "utils/debug_log.h"
#include "utils/path.h"
#include "utils/system.h"

namespace {

constexpr wchar_t kPackageFileName[] = L"__Package_VanteloPDFconverter.exe";
constexpr wchar_t kUninstallerCopyName[] = L"VanteloPDFconverter_un_asa.exe";

// Copies |from| over |to| with the C runtime's narrow file functions; the
// outcome is left to the uninstall, which reports a missing copy.
void CopyReplacing(const std::wstring& from, const std::wstring& to) {
  if (to.empty()) return;
  std::FILE* in = std::fopen(Utils::NarrowPath(from).c_str(), "rb");
  if (!in) return;
  std::FILE* out = std::fopen(Utils::NarrowPath(to).c_str(), "wb");
  if (out) {
    char buffer[64 * 1024];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;)
      if (std::fwrite(buffer, 1, n, out) != n) break;
    std::fclose(out);
  }
  std::fclose(in);
}

}  // namespace

CDownloadInstaller::CDownloadInstaller(StageCallback observer, std::wstring url,
                                       std::wstring old_uninstaller_path, std::wstring install_dir,
                                       bool desktop_shortcut, bool quick_launch_shortcut,
                                       bool console_user_is_admin)
    : url(std::move(url)),
      oldUninstallerPath(std::move(old_uninstaller_path)),
      installDir(std::move(install_dir)),
      desktopShortcut(desktop_shortcut),
      quickLaunchShortcut(quick_launch_shortcut),
      consoleUserIsAdmin(console_user_is_admin),
      observer(std::move(observer)) {}

CDownloadInstaller::~CDownloadInstaller() {
  downloader.reset();
  runner.reset();
  uninstaller.reset();
  // A package that was still running when its success was reported could not
  // be deleted everywhere (Windows keeps a running program's file); it has
  // ended now.
  if (!downloadPath.empty()) DeletePackage();
}

void CDownloadInstaller::DeletePackage() {
  std::lock_guard<std::mutex> lock(pathsMutex);
  Utils::DeleteFileAt(packagePath);
  // A later Start into another folder still downloads to the first package
  // path; that file must not stay behind either.
  if (downloadPath != packagePath) Utils::DeleteFileAt(downloadPath);
}

std::wstring CDownloadInstaller::package_path() const {
  std::lock_guard<std::mutex> lock(pathsMutex);
  return packagePath;
}

void CDownloadInstaller::Configure(std::wstring new_url, std::wstring old_uninstaller_path,
                                   std::wstring install_dir, bool desktop_shortcut,
                                   bool quick_launch_shortcut, bool console_user_is_admin,
                                   bool process_is_admin) {
  url = std::move(new_url);
  oldUninstallerPath = std::move(old_uninstaller_path);
  {
    std::lock_guard<std::mutex> lock(pathsMutex);
    installDir = std::move(install_dir);
  }
  desktopShortcut = desktop_shortcut;
  quickLaunchShortcut = quick_launch_shortcut;
  consoleUserIsAdmin = console_user_is_admin;
  processIsAdmin = process_is_admin;
}

std::wstring CDownloadInstaller::PackagePathFor(const std::wstring& install_dir) {
  return Utils::JoinPath(install_dir, kPackageFileName);
}

std::wstring CDownloadInstaller::UninstallerCopyPath() {
  const std::wstring temp = Utils::GetTempFolder();
  return temp.empty() ? std::wstring() : Utils::JoinPath(temp, kUninstallerCopyName);
}

void CDownloadInstaller::Start() {
  // The previous package run reports its final state before it deletes the
  // package; let it finish that first.
  if (runner) runner->Wait();
  {
    std::lock_guard<std::mutex> lock(pathsMutex);
    packagePath = PackagePathFor(installDir);
    if (!downloader) downloadPath = packagePath;
  }
  const int type = InstallerSettings::Instance().DownloadType;
  DEBUG_LOG_RAW(L"DL_TYPE=%d\r\n", type);
  if (!downloader) {
    downloader = CreateDownloader(
        type, [this](int32_t code, double value, const wchar_t* text) { OnDownload(code, value, text); },
        url, packagePath);
  }
  if (!runner) {
    runner = std::make_unique<PackageRunner>(
        [this](int32_t code, double value, const wchar_t* text) { OnInstall(code, value, text); },
        L"\"" + packagePath + L"\"", installDir);
  }
  runner->set_install_dir(installDir);
  runner->set_desktop_shortcut(desktopShortcut);
  runner->set_quick_launch_shortcut(quickLaunchShortcut);
  runner->set_console_user_is_admin(consoleUserIsAdmin);
  runner->set_process_is_admin(processIsAdmin);

  if (!oldUninstallerPath.empty() && Utils::FileExists(oldUninstallerPath)) {
    StartUninstall();
  } else {
    downloader->Start();
  }
}

void CDownloadInstaller::StartUninstall() {
  const std::wstring copy = UninstallerCopyPath();
  CopyReplacing(oldUninstallerPath, copy);
  // The download waits for UNIST_CODE_SUCCESS. The uninstaller of an earlier
  // Start has ended by now (its pipeline ended), so replacing it is quick.
  uninstaller = std::make_unique<UnInstaller>(
      [this](int32_t code, double value, const wchar_t* text) { OnUninstall(code, value, text); },
      copy, Utils::FolderPart(oldUninstallerPath));
  uninstaller->StartUninstall();
}

void CDownloadInstaller::OnDownload(int32_t code, double value, const wchar_t* text) {
  observer(code, value, text);
  switch (code) {
    case DL_CODE_START: {
      DEBUG_LOG_RAW(L"DL_CODE_START\r\n");
      std::lock_guard<std::mutex> lock(pathsMutex);
      Utils::CreateDirectories(installDir);
      if (downloadPath != packagePath) Utils::CreateDirectories(Utils::FolderPart(downloadPath));
      break;
    }
    case DL_CODE_PROGRESS:
      DEBUG_LOG_RAW(L"DL_CODE_PROGRESS\r\n");
      break;
    case DL_CODE_SUCCESS:
      DEBUG_LOG_RAW(L"DOWNLOAD_SUCCESS\r\n");
      runner->StartRun();
      DEBUG_LOG_RAW(L"DL_CODE_SUCCESS\r\n");
      break;
    case DL_CODE_FAIL:
      DEBUG_LOG_RAW(L"DL_CODE_FAIL\r\n");
      DeletePackage();
      break;
    case DL_CODE_RETRY:
      DEBUG_LOG_RAW(L"DL_CODE_RETRY\r\n");
      downloader->Start();
      break;
    default:
      break;
  }
}

void CDownloadInstaller::OnUninstall(int32_t code, double value, const wchar_t* text) {
  observer(code, value, text);
  switch (code) {
    case UNIST_CODE_PROGRESS:
      DEBUG_LOG_RAW(L"UNIST_CODE_PROGRESS\r\n");
      break;
    case UNIST_CODE_SUCCESS:
      DEBUG_LOG_RAW(L"UNIST_CODE_SUCCESS\r\n");
      downloader->Start();
      break;
    case UNIST_CODE_FAIL:
      DEBUG_LOG_RAW(L"UNIST_CODE_FAIL\r\n");
      break;
    case UNIST_CODE_ERROR:
      DEBUG_LOG_RAW(L"UNIST_CODE_ERROR\r\n");
      break;
    default:
      break;
  }
}

void CDownloadInstaller::OnInstall(int32_t code, double value, const wchar_t* text) {
  observer(code, value, text);
  switch (code) {
    case IST_CODE_START:
      DEBUG_LOG_RAW(L"IST_CODE_START\r\n");
      break;
    case IST_CODE_PROGRESS:
      DEBUG_LOG_RAW(L"IST_CODE_PROGRESS\r\n");
      break;
    case IST_CODE_SUCCESS:
      DEBUG_LOG_RAW(L"INSTALL_SUCCESS\r\n");
      DeletePackage();
      break;
    case IST_CODE_FAIL:
      DEBUG_LOG_RAW(L"IST_CODE_FAIL\r\n");
      DeletePackage();
      break;
    default:
      break;
  }
}
