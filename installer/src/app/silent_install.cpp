#include "app/silent_install.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <optional>

#include "app/install_records.h"
#include "app/installer_settings.h"
#include "app/silent_platform.h"
#include "download/downloader.h"
#include "event_reporting.h"
#include "pipeline/download_installer.h"
#include "pipeline/report_codes.h"
#include "utils/command_line.h"
#include "utils/debug_log.h"
#include "utils/path.h"
#include "utils/system.h"

namespace {

constexpr wchar_t kProductRunningText[] = L"安装程序检测到VanteloPDF转换器\r\n正在运行，请退出程序后再安装";
constexpr wchar_t kUninstallerCopyName[] = L"VanteloPDFconverter_un_asa.exe";
constexpr double kGiB = 1073741824.0;

struct PipelineEvent {
  int32_t code;
  double value;
  std::wstring text;
};

// The window posts every report to its own thread; the silent mode queues
// them for the main thread, which handles them in order.
class EventQueue {
 public:
  void Push(PipelineEvent event) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(std::move(event));
    ready_.notify_one();
  }
  PipelineEvent Pop() {
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait(lock, [&] { return !events_.empty(); });
    PipelineEvent event = std::move(events_.front());
    events_.pop_front();
    return event;
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<PipelineEvent> events_;
};

EventExtras Ab() { return {{L"AB", InstallerSettings::Instance().AbGroup}}; }

std::wstring OneLine(std::wstring text) {
  std::replace(text.begin(), text.end(), L'\r', L' ');
  std::replace(text.begin(), text.end(), L'\n', L' ');
  return text;
}

// Text values of the protocol keep a line's trailing carriage return; a
// path or address never ends in one.
std::wstring WithoutLineEnd(std::wstring text) {
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n')) text.pop_back();
  return text;
}

void Fail(const std::wstring& message) {
  silent_platform::WriteStderr(L"VanteloPDF转换器: " + OneLine(message) + L"\n");
}

// Whether a new file can be made in |folder| (the folder is then usable for
// the package, which is downloaded into it).
bool FolderWritable(const std::wstring& folder) {
  const std::wstring probe = Utils::JoinPath(folder, L".vantelo_write_probe");
  std::FILE* file = std::fopen(Utils::NarrowPath(probe).c_str(), "wb");
  if (!file) return false;
  std::fclose(file);
  Utils::DeleteFileAt(probe);
  return true;
}

std::wstring DurationText(double seconds) {
  const long s = static_cast<long>(seconds + 0.5);
  return Utils::FormatWide(L"%ld:%02ld", s / 60, s % 60);
}

std::wstring SpeedText(double bytes_per_second) {
  if (bytes_per_second >= 1024.0 * 1024.0) return Utils::FormatWide(L"%.1f MB/s", bytes_per_second / 1048576.0);
  return Utils::FormatWide(L"%.0f KB/s", bytes_per_second / 1024.0);
}

class SilentInstall {
 public:
  SilentExit Run(const Utils::CommandLine& command_line);

 private:
  std::optional<SilentExit> CheckAndPrepare(const Utils::CommandLine& command_line);
  std::optional<SilentExit> Handle(const PipelineEvent& event);
  std::wstring DownloadFailureReason(const PipelineEvent& event);
  void ShowProgress(int percent, const std::wstring& stage, const std::wstring& detail);
  int64_t DownloadedBytes() const;
  void EndProgressLine();

  InstallerSettings& settings_ = InstallerSettings::Instance();
  InstallRecords records_;
  EventQueue queue_;
  std::wstring folder_;
  std::wstring package_path_;
  bool terminal_ = silent_platform::StdoutIsTerminal();
  bool line_open_ = false;
  int last_percent_ = -1;
  std::wstring last_stage_;
  Utils::ElapsedTimer download_timer_;
  bool downloader_reported_ = false;
  double pseudo_progress_ = 0.0;
  // Speed of the download, from the bytes on disk between two reports.
  uint32_t last_tick_ = 0;
  int64_t last_bytes_ = 0;
  double speed_ = 0.0;
};

std::optional<SilentExit> SilentInstall::CheckAndPrepare(const Utils::CommandLine& command_line) {
  records_.ReadInstallRecords();
  const bool custom = command_line.Has(L"-installdir");
  ReportClickEvent(custom ? L"自定义安装_立即安装" : L"立即安装", Ab());
  if (custom) {
    const std::wstring text = silent_platform::AbsolutePath(command_line.GetString(L"-installdir"));
    folder_ = text.empty() ? std::wstring() : records_.ChosenInstallFolder(text);
  } else {
    // As the window's start-up question answered with "安装最新版本": an
    // earlier installation is updated in place.
    folder_ = records_.DefaultInstallFolder();
    if (records_.previous_install_present()) folder_ = records_.previous_install_folder();
  }

  if (silent_platform::IsProcessRunning(kUninstallerCopyName) ||
      silent_platform::IsProcessRunning(kProductProgramName)) {
    Fail(std::wstring(kProductRunningText) + L" (close VanteloPDF转换器 and run the installer again)");
    return SilentExit::kProductRunning;
  }

  // A folder holding a double quote would break the package's quoted
  // arguments; a file, or a folder we cannot write to, cannot take the package.
  if (folder_.empty() || folder_.find(L'"') != std::wstring::npos || !Utils::CreateDirectories(folder_) ||
      !Utils::IsDirectory(folder_) || !FolderWritable(folder_)) {
    Fail(L"无效路径 (the install folder cannot be created or written: \"" + folder_ + L"\")");
    return SilentExit::kInvalidFolder;
  }

  Utils::HardDiskManager disk;
  const double free_gib = disk.CheckFreeSpace(folder_) ? disk.free_bytes_for_caller() / kGiB : 0.0;
  if (free_gib < 1.0) {
    Fail(Utils::FormatWide(L"当前磁盘剩余空间低于1GB，请修改安装路径 (%.2f GiB free in %s, 1 GiB needed)", free_gib,
                           folder_));
    return SilentExit::kLowDiskSpace;
  }

  if (settings_.IsCheckNet) {
    const int network = silent_platform::CheckNetwork();
    if ((network >> 16) != 0) {
      Fail(Utils::FormatWide(L"当前网络环境较差，请在网络通畅时进行安装 (network check result %d)", network));
      return SilentExit::kNetworkCheck;
    }
  }
  return std::nullopt;
}

SilentExit SilentInstall::Run(const Utils::CommandLine& command_line) {
  if (std::optional<SilentExit> failed = CheckAndPrepare(command_line)) return *failed;

  records_.SetInstallFolder(folder_);
  const std::wstring old_uninstaller =
      records_.KeepPreviousInstall(folder_) ? std::wstring() : records_.previous_uninstaller();
  silent_platform::WriteStdout(L"Installing VanteloPDF转换器 into " + folder_ + L"\n");
  if (!old_uninstaller.empty() && Utils::FileExists(old_uninstaller))
    silent_platform::WriteStdout(L"The previous version is uninstalled first (" + old_uninstaller + L")\n");

  std::optional<SilentExit> result;
  {
    CDownloadInstaller controller(
        [this](int32_t code, double value, const wchar_t* text) { queue_.Push({code, value, text ? text : L""}); },
        L"", L"", L"", true, true, true);
    controller.Configure(settings_.DownloadUrl, old_uninstaller, folder_, true, true,
                         records_.console_user_is_admin(), records_.process_is_admin());
    package_path_ = CDownloadInstaller::PackagePathFor(folder_);
    ReportViewEvent(Ab());
    controller.Start();
    while (!result) result = Handle(queue_.Pop());
    EndProgressLine();
    // Destroying the controller waits for a package or uninstaller still running.
  }
  return *result;
}

std::optional<SilentExit> SilentInstall::Handle(const PipelineEvent& event) {
  const double scale = settings_.DownloadScale;
  switch (event.code) {
    case DL_CODE_START:
      if (!downloader_reported_) {
        downloader_reported_ = true;
        ReportTaskEvent(L"下载器启动", 0, L"", Ab());
      }
      download_timer_.Start();
      last_tick_ = Utils::TickCount();
      last_bytes_ = 0;
      ReportTaskEvent(L"开始下载大包", 0, L"", Ab());
      ShowProgress(std::max(last_percent_, 0), L"downloading", L"");
      return std::nullopt;
    case DL_CODE_PROGRESS: {
      const uint32_t now = Utils::TickCount();
      const int64_t bytes = DownloadedBytes();
      if (now != last_tick_ && bytes >= last_bytes_) speed_ = (bytes - last_bytes_) * 1000.0 / (now - last_tick_);
      last_tick_ = now;
      last_bytes_ = bytes;
      const double elapsed = download_timer_.Seconds();
      std::wstring detail = speed_ > 0 ? SpeedText(speed_) : std::wstring();
      if (event.value > 0.0 && event.value < 1.0 && elapsed > 0)
        detail += L", " + DurationText(elapsed * (1.0 - event.value) / event.value) + L" left";
      ShowProgress(DownloadPercent(event.value, scale), L"downloading", detail);
      return std::nullopt;
    }
    case DL_CODE_SUCCESS:
      ReportTaskEvent(L"大包下载完毕", download_timer_.Seconds(), L"", Ab());
      ShowProgress(DownloadPercent(1.0, scale), L"downloaded", DurationText(download_timer_.Seconds()));
      return std::nullopt;
    case DL_CODE_FAIL:
      ReportTaskEvent(L"下载失败原因", 0, DownloadFailureReason(event), Ab());
      EndProgressLine();
      Fail(Utils::FormatWide(L"当前网络环境较差，请在网络通畅时进行重试 (download failed, code %ld: %s)",
                             static_cast<long>(event.value), event.text));
      return SilentExit::kDownload;
    case DL_CODE_REASON:
      ReportTaskEvent(L"下载失败原因",
                      0, Utils::FormatWide(L":1.code=%ld；2.msg=%s", static_cast<long>(event.value), event.text), Ab());
      return std::nullopt;
    case IST_CODE_START:
      records_.WriteIniRecords();
      ShowProgress(std::max(last_percent_, 0), L"installing", L"");
      return std::nullopt;
    case IST_CODE_PROGRESS:
      ShowProgress(InstallPercent(event.value, scale, pseudo_progress_), L"installing", L"");
      return std::nullopt;
    case IST_CODE_SUCCESS:
      ReportTaskEvent(L"安装成功", 0, L"", Ab());
      ShowProgress(100, L"installed", L"");
      EndProgressLine();
      records_.WriteInstallRecords();
      silent_platform::WriteStdout(L"VanteloPDF转换器 is installed in " + records_.install_folder() + L"\n");
      if (records_.startup_style() == StartupStyle::kAutoStartup) {
        silent_platform::WriteStdout(L"Starting " + records_.program_path() + L"\n");
        records_.OpenProduct();
      } else if (records_.startup_style() == StartupStyle::kUserStartup && !records_.program_path().empty()) {
        silent_platform::WriteStdout(L"Start it with " + records_.program_path() + L"\n");
      }
      return SilentExit::kSuccess;
    case IST_CODE_FAIL:
      ReportTaskEvent(L"安装失败原因", 0,
                      Utils::FormatWide(L":1.code=%ld；2.msg=%s", static_cast<long>(event.value), event.text), Ab());
      EndProgressLine();
      if (event.value == kFailValueStart)
        Fail(L"安装失败 (the downloaded package could not be started: it is not a program for this system)");
      else
        Fail(event.text.empty() ? std::wstring(L"安装失败") : L"安装失败: " + event.text);
      return SilentExit::kPackageInstall;
    case IST_INFO_INSTALL_PATH:
      records_.SetInstallFolder(WithoutLineEnd(event.text));
      return std::nullopt;
    case IST_INFO_EXE_PATH:
      records_.SetProgramPath(WithoutLineEnd(event.text));
      return std::nullopt;
    case IST_INFO_UNINSTALL_EP:
      records_.SetUninstallerRecordPath(WithoutLineEnd(event.text));
      return std::nullopt;
    case IST_INFO_START_URL:
      records_.SetStartUrl(WithoutLineEnd(event.text));
      return std::nullopt;
    case IST_INFO_STARTUP_STYLE:
      records_.SetStartupStyle(static_cast<StartupStyle>(static_cast<int32_t>(event.value)));
      return std::nullopt;
    case IST_INFO_MESSAGE:
      EndProgressLine();
      silent_platform::WriteStdout(L"消息: " + OneLine(event.text) + L"\n");
      return std::nullopt;
    case UNIST_CODE_PROGRESS:
      ShowProgress(0, L"uninstalling the previous version", L"");
      return std::nullopt;
    case UNIST_CODE_FAIL:
    case UNIST_CODE_ERROR:
      EndProgressLine();
      Fail(std::wstring(kProductRunningText) + L" (the previous version could not be uninstalled" +
           (event.text.empty() ? std::wstring(L")") : L": " + event.text + L")"));
      return SilentExit::kUninstall;
    default:
      return std::nullopt;
  }
}

// The reason the window sends with a failed download: the stage's code and
// text, free space and write access where the package goes, and the network.
std::wstring SilentInstall::DownloadFailureReason(const PipelineEvent& event) {
  const int network = silent_platform::CheckNetwork();
  Utils::HardDiskManager disk;
  const double free_gib = disk.CheckFreeSpace(folder_) ? disk.free_bytes_for_caller() / kGiB : 0.0;
  bool writable = Utils::DeleteFileAt(package_path_);
  if (writable) {
    std::FILE* file = std::fopen(Utils::NarrowPath(package_path_).c_str(), "w+b");
    writable = file != nullptr;
    if (file) std::fclose(file);
    Utils::DeleteFileAt(package_path_);
  }
  return Utils::FormatWide(L"1.code=%ld；2.msg=%s；3.缓存磁盘容量=%.2fG；4.缓存读写权限=%s；5.服务器连接状态code=%d",
                           static_cast<long>(event.value), event.text, free_gib, writable ? L"可读" : L"无权限",
                           network);
}

int64_t SilentInstall::DownloadedBytes() const {
  // The single-stream downloader writes "<package>.part", the segmented one
  // "<package>_0" and "<package>_1".
  int64_t total = 0;
  for (const wchar_t* suffix : {L".part", L"_0", L"_1", L""}) {
    std::FILE* file = std::fopen(Utils::NarrowPath(package_path_ + suffix).c_str(), "rb");
    if (!file) continue;
    if (std::fseek(file, 0, SEEK_END) == 0) total += std::max<long>(std::ftell(file), 0);
    std::fclose(file);
  }
  return total;
}

void SilentInstall::ShowProgress(int percent, const std::wstring& stage, const std::wstring& detail) {
  percent = std::clamp(percent, 0, 100);
  std::wstring line = Utils::FormatWide(L"[%3d%%] %s", percent, stage);
  if (!detail.empty()) line += L"  " + detail;
  if (terminal_) {
    // One line, rewritten in place; padded so a shorter text hides the longer one.
    if (line.size() < 72) line.append(72 - line.size(), L' ');
    silent_platform::WriteStdout(L"\r" + line);
    line_open_ = true;
  } else if (stage != last_stage_ || percent / 10 != last_percent_ / 10) {
    silent_platform::WriteStdout(line + L"\n");
  }
  last_stage_ = stage;
  last_percent_ = percent;
}

void SilentInstall::EndProgressLine() {
  if (!line_open_) return;
  silent_platform::WriteStdout(L"\n");
  line_open_ = false;
}

}  // namespace

int DownloadPercent(double fraction, double scale) { return static_cast<int>(fraction * scale * 100.0); }

int InstallPercent(double fraction, double scale, double& pseudo) {
  const double p = std::min(pseudo + 0.15, 0.95);
  const double shown = std::max(p, fraction);
  pseudo = shown;
  return static_cast<int>(((1.0 - scale) * shown + scale) * 100.0);
}

SilentExit RunSilentInstall(const Utils::CommandLine& command_line) {
  SilentInstall install;
  return install.Run(command_line);
}
