#include "pipeline/download_installer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "app/installer_settings.h"
#include "download/downloader.h"
#include "pipeline/report_codes.h"
#include "utils/md5.h"
#include "test_servers.h"
#include "utils/path.h"
#include "utils/piped_process.h"
#include "utils/text.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr bool kWindows = Utils::kPathSeparator == L'\\';
constexpr char kPackageName[] = "VanteloPDFconverter_setup.exe";

void SetEnv(const char* name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name, value.c_str());
#else
  setenv(name, value.c_str(), 1);
#endif
}

std::wstring W(const fs::path& path) { return Utils::ToWide(path.string(), Utils::kCodePageAnsi); }

struct Report {
  int32_t code;
  double value;
  std::wstring text;
  bool package_existed;  // the package file, when the observer saw the report
  bool folder_existed;   // the install folder, likewise
};

// The observer: keeps every report with what the file system looked like at
// that moment, so a test sees what happened before the controller acted.
class Recorder {
 public:
  Recorder(std::wstring package, std::wstring folder) : package_(std::move(package)), folder_(std::move(folder)) {}

  StageCallback Callback() {
    return [this](int32_t code, double value, const wchar_t* text) {
      Report r{code, value, text ? text : L"", Utils::FileExists(package_), Utils::IsDirectory(folder_)};
      if (hook_) hook_(r);
      std::lock_guard<std::mutex> lock(mutex_);
      reports_.push_back(r);
      changed_.notify_all();
    };
  }
  void SetHook(std::function<void(const Report&)> hook) { hook_ = std::move(hook); }

  // Waits until one of |codes| arrives; false after 60 seconds.
  bool WaitFor(std::set<int32_t> codes) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, 60s, [&] {
      return std::any_of(reports_.begin(), reports_.end(), [&](const Report& r) { return codes.count(r.code); });
    });
  }
  std::vector<Report> reports() {
    std::lock_guard<std::mutex> lock(mutex_);
    return reports_;
  }
  std::vector<int32_t> Codes(bool with_progress = false) {
    std::vector<int32_t> codes;
    for (const Report& r : reports())
      if (with_progress || (r.code != DL_CODE_PROGRESS && r.code != IST_CODE_PROGRESS && r.code != UNIST_CODE_PROGRESS))
        codes.push_back(r.code);
    return codes;
  }
  std::string Trace() {
    std::ostringstream out;
    for (const Report& r : reports()) out << r.code << "(" << r.value << "," << Utils::WideToUtf8(r.text) << ") ";
    return out.str();
  }
  const Report* Find(int32_t code) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Report& r : reports_)
      if (r.code == code) return &r;
    return nullptr;
  }

 private:
  const std::wstring package_, folder_;
  std::function<void(const Report&)> hook_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Report> reports_;
};

class Controller : public ::testing::Test {
 protected:
  void SetUp() override {
    static const fs::path base = fs::temp_directory_path();  // before TMPDIR moves below
    root_ = base /
            ("vantelo_controller_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "home");
    fs::create_directories(root_ / "tmp");
    if (kWindows) {
      // Only the desktop moves: the Linux servers started from here inherit
      // the environment and need their own HOME and temp folder (TMP, TEMP).
      SetEnv("USERPROFILE", (root_ / "home").string());
    } else {
      SetEnv("HOME", (root_ / "home").string());
      SetEnv("XDG_CONFIG_HOME", (root_ / "home" / "config").string());
      SetEnv("XDG_DATA_HOME", (root_ / "home" / "data").string());
      SetEnv("TMPDIR", (root_ / "tmp").string());
    }
    install_dir_ = root_ / "Programs" / "VanteloPDFconverter";
    package_ = install_dir_ / "__Package_VanteloPDFconverter.exe";
    const char* binary = std::getenv("VANTELO_BINARY_DIR");
    demo_package_ = fs::path(binary ? binary : ".") / "demo" / kPackageName;
    fake_child_ = fs::path(Utils::NarrowPath(Utils::FolderPart(Utils::ExecutablePath()))) /
                  (kWindows ? "fake_child.exe" : "fake_child");
    InstallerSettings::Instance().DownloadType = 1;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  // Serves |file| as the package under its own digest (or |digest|).
  void Serve(const fs::path& file, std::string digest = {}) {
    server_ = StartServer(file, digest);
    if (!server_ && kWindows)
      GTEST_SKIP() << "the Linux test servers did not start from this Windows program: " << server_error_;
  }

  // A real nginx on an ephemeral 127.0.0.1 port serving |file| under its
  // digest; "/software/222" redirects there.
  std::unique_ptr<vantelo_testing::NginxServer> StartServer(const fs::path& file, std::string digest = {}) {
    if (digest.empty()) digest = Utils::FileMd5(file.string());
    fs::remove_all(root_ / "www");
    fs::create_directories(root_ / "www" / digest);
    served_ = root_ / "www" / digest / kPackageName;
    fs::copy_file(file, served_, fs::copy_options::overwrite_existing);
    std::string error;
    auto server = vantelo_testing::NginxServer::Start(
        (root_ / "www").string(), {.limit_rate = "", .redirect_target = "/" + digest + "/" + kPackageName}, &error);
    if (!kWindows) {
      EXPECT_TRUE(server) << error;
    }
    server_error_ = error;
    return server;
  }
  std::wstring Url(const std::unique_ptr<vantelo_testing::NginxServer>& server) const {
    return server ? Utils::ToWide(server->BaseUrl() + "/software/222", Utils::kCodePageAnsi) : L"http://127.0.0.1:9/";
  }

  std::unique_ptr<CDownloadInstaller> Make(Recorder& recorder, std::wstring old_uninstaller = {}) {
    auto controller = std::make_unique<CDownloadInstaller>(recorder.Callback(), L"", L"", L"", true, true, true);
    controller->Configure(Url(server_), std::move(old_uninstaller), W(install_dir_), true, true,
                          false, false);
    return controller;
  }

  // Installs the demo product into |folder| by running the package directly.
  void InstallDirectly(const fs::path& folder) {
    Utils::PipedProcess package;
    package.CreatePipes();
    package.Start(L"\"" + W(demo_package_) + L"\" /S -instdir=\"" + W(folder) + L"\"");
    std::string bytes;
    while (package.Read(bytes, 1024, 1000) != Utils::PipedProcess::ReadResult::kEnd) {
    }
    package.Wait();
    ASSERT_NE(std::string::npos, bytes.find("State=Success")) << bytes;
  }

  fs::path root_, install_dir_, package_, demo_package_, fake_child_, served_;
  std::unique_ptr<vantelo_testing::NginxServer> server_;
  std::string server_error_;
};

std::wstring WithoutCr(std::wstring text) {
  if (!text.empty() && text.back() == L'\r') text.pop_back();
  return text;
}

bool Contains(const std::vector<int32_t>& codes, int32_t code) {
  return std::find(codes.begin(), codes.end(), code) != codes.end();
}

TEST_F(Controller, FreshInstallWithEachDownloader) {
  ASSERT_TRUE(fs::exists(demo_package_)) << "demo product not built";
  Serve(demo_package_);
  if (IsSkipped()) return;
  for (int type : {1, 2, 3}) {
    SCOPED_TRACE("DownloadType " + std::to_string(type));
    fs::remove_all(install_dir_);
    InstallerSettings::Instance().DownloadType = type;
    Recorder recorder(W(package_), W(install_dir_));
    auto controller = Make(recorder);
    controller->Start();
    EXPECT_EQ(W(package_), controller->package_path());
    ASSERT_TRUE(recorder.WaitFor({IST_CODE_SUCCESS, IST_CODE_FAIL, DL_CODE_FAIL})) << recorder.Trace();
    controller.reset();  // waits for the package run to end

    // Every code once, in pipeline order; the 3000-series values as the package said.
    const std::vector<int32_t> codes = recorder.Codes();
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(DL_CODE_START, codes.front()) << recorder.Trace();
    EXPECT_EQ(IST_CODE_SUCCESS, codes.back()) << recorder.Trace();
    for (int32_t code : std::initializer_list<int32_t>{DL_CODE_START, DL_CODE_SUCCESS, IST_CODE_START, IST_CODE_SUCCESS, IST_INFO_INSTALL_PATH,
                         IST_INFO_EXE_PATH, IST_INFO_UNINSTALL_EP, IST_INFO_STARTUP_STYLE})
      EXPECT_EQ(1, std::count(codes.begin(), codes.end(), code)) << code << ": " << recorder.Trace();
    EXPECT_FALSE(Contains(codes, DL_CODE_FAIL));
    // Text values come as the package wrote them; a Windows console program
    // ends its lines with a carriage return, which stays in the value.
    EXPECT_EQ(W(install_dir_), WithoutCr(recorder.Find(IST_INFO_INSTALL_PATH)->text));
    EXPECT_EQ(W(install_dir_ / "pdfConverterInternal.exe"), WithoutCr(recorder.Find(IST_INFO_EXE_PATH)->text));
    EXPECT_EQ(1.0, recorder.Find(IST_INFO_STARTUP_STYLE)->value);

    // The observer saw each report before the controller acted on it: the
    // folder did not exist at DL_CODE_START, the package still did at 2003.
    EXPECT_FALSE(recorder.Find(DL_CODE_START)->folder_existed);
    EXPECT_TRUE(recorder.Find(DL_CODE_SUCCESS)->package_existed);
    EXPECT_TRUE(recorder.Find(IST_CODE_SUCCESS)->package_existed);
    EXPECT_TRUE(fs::exists(install_dir_ / "pdfConverterInternal.exe"));
    EXPECT_TRUE(fs::exists(install_dir_ / "uninst.ep"));
    EXPECT_TRUE(fs::exists(root_ / "home" / "Desktop" / (kWindows ? u8"VanteloPDF转换器.url" : u8"VanteloPDF转换器.desktop")));
    EXPECT_FALSE(fs::exists(package_));
  }
}

TEST_F(Controller, UpgradeRunsTheOldUninstallerFirst) {
  ASSERT_TRUE(fs::exists(demo_package_)) << "demo product not built";
  Serve(demo_package_);
  if (IsSkipped()) return;
  const fs::path old = root_ / "Old";
  InstallDirectly(old);
  ASSERT_TRUE(fs::exists(old / "pdfConverterInternal.exe"));

  Recorder recorder(W(package_), W(install_dir_));
  auto controller = Make(recorder, W(old / "uninst.ep"));
  controller->Start();
  ASSERT_TRUE(recorder.WaitFor({IST_CODE_SUCCESS, IST_CODE_FAIL, DL_CODE_FAIL, UNIST_CODE_FAIL, UNIST_CODE_ERROR}))
      << recorder.Trace();
  controller.reset();

  const std::vector<int32_t> codes = recorder.Codes(true);
  ASSERT_FALSE(codes.empty());
  EXPECT_EQ(UNIST_CODE_PROGRESS, codes.front()) << recorder.Trace();
  const auto success = std::find(codes.begin(), codes.end(), UNIST_CODE_SUCCESS);
  const auto download = std::find(codes.begin(), codes.end(), DL_CODE_START);
  ASSERT_NE(codes.end(), success) << recorder.Trace();
  EXPECT_LT(success, download) << recorder.Trace();
  EXPECT_EQ(IST_CODE_SUCCESS, recorder.Codes().back()) << recorder.Trace();
  // The uninstaller ran as the private copy and removed the old product.
  EXPECT_TRUE(fs::exists(fs::path(Utils::NarrowPath(CDownloadInstaller::UninstallerCopyPath()))));
  EXPECT_FALSE(fs::exists(old / "pdfConverterInternal.exe"));
  EXPECT_TRUE(fs::exists(install_dir_ / "pdfConverterInternal.exe"));
}

TEST_F(Controller, FailedUninstallStopsBeforeAnyDownload) {
  ASSERT_TRUE(fs::exists(fake_child_)) << "fake_child not built";
  // No server: the download must never start (its URL goes nowhere).
  const struct {
    const char* script;
    int32_t code;
  } cases[] = {
      {"line State=Fail\nsleep 100\n", UNIST_CODE_ERROR},
      {"line Error=locked\n", UNIST_CODE_ERROR},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.script);
    const fs::path old = root_ / "Old";
    fs::create_directories(old);
    fs::copy_file(fake_child_, old / "uninst.ep", fs::copy_options::overwrite_existing);
    // The fake child reads its script beside the copy that runs.
    const fs::path copy = fs::path(Utils::NarrowPath(CDownloadInstaller::UninstallerCopyPath()));
    std::ofstream(copy.string() + ".script") << c.script;

    Recorder recorder(W(package_), W(install_dir_));
    auto controller = Make(recorder, W(old / "uninst.ep"));
    controller->Start();
    controller.reset();  // waits for the uninstall to end
    const std::vector<int32_t> codes = recorder.Codes();
    EXPECT_TRUE(Contains(codes, c.code)) << recorder.Trace();
    EXPECT_FALSE(Contains(codes, DL_CODE_START)) << recorder.Trace();
    EXPECT_FALSE(fs::exists(install_dir_));
  }
}

TEST_F(Controller, MissingOldUninstallerDownloadsAtOnce) {
  Serve(demo_package_);
  if (IsSkipped()) return;
  Recorder recorder(W(package_), W(install_dir_));
  auto controller = Make(recorder, W(root_ / "gone" / "uninst.ep"));
  controller->Start();
  ASSERT_TRUE(recorder.WaitFor({IST_CODE_SUCCESS, IST_CODE_FAIL, DL_CODE_FAIL})) << recorder.Trace();
  controller.reset();
  EXPECT_EQ(DL_CODE_START, recorder.Codes().front()) << recorder.Trace();
}

TEST_F(Controller, DownloadFailureLeavesNoPackage) {
  fs::create_directories(install_dir_);
  std::ofstream(package_) << "stale";
  Recorder recorder(W(package_), W(install_dir_));
  auto controller = std::make_unique<CDownloadInstaller>(recorder.Callback(), L"", L"", L"", true, true, true);
  // Nothing listens on port 9 of this host.
  controller->Configure(L"http://127.0.0.1:9/software/222", L"", W(install_dir_), true, true, false, false);
  controller->Start();
  ASSERT_TRUE(recorder.WaitFor({DL_CODE_FAIL, DL_CODE_SUCCESS})) << recorder.Trace();
  controller.reset();
  const std::vector<int32_t> codes = recorder.Codes();
  EXPECT_EQ(DL_CODE_FAIL, codes.back()) << recorder.Trace();
  EXPECT_FALSE(Contains(codes, IST_CODE_START));
  EXPECT_FALSE(fs::exists(package_));
}

TEST_F(Controller, DigestMismatchRetriesTheSameDownloaderThenSucceeds) {
  // The server first holds wrong bytes under the package's digest; the test
  // puts the right file in place when the retry is announced, before the
  // controller restarts the download.
  const std::string digest = Utils::FileMd5(demo_package_.string());
  const fs::path wrong = root_ / "wrong.bin";
  fs::copy_file(demo_package_, wrong);
  {
    std::fstream bytes(wrong, std::ios::in | std::ios::out | std::ios::binary);
    bytes.seekp(1000);
    bytes.put('\x5a');  // one byte differs: same size, another digest
  }
  Serve(wrong, digest);
  if (IsSkipped()) return;
  Recorder recorder(W(package_), W(install_dir_));
  recorder.SetHook([&](const Report& r) {
    if (r.code == DL_CODE_RETRY) fs::copy_file(demo_package_, served_, fs::copy_options::overwrite_existing);
  });
  auto controller = Make(recorder);
  controller->Start();
  ASSERT_TRUE(recorder.WaitFor({IST_CODE_SUCCESS, IST_CODE_FAIL, DL_CODE_FAIL})) << recorder.Trace();
  controller.reset();
  const std::vector<int32_t> codes = recorder.Codes();
  const std::vector<int32_t> head(codes.begin(), codes.begin() + std::min<size_t>(codes.size(), 5));
  EXPECT_EQ((std::vector<int32_t>{DL_CODE_START, DL_CODE_REASON, DL_CODE_RETRY, DL_CODE_START, DL_CODE_SUCCESS}), head)
      << recorder.Trace();
  EXPECT_EQ(IST_CODE_SUCCESS, codes.back()) << recorder.Trace();
  EXPECT_FALSE(fs::exists(package_));
}

TEST_F(Controller, PackageFailuresLeaveNoPackage) {
  ASSERT_TRUE(fs::exists(fake_child_)) << "fake_child not built";
  // The downloaders refuse files under 1 MiB, so both stand-ins are padded.
  const fs::path text_file = root_ / "notes.txt";
  {
    std::ofstream text(text_file);
    for (int i = 0; i < 60000; ++i) text << "this is not a program\n";
  }
  const fs::path quiet_child = root_ / "quiet_child";
  fs::copy_file(fake_child_, quiet_child);
  std::ofstream(quiet_child, std::ios::app | std::ios::binary) << std::string(1 << 20, '\0');
  const struct {
    const char* name;
    fs::path package;
    std::function<void()> prepare;
    int32_t final_code;
    double final_value;
  } cases[] = {
      // The product program cannot be written: a folder stands in its place.
      {"cannot write", demo_package_, [&] { fs::create_directories(install_dir_ / "pdfConverterInternal.exe" / "x"); },
       IST_CODE_FAIL, kFailValueError},
      {"not a program", text_file, [] {}, IST_CODE_FAIL, kFailValueStart},
      // A child that exits without any protocol line counts as a success.
      {"no protocol", quiet_child, [&] {
         fs::create_directories(install_dir_);
         std::ofstream(package_.string() + ".script") << "exit 3\n";
       }, IST_CODE_SUCCESS, kSuccessValueEnded},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(install_dir_);
    c.prepare();
    const auto server = StartServer(c.package);
    if (!server && kWindows) GTEST_SKIP() << "the Linux test servers did not start from this Windows program";
    ASSERT_TRUE(server);
    Recorder recorder(W(package_), W(install_dir_));
    auto controller = std::make_unique<CDownloadInstaller>(recorder.Callback(), L"", L"", L"", true, true, true);
    controller->Configure(Url(server), L"", W(install_dir_), false, false, false, false);
    controller->Start();
    ASSERT_TRUE(recorder.WaitFor({IST_CODE_SUCCESS, IST_CODE_FAIL, DL_CODE_FAIL})) << recorder.Trace();
    controller.reset();
    const std::vector<Report> reports = recorder.reports();
    const Report& last = reports.back();
    EXPECT_EQ(c.final_code, last.code) << recorder.Trace();
    EXPECT_EQ(c.final_value, last.value) << recorder.Trace();
    EXPECT_FALSE(fs::exists(package_));
  }
}

TEST_F(Controller, SecondStartReusesTheFirstDownloadAndLeavesNoPackageAnywhere) {
  Serve(demo_package_);
  if (IsSkipped()) return;
  Recorder recorder(W(package_), W(install_dir_));
  auto controller = Make(recorder);
  controller->Start();
  ASSERT_TRUE(recorder.WaitFor({IST_CODE_SUCCESS, IST_CODE_FAIL, DL_CODE_FAIL})) << recorder.Trace();
  // The runner of the first Start ends before the second begins.
  const fs::path second = root_ / "Second";
  controller->Configure(L"http://127.0.0.1:9/unused", L"", W(second), false, false, false, false);
  controller->Start();
  EXPECT_EQ(W(second / "__Package_VanteloPDFconverter.exe"), controller->package_path());
  for (int i = 0; i < 600; ++i) {
    const auto codes = recorder.Codes();
    if (std::count(codes.begin(), codes.end(), IST_CODE_SUCCESS) + std::count(codes.begin(), codes.end(), IST_CODE_FAIL) +
            std::count(codes.begin(), codes.end(), DL_CODE_FAIL) >= 2)
      break;
    std::this_thread::sleep_for(100ms);
  }
  controller.reset();
  // The first URL still served the download, the package ran into the new folder.
  const std::vector<int32_t> codes = recorder.Codes();
  EXPECT_EQ(2, std::count(codes.begin(), codes.end(), IST_CODE_SUCCESS)) << recorder.Trace();
  EXPECT_TRUE(fs::exists(second / "pdfConverterInternal.exe"));
  EXPECT_FALSE(fs::exists(package_));
  EXPECT_FALSE(fs::exists(second / "__Package_VanteloPDFconverter.exe"));
}

}  // namespace
