#include "app/install_records.h"

#include <ctime>

#include "app/records_platform.h"
#include "utils/debug_log.h"
#include "utils/path.h"
#include "utils/profile.h"
#include "utils/registry.h"
#include "utils/system.h"

const wchar_t kInstallPathValue[] = L"InstallPath";
const wchar_t kUninstallEpValue[] = L"UnInstallEp";
const wchar_t kUninstallerFileName[] = L"uninst.ep";
const wchar_t kProductProgramName[] = L"pdfConverterInternal.exe";

namespace {

constexpr wchar_t kProductName[] = L"VanteloPDFconverter";
constexpr size_t kMaxPath = 260;

std::wstring ReadValue(const wchar_t* name) {
  unsigned long type = 0;
  std::wstring text;
  if (!Utils::ReadRegString(name, type, text)) return {};
  return text;
}

std::wstring LocalTimeText() {
  const std::time_t now = std::time(nullptr);
  const std::tm* t = std::localtime(&now);
  if (!t) return {};
  return Utils::FormatWide(L"%d-%02d-%02d %02d:%02d:%02d", t->tm_year + 1900, t->tm_mon + 1,
                           t->tm_mday, t->tm_hour, t->tm_min, t->tm_sec);
}

}  // namespace

void InstallRecords::ReadInstallRecords() {
  previous_install_folder_ = ReadValue(kInstallPathValue);
  previous_uninstaller_ = ReadValue(kUninstallEpValue);
  if (previous_uninstaller_.empty() && !previous_install_folder_.empty())
    previous_uninstaller_ = Utils::JoinPath(previous_install_folder_, kUninstallerFileName);
  DEBUG_LOG(L"previous install folder=%s uninstaller=%s", previous_install_folder_,
            previous_uninstaller_);
}

std::wstring InstallRecords::DefaultInstallFolder() {
  std::wstring console_user;
  console_user_is_admin_ =
      Utils::GetConsoleUserName(console_user) && Utils::IsUserAdmin(console_user);
  process_is_admin_ = Utils::IsRunAsAdmin();

  if (!previous_install_folder_.empty() && Utils::FileExists(previous_uninstaller_))
    return previous_install_folder_;

  std::wstring base;
  if (console_user_is_admin_ && process_is_admin_) {
    const std::wstring app_data = records_platform::AppDataFolder();
    if (!app_data.empty() && app_data.size() <= kMaxPath) base = Utils::JoinPath(app_data, L"vantelo");
  }
  if (base.empty()) base = records_platform::ProgramFilesFolder();
  std::wstring folder = Utils::JoinPath(base, kProductName);
  if (folder.size() > kMaxPath) folder.resize(kMaxPath);
  return folder;
}

std::wstring InstallRecords::ChosenInstallFolder(const std::wstring& folder_text) {
  const std::wstring default_folder = DefaultInstallFolder();
  if (records_platform::SameFolder(default_folder, folder_text)) return default_folder;
  return Utils::JoinPath(folder_text, kProductName);
}

bool InstallRecords::KeepPreviousInstall(const std::wstring& install_folder) const {
  if (!records_platform::SameFolder(previous_install_folder_, install_folder)) return false;
  const std::wstring value =
      Utils::GetProfileString(L"Uninstall", L"IsOverride", L"true", SetIniPath(install_folder), 20);
  return value == L"false";
}

void InstallRecords::WriteIniRecords() {
  const std::wstring set_ini = SetIniPath(install_folder_);
  Utils::WriteProfileString(L"Install", L"APPStore", Utils::FileNamePart(Utils::ExecutablePath()),
                            set_ini);
  Utils::WriteProfileString(L"Install", L"AppName", kProductName, set_ini);
  Utils::WriteProfileString(L"Install", L"DeviceID", Utils::CreateGuidString(), set_ini);

  const std::wstring data_folder = AnalyticsDataFolder();
  if (data_folder.empty() || !Utils::CreateDirectories(data_folder)) {
    DEBUG_LOG(L"analytics data folder unavailable: %s", data_folder);
    return;
  }
  const std::wstring analytics_ini = AnalyticsIniPath();
  Utils::WriteProfileString(L"Install", L"KVUsageAnalyticsIni", analytics_ini, set_ini);
  Utils::WriteProfileString(L"Init", L"UpdateTime", LocalTimeText(), analytics_ini);
}

void InstallRecords::WriteInstallRecords() {
  Utils::WriteRegString(kInstallPathValue, install_folder_);
  const std::wstring uninstaller = uninstaller_record_path_.empty()
                                       ? Utils::JoinPath(install_folder_, kUninstallerFileName)
                                       : uninstaller_record_path_;
  if (Utils::FileExists(uninstaller)) Utils::WriteRegString(kUninstallEpValue, uninstaller);
  WriteIniRecords();
  DEBUG_LOG(L"records written for %s", install_folder_);
}

void InstallRecords::OpenProduct(const std::function<void()>& before_program) {
  if (start_url_.size() > 5)
    records_platform::ShellOpen(start_url_, records_platform::Show::kMaximised);
  if (!program_path_.empty() && Utils::FileExists(program_path_)) {
    if (before_program) before_program();
    records_platform::ShellOpen(program_path_, records_platform::Show::kNormal);
  }
}

std::wstring InstallRecords::SetIniPath(const std::wstring& install_folder) {
  return Utils::JoinPath(install_folder, L"set.ini");
}

std::wstring InstallRecords::AnalyticsDataFolder() {
  std::wstring base = records_platform::AppDataFolder();
  if (base.empty()) base = records_platform::CommonDocumentsFolder();
  if (base.empty()) return {};
  return Utils::JoinPath(Utils::JoinPath(base, L"KavrinData"), kProductName);
}

std::wstring InstallRecords::AnalyticsIniPath() {
  const std::wstring folder = AnalyticsDataFolder();
  return folder.empty() ? std::wstring() : Utils::JoinPath(folder, L"KVUsageAnalytics.ini");
}
