// The local install records: where an earlier installation lives, which
// folder to propose, whether the earlier version must be uninstalled first,
// the records written after a successful installation, and opening the
// installed product.
//
// All state sits in one registry key ("Software\KavrinSoft\VanteloPDFconverter"
// under the current user: "InstallPath", "UnInstallEp"), the install folder's
// set.ini and KVUsageAnalytics.ini in the analytics data folder. Every
// operation runs on the UI thread (or the silent mode's main thread).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

enum class StartupStyle : int32_t { kNonStartup = 0, kAutoStartup = 1, kUserStartup = 2 };

class InstallRecords {
 public:
  // Step 1 of every start: reads "InstallPath" and "UnInstallEp". A missing
  // or unreadable record means no previous installation.
  void ReadInstallRecords();

  // The proposed install folder: the previous folder when its uninstaller
  // still exists; else, for an administrator console user in an elevated
  // process, APPDATA + "vantelo"; else the program files folder; in both
  // latter cases followed by "VanteloPDFconverter". Also sets the two
  // privilege flags.
  std::wstring DefaultInstallFolder();

  // The folder of the custom page's |folder_text|: the default folder when
  // the text names it, else the text followed by "VanteloPDFconverter".
  std::wstring ChosenInstallFolder(const std::wstring& folder_text);

  // True when |install_folder| is the previous install folder and its
  // set.ini says [Uninstall] IsOverride=false (exactly): the previous
  // version stays, no uninstall runs.
  bool KeepPreviousInstall(const std::wstring& install_folder) const;

  // Steps 3 and 4 of WriteInstallRecords alone (set.ini and
  // KVUsageAnalytics.ini), run when the package run starts.
  void WriteIniRecords();

  // All records after a successful installation: registry values, set.ini,
  // KVUsageAnalytics.ini. Single write failures are ignored.
  void WriteInstallRecords();

  // Opens the start URL (when longer than 5 characters) and then the product
  // program (when the file exists). |before_program| runs right before the
  // program is opened (the window pumps its messages there); may be empty.
  void OpenProduct(const std::function<void()>& before_program = {});

  // The reports of the package run that feed the records (codes 3000, 3001,
  // 3003, 3004, 3005).
  void SetInstallFolder(const std::wstring& folder) { install_folder_ = folder; }
  void SetProgramPath(const std::wstring& path) { program_path_ = path; }
  void SetUninstallerRecordPath(const std::wstring& path) { uninstaller_record_path_ = path; }
  void SetStartUrl(const std::wstring& url) { start_url_ = url; }
  void SetStartupStyle(StartupStyle style) { startup_style_ = style; }

  const std::wstring& previous_install_folder() const { return previous_install_folder_; }
  const std::wstring& previous_uninstaller() const { return previous_uninstaller_; }
  bool previous_install_present() const { return !previous_install_folder_.empty(); }
  bool console_user_is_admin() const { return console_user_is_admin_; }
  bool process_is_admin() const { return process_is_admin_; }
  const std::wstring& install_folder() const { return install_folder_; }
  const std::wstring& program_path() const { return program_path_; }
  const std::wstring& start_url() const { return start_url_; }
  StartupStyle startup_style() const { return startup_style_; }

  // Where the records live, for the window, the silent mode and the demo.
  static std::wstring SetIniPath(const std::wstring& install_folder);
  // %APPDATA% (or the common documents folder) + "KavrinData" +
  // "VanteloPDFconverter"; empty when neither base can be had.
  static std::wstring AnalyticsDataFolder();
  static std::wstring AnalyticsIniPath();

 private:
  std::wstring previous_install_folder_;
  std::wstring previous_uninstaller_;
  bool console_user_is_admin_ = false;
  bool process_is_admin_ = false;

  std::wstring install_folder_;
  std::wstring program_path_;
  std::wstring uninstaller_record_path_;
  std::wstring start_url_;
  StartupStyle startup_style_ = StartupStyle::kNonStartup;
};

extern const wchar_t kInstallPathValue[];    // "InstallPath"
extern const wchar_t kUninstallEpValue[];    // "UnInstallEp"
extern const wchar_t kUninstallerFileName[]; // "uninst.ep"
extern const wchar_t kProductProgramName[];  // "pdfConverterInternal.exe"
