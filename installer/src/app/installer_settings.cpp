#include "app/installer_settings.h"

#include "utils/command_line.h"
#include "utils/debug_log.h"
#include "utils/path.h"
#include "utils/profile.h"
#include "utils/system.h"
#include "utils/text.h"

const wchar_t kDefaultDownloadUrl[] = L"http://dl.kavrinsoft.com/software/222";
const wchar_t kConfigFileName[] = L"KavrinInstallerConfig.ini";

namespace {
constexpr wchar_t kSection[] = L"Install";
constexpr wchar_t kRoutePlaceholder[] = L"${ROUTE}";
}  // namespace

InstallerSettings::InstallerSettings() : InstallerSettings(Utils::ExecutablePath()) {}

InstallerSettings::InstallerSettings(const std::wstring& executable_path) {
  DownloadUrl = ExpandRoute(kDefaultDownloadUrl);
  LoadConfigFile(executable_path);
}

InstallerSettings& InstallerSettings::Instance() {
  static InstallerSettings settings;
  return settings;
}

// The record exists, and the configuration file has been read, before main.
static InstallerSettings& g_settings_created_before_entry = InstallerSettings::Instance();

void InstallerSettings::LoadConfigFile(const std::wstring& executable_path) {
  std::wstring exe = executable_path;
  if (exe.size() > 260) exe.resize(260);
  ExeName = Utils::FileNamePart(exe);
  const std::wstring config = Utils::JoinPath(Utils::FolderPart(exe), kConfigFileName);
  if (!Utils::FileExists(config) || Utils::IsDirectory(config)) {
    AppName = L"VanteloPDFconverter";
    AppVersion = L"1.7.9";
    return;
  }
  SetDownloadUrl(Utils::GetProfileString(kSection, L"DownloadUrl", kDefaultDownloadUrl, config));
  DownloadType = Utils::GetProfileInt(kSection, L"DownloadType", 1, config);
  IsCheckNet = Utils::GetProfileString(kSection, L"IsCheckNet", L"true", config) == L"true";
  IsEnableAppSensors = Utils::GetProfileString(kSection, L"IsEnableAppSensors", L"true", config) == L"true";
  DlAppNameSuffix = Utils::GetProfileString(kSection, L"DlAppNameSuffix", L".downloader", config);
  DlAppVersion = Utils::GetProfileString(kSection, L"m_DlAppVersion", L"", config);
  // A value with no number in front, or one out of range, counts as 0.
  DownloadScale = SanitizeScale(Utils::ParseDouble(Utils::GetProfileString(kSection, L"DownloadScale", L"0.7", config)).value_or(0.0));
  InstCmd = Utils::GetProfileString(kSection, L"InstCmd", L"", config);
  AppName = L"VanteloPDFconverter";
  AppVersion = L"1.7.9";
}

void InstallerSettings::SetDownloadUrl(const std::wstring& url) { DownloadUrl = ExpandRoute(url); }

std::wstring InstallerSettings::ExpandRoute(const std::wstring& url) {
  if (url.find(kRoutePlaceholder) == std::wstring::npos) return url;
  std::wstring family, name;
  Utils::GetWindowsVersionName(family, name);
  return ExpandRoute(url, name);
}

std::wstring InstallerSettings::ExpandRoute(const std::wstring& url, const std::wstring& version_name) {
  if (url.find(kRoutePlaceholder) == std::wstring::npos) return url;
  const wchar_t* route = version_name.find(L"XP") != std::wstring::npos ? L"download_silent_xp" : L"download_silent";
  return Utils::ReplaceAll(url, kRoutePlaceholder, route);
}

double InstallerSettings::SanitizeScale(double scale) {
  if (!(scale >= 0.0)) return 0.0;  // also catches NaN
  return scale > 1.0 ? 1.0 : scale;
}

void InstallerSettings::ApplyCommandLine() { ApplyCommandLine(Utils::ProcessCommandLine()); }

void InstallerSettings::ApplyCommandLine(const std::wstring& command_line) {
  const Utils::CommandLine cl(command_line);
  if (cl.Has(L"-downloadurl")) SetDownloadUrl(cl.GetString(L"-downloadurl"));
  if (cl.Has(L"-downloadtype")) DownloadType = cl.GetInt(L"-downloadtype");
  // The getter hands back its default for a value that is no number; a NaN
  // must never reach the progress mapping, so such a value counts as 0, the
  // same as in the configuration file.
  if (cl.Has(L"-downloadscale")) DownloadScale = SanitizeScale(cl.GetDouble(L"-downloadscale", 0.0));
  if (cl.Has(L"-ischecknet")) IsCheckNet = cl.GetBool(L"-ischecknet");
  if (cl.Has(L"-isenableappsensors")) IsEnableAppSensors = cl.GetBool(L"-isenableappsensors");
  if (cl.Has(L"-dlappnamesuffix")) DlAppNameSuffix = cl.GetString(L"-dlappnamesuffix");
  if (cl.Has(L"-dlappversion")) DlAppVersion = cl.GetString(L"-dlappversion");
  if (cl.Has(L"-instcmd")) InstCmd = cl.GetString(L"-instcmd");
}

std::wstring InstallerSettings::Describe() const {
  auto b = [](bool v) { return std::wstring(v ? L"true" : L"false"); };
  return L"AppName=" + AppName + L"\nAppVersion=" + AppVersion + L"\nExeName=" + ExeName +
         L"\nDlAppNameSuffix=" + DlAppNameSuffix + L"\nDlAppVersion=" + DlAppVersion +
         L"\nInstCmd=" + InstCmd + L"\nDownloadUrl=" + DownloadUrl +
         L"\nDownloadType=" + std::to_wstring(DownloadType) + L"\nIsCheckNet=" + b(IsCheckNet) +
         L"\nIsEnableAppSensors=" + b(IsEnableAppSensors) +
         L"\nDownloadScale=" + Utils::FormatWide(L"%g", DownloadScale) + L"\nCurlReady=" + b(CurlReady) +
         L"\nAbGroup=" + AbGroup;
}
