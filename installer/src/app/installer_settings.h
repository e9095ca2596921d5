// The one process-wide settings record: compiled-in defaults, then the
// configuration file "KavrinInstallerConfig.ini" beside the executable
// (section "Install"), then the command line. Written only during start-up,
// read without locking afterwards (CurlReady aside).
#pragma once

#include <string>

struct InstallerSettings {
  // Creates the record with its defaults and reads the configuration file
  // beside |executable_path| (the running program's path by default).
  InstallerSettings();
  explicit InstallerSettings(const std::wstring& executable_path);

  // The process-wide record; created before main runs.
  static InstallerSettings& Instance();

  std::wstring AppName = L"VanteloPDFconverter";
  std::wstring AppVersion = L"1.7.9";
  std::wstring ExeName = L"NULL";
  std::wstring DlAppNameSuffix = L".downloader";
  std::wstring DlAppVersion;
  std::wstring InstCmd;
  std::wstring DownloadUrl;
  int DownloadType = 1;
  bool IsCheckNet = false;
  bool IsEnableAppSensors = true;
  double DownloadScale = 0.7;
  bool CurlReady = true;
  std::wstring AbGroup = L"IN";

  // Reads the configuration file beside |executable_path|; a missing file
  // leaves the defaults. Never fails.
  void LoadConfigFile(const std::wstring& executable_path);
  // Stores ExpandRoute(url) in DownloadUrl.
  void SetDownloadUrl(const std::wstring& url);
  // Overrides fields from the switches of |command_line| (the process's own
  // command line by default).
  void ApplyCommandLine();
  void ApplyCommandLine(const std::wstring& command_line);

  // Replaces every "${ROUTE}" by "download_silent_xp" on XP-era systems,
  // otherwise by "download_silent".
  static std::wstring ExpandRoute(const std::wstring& url);
  static std::wstring ExpandRoute(const std::wstring& url, const std::wstring& version_name);

  // A download share outside 0..1 is clamped; callers get a usable fraction.
  static double SanitizeScale(double scale);

  // Every field as "Name=value" lines, for the trace and the README demo.
  std::wstring Describe() const;
};

extern const wchar_t kDefaultDownloadUrl[];
extern const wchar_t kConfigFileName[];
