#include "app/silent_install.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "app/install_records.h"
#include "app/silent_platform.h"
#include "utils/md5.h"
#include "utils/profile.h"
#include "utils/registry.h"
#include "utils/system.h"
#include "utils/text.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr char kPackageName[] = "VanteloPDFconverter_setup.exe";

TEST(ProgressMapping, SameAsTheWindow) {
  EXPECT_EQ(35, DownloadPercent(0.5, 0.7));
  EXPECT_EQ(70, DownloadPercent(1.0, 0.7));
  // Install reports of 0 move the bar by 4 or 5 until it stands at 98; the
  // second is 78, not 79 (double arithmetic, truncated).
  double pseudo = 0;
  std::vector<int> shown;
  for (int i = 0; i < 8; ++i) shown.push_back(InstallPercent(0, 0.7, pseudo));
  EXPECT_EQ((std::vector<int>{74, 78, 83, 88, 92, 97, 98, 98}), shown);
  // A reported value ahead of the pseudo-progress wins and is kept.
  pseudo = 0;
  EXPECT_EQ(97, InstallPercent(0.9, 0.7, pseudo));
  EXPECT_EQ(0.9, pseudo);
}

std::string Quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

struct Outcome {
  int exit_code;
  std::string out, err;
};

class Nginx {
 public:
  bool Start(const fs::path& prefix, const fs::path& root, const std::string& md5) {
    prefix_ = prefix;
    fs::create_directories(prefix / "tmp");
    const std::string p = prefix.string();
    for (int attempt = 0; attempt < 5 && port_ == 0; ++attempt) {
      const int port = 20000 + static_cast<int>((std::chrono::steady_clock::now().time_since_epoch().count() / 1000) % 40000);
      std::ofstream conf(prefix / "nginx.conf");
      conf << (::geteuid() == 0 ? "user root root;\n" : "") << "worker_processes 1;\npid " << p << "/nginx.pid;\nerror_log "
           << p << "/error.log;\nevents { worker_connections 64; }\nhttp {\n access_log " << p << "/access.log;\n"
           << " client_body_temp_path " << p << "/tmp;\n proxy_temp_path " << p << "/tmp;\n fastcgi_temp_path " << p
           << "/tmp;\n uwsgi_temp_path " << p << "/tmp;\n scgi_temp_path " << p << "/tmp;\n"
           << " default_type application/octet-stream;\n server {\n  listen 127.0.0.1:" << port << ";\n  root "
           << root.string() << ";\n  location = /software/222 { return 302 http://127.0.0.1:" << port << "/" << md5 << "/"
           << kPackageName << "; }\n }\n}\n";
      conf.close();
      const std::string command = "/usr/sbin/nginx -p " + Quote(p) + " -e " + Quote(p + "/error.log") + " -c " +
                                  Quote(p + "/nginx.conf") + " 2>/dev/null";
      if (std::system(command.c_str()) == 0) port_ = port;
    }
    for (int i = 0; i < 50 && !fs::exists(prefix / "nginx.pid"); ++i) std::this_thread::sleep_for(20ms);
    std::ifstream(prefix / "nginx.pid") >> pid_;
    return port_ != 0;
  }
  ~Nginx() { Stop(); }
  // Ends the nginx this object started, by the id it wrote at start.
  void Stop() {
    if (port_ == 0) return;
    port_ = 0;
    if (!pid_.empty()) std::system(("kill -QUIT " + pid_).c_str());
    for (int i = 0; i < 50 && fs::exists(prefix_ / "nginx.pid"); ++i) std::this_thread::sleep_for(20ms);
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/software/222"; }

 private:
  fs::path prefix_;
  std::string pid_;
  int port_ = 0;
};

// Every test runs the real installer program with its own home: the key
// file, APPDATA, the desktop, the temp folder and the instance lock all live
// below it.
class Silent : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists("/usr/sbin/nginx")) GTEST_SKIP() << "nginx is not installed";
    static const fs::path base = fs::temp_directory_path();
    root_ = base / ("vantelo_silent_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(root_);
    for (const char* sub : {"home", "tmp", "run"}) fs::create_directories(root_ / sub);
    setenv("HOME", (root_ / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root_ / "home" / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (root_ / "home" / "data").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (root_ / "run").c_str(), 1);
    setenv("TMPDIR", (root_ / "tmp").c_str(), 1);
    const fs::path binary = std::getenv("VANTELO_BINARY_DIR") ? std::getenv("VANTELO_BINARY_DIR") : ".";
    installer_ = binary / "installer" / "src" / "app" / "VanteloInstaller";
    demo_package_ = binary / "demo" / kPackageName;
    fake_child_ = binary / "testing" / "fake_child" / "fake_child";
    ASSERT_TRUE(fs::exists(installer_)) << installer_;
    ASSERT_TRUE(fs::exists(demo_package_)) << demo_package_;
    parent_ = root_ / "Programs";
    folder_ = parent_ / "VanteloPDFconverter";
  }
  void TearDown() override {
    server_.Stop();  // before its folder goes
    std::error_code ignored;
    fs::permissions(root_ / "readonly", fs::perms::owner_all, ignored);
    fs::remove_all(root_, ignored);
  }

  void Serve(const fs::path& file) {
    const std::string digest = Utils::FileMd5(file.string());
    fs::create_directories(root_ / "www" / digest);
    fs::copy_file(file, root_ / "www" / digest / kPackageName, fs::copy_options::overwrite_existing);
    ASSERT_TRUE(server_.Start(root_ / "nginx", root_ / "www", digest));
  }

  // The product is not opened unless a test asks for it (-instcmd): a
  // product still running would stop the next install with "product running".
  Outcome Install(const std::vector<std::string>& args, const std::string& prefix = "") {
    std::string command = prefix + Quote(installer_.string()) + " -silent -isenableappsensors=false";
    if (std::none_of(args.begin(), args.end(), [](const std::string& a) { return a.rfind("-instcmd=", 0) == 0; }))
      command += " -instcmd=-startupstyle=NonStartup";
    for (const std::string& a : args) command += " " + Quote(a);
    command += " >" + Quote((root_ / "out.txt").string()) + " 2>" + Quote((root_ / "err.txt").string());
    const int status = std::system(command.c_str());
    Outcome run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, Read(root_ / "out.txt"), Read(root_ / "err.txt")};
    return run;
  }
  Outcome InstallInto(const fs::path& parent, std::vector<std::string> args = {}) {
    args.push_back("-installdir=" + parent.string());
    args.push_back("-downloadurl=" + server_.Url());
    return Install(args);
  }
  static std::string Read(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  static std::wstring W(const fs::path& path) { return Utils::ToWide(path.string(), Utils::kCodePageAnsi); }
  bool NoPackageLeft() const {
    for (const auto& entry : fs::recursive_directory_iterator(root_, fs::directory_options::skip_permission_denied))
      if (entry.path().filename().string().rfind("__Package_", 0) == 0) return false;
    return true;
  }

  fs::path root_, installer_, demo_package_, fake_child_, parent_, folder_;
  Nginx server_;
};

// Lines on the standard error that are not trace lines (the trace goes there too).
int MessageLines(const std::string& err) {
  std::istringstream lines(err);
  int count = 0;
  for (std::string line; std::getline(lines, line);) count += line.rfind("<P", 0) != 0 && !line.empty();
  return count;
}

std::string Show(const Outcome& run) { return "exit " + std::to_string(run.exit_code) + "\nout: " + run.out + "\nerr: " + run.err; }

TEST_F(Silent, InstallsTheDemoProductAndWritesEveryRecord) {
  // A folder with Chinese letters and a blank, as users have them.
  parent_ = root_ / u8"程序 文件";
  folder_ = parent_ / "VanteloPDFconverter";
  Serve(demo_package_);
  const Outcome run = InstallInto(parent_);
  ASSERT_EQ(0, run.exit_code) << Show(run);
  EXPECT_NE(std::string::npos, run.out.find("[100%] installed")) << run.out;
  EXPECT_TRUE(fs::exists(folder_ / "pdfConverterInternal.exe"));
  EXPECT_TRUE(fs::exists(folder_ / "uninst.ep"));
  EXPECT_TRUE(NoPackageLeft());

  // Registry key file, set.ini and KVUsageAnalytics.ini.
  unsigned long type = 0;
  std::wstring value;
  ASSERT_TRUE(Utils::ReadRegString(kInstallPathValue, type, value));
  EXPECT_EQ(W(folder_), value);
  ASSERT_TRUE(Utils::ReadRegString(kUninstallEpValue, type, value));
  EXPECT_EQ(W(folder_ / "uninst.ep"), value);
  const std::wstring set_ini = W(folder_ / "set.ini");
  EXPECT_EQ(L"VanteloInstaller", Utils::GetProfileString(L"Install", L"APPStore", L"", set_ini));
  EXPECT_EQ(L"VanteloPDFconverter", Utils::GetProfileString(L"Install", L"AppName", L"", set_ini));
  EXPECT_EQ(32u, Utils::GetProfileString(L"Install", L"DeviceID", L"", set_ini).size());
  const fs::path analytics_ini = root_ / "home" / "data" / "KavrinData" / "VanteloPDFconverter" / "KVUsageAnalytics.ini";
  EXPECT_EQ(W(analytics_ini), Utils::GetProfileString(L"Install", L"KVUsageAnalyticsIni", L"", set_ini));
  EXPECT_EQ(19u, Utils::GetProfileString(L"Init", L"UpdateTime", L"", W(analytics_ini)).size());
}

TEST_F(Silent, OpensTheProductOnlyForAutoStartup) {
  Serve(demo_package_);
  const struct {
    const char* style;
    bool opened;
  } cases[] = {{"AutoStartup", true}, {"UserStartup", false}, {"NonStartup", false}};
  for (const auto& c : cases) {
    const fs::path parent = root_ / c.style;
    const Outcome run = InstallInto(parent, {std::string("-instcmd=-startupstyle=") + c.style});
    ASSERT_EQ(0, run.exit_code) << c.style << "\n" << Show(run);
    const fs::path mark = parent / "VanteloPDFconverter" / "product-started.txt";
    for (int i = 0; i < 40 && c.opened && !fs::exists(mark); ++i) std::this_thread::sleep_for(50ms);
    std::this_thread::sleep_for(c.opened ? 0ms : 200ms);
    EXPECT_EQ(c.opened, fs::exists(mark)) << c.style;
    // The next install checks that no product runs; let this one end.
    for (int i = 0; i < 100 && silent_platform::IsProcessRunning(L"pdfConverterInternal.exe"); ++i)
      std::this_thread::sleep_for(20ms);
  }
}

TEST_F(Silent, UpgradeUninstallsThePreviousVersionOrKeepsIt) {
  Serve(demo_package_);
  ASSERT_EQ(0, InstallInto(parent_).exit_code);
  fs::remove(folder_ / "product-started.txt");
  std::ofstream(folder_ / "old-version.txt") << "1.0";

  // Without -installdir the previous folder is updated; its uninstaller runs
  // first and takes the old files with it.
  Outcome run = Install({"-downloadurl=" + server_.Url()});
  ASSERT_EQ(0, run.exit_code) << Show(run);
  EXPECT_NE(std::string::npos, run.out.find("previous version is uninstalled first")) << run.out;
  EXPECT_TRUE(fs::exists(folder_ / "pdfConverterInternal.exe"));

  // IsOverride=false keeps the previous version: no uninstall.
  std::ofstream(folder_ / "set.ini", std::ios::app) << "[Uninstall]\nIsOverride=false\n";
  run = Install({"-downloadurl=" + server_.Url()});
  ASSERT_EQ(0, run.exit_code) << Show(run);
  EXPECT_EQ(std::string::npos, run.out.find("uninstalled first")) << run.out;
}

// Each failure class: its exit code, a one-line message, no package left.
TEST_F(Silent, ExitCodeForEachFailure) {
  Serve(demo_package_);
  const fs::path a_file = root_ / "a-file";
  std::ofstream(a_file) << "x";
  const fs::path text_package = root_ / "text";
  {
    std::ofstream text(text_package);
    for (int i = 0; i < 60000; ++i) text << "this is not a program\n";
  }
  const struct {
    const char* name;
    std::function<Outcome()> run;
    int exit_code;
    std::string message;
  } cases[] = {
      {"folder is a file", [&] { return Install({"-installdir=" + a_file.string() + "/x", "-downloadurl=" + server_.Url()}); },
       1, "无效路径"},
      {"folder under a file", [&] {
         // The chosen folder itself names an existing file.
         return Install({"-installdir=" + root_.string(), "-downloadurl=" + server_.Url()},
                        "mkdir -p " + Quote(root_.string()) + " && : > " + Quote((root_ / "VanteloPDFconverter").string()) + " && ");
       }, 1, "无效路径"},
      {"double quote", [&] { return InstallInto(root_ / "a\"b"); }, 1, "无效路径"},
      {"too long", [&] { return InstallInto(root_ / std::string(280, 'x')); }, 1, "无效路径"},
      {"empty folder", [&] { return Install({"-installdir=", "-downloadurl=" + server_.Url()}); }, 1, "无效路径"},
      // A relative folder is taken from the current folder; there it names a file.
      {"relative folder", [&] {
         return Install({"-installdir=a-file", "-downloadurl=" + server_.Url()}, "cd " + Quote(root_.string()) + " && ");
       }, 1, "\"" + (root_ / "a-file" / "VanteloPDFconverter").string() + "\""},
      {"download", [&] { return Install({"-installdir=" + parent_.string(), "-downloadurl=http://127.0.0.1:9/software/222"}); },
       4, "download failed"},
      {"package cannot write", [&] {
         fs::create_directories(folder_ / "pdfConverterInternal.exe" / "x");
         const Outcome run = InstallInto(parent_);
         fs::remove_all(folder_);
         return run;
       }, 6, "安装失败: cannot write"},
  };
  for (const auto& c : cases) {
    const Outcome run = c.run();
    EXPECT_EQ(c.exit_code, run.exit_code) << c.name << "\n" << Show(run);
    EXPECT_NE(std::string::npos, run.err.find(c.message)) << c.name << "\n" << Show(run);
    EXPECT_EQ(1, MessageLines(run.err)) << c.name << "\n" << Show(run);
    EXPECT_TRUE(NoPackageLeft()) << c.name;
  }
}

TEST_F(Silent, PackageThatIsNotAProgram) {
  const fs::path text_package = root_ / "text";
  {
    std::ofstream text(text_package);
    for (int i = 0; i < 60000; ++i) text << "this is not a program\n";
  }
  Serve(text_package);
  const Outcome run = InstallInto(parent_);
  EXPECT_EQ(6, run.exit_code) << Show(run);
  EXPECT_NE(std::string::npos, run.err.find("could not be started")) << Show(run);
  EXPECT_TRUE(NoPackageLeft());
}

TEST_F(Silent, ReadOnlyFolder) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  Serve(demo_package_);
  fs::create_directories(root_ / "readonly" / "VanteloPDFconverter");
  fs::permissions(root_ / "readonly", fs::perms::owner_read | fs::perms::owner_exec);
  fs::permissions(root_ / "readonly" / "VanteloPDFconverter", fs::perms::owner_read | fs::perms::owner_exec);
  const Outcome run = InstallInto(root_ / "readonly");
  fs::permissions(root_ / "readonly" / "VanteloPDFconverter", fs::perms::owner_all);
  EXPECT_EQ(1, run.exit_code) << Show(run);
}

TEST_F(Silent, FailedUninstallOfThePreviousVersion) {
  ASSERT_TRUE(fs::exists(fake_child_)) << fake_child_;
  Serve(demo_package_);
  const fs::path old = root_ / "Old";
  fs::create_directories(old);
  fs::copy_file(fake_child_, old / "uninst.ep");
  const fs::path copy = root_ / "tmp" / "~KavrinTemp.92482B06FB471E17" / "VanteloPDFconverter_un_asa.exe";
  fs::create_directories(copy.parent_path());
  std::ofstream(copy.string() + ".script") << "line State=Fail\n";
  Utils::WriteRegString(kInstallPathValue, W(old));
  const Outcome run = Install({"-downloadurl=" + server_.Url()});
  EXPECT_EQ(5, run.exit_code) << Show(run);
  EXPECT_NE(std::string::npos, run.err.find("could not be uninstalled")) << Show(run);
  EXPECT_FALSE(fs::exists(old / "__Package_VanteloPDFconverter.exe"));
  EXPECT_FALSE(fs::exists(old / "pdfConverterInternal.exe"));
}

TEST_F(Silent, ProductRunningAndAnotherInstance) {
  Serve(demo_package_);
  // A running program named like the product.
  ASSERT_TRUE(fs::exists(fake_child_)) << fake_child_;
  const fs::path running = root_ / "bin" / "pdfConverterInternal.exe";
  fs::create_directories(running.parent_path());
  fs::copy_file(fake_child_, running);
  std::ofstream(running.string() + ".script") << "sleep 20000\n";
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::execl(running.c_str(), running.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  std::this_thread::sleep_for(100ms);
  Outcome run = InstallInto(parent_);
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  EXPECT_EQ(7, run.exit_code) << Show(run);
  EXPECT_NE(std::string::npos, run.err.find("正在运行")) << Show(run);

  // Another installer holds the instance lock: -1 at once.
  Utils::SingleInstance other(L"Installer_VanteloPDFconverter");
  other.Create();
  ASSERT_TRUE(other.Held());
  run = InstallInto(parent_);
  EXPECT_EQ(255, run.exit_code) << Show(run);
  EXPECT_FALSE(fs::exists(folder_));
}

TEST_F(Silent, NetworkCheckWithoutANetwork) {
  // A private network namespace has only a loopback and no default route.
  if (std::system("unshare -rn true >/dev/null 2>&1") != 0) GTEST_SKIP() << "no network namespaces here";
  const Outcome run = Install({"-installdir=" + parent_.string(), "-ischecknet=true"}, "unshare -rn ");
  EXPECT_EQ(3, run.exit_code) << Show(run);
  EXPECT_NE(std::string::npos, run.err.find("当前网络环境较差")) << Show(run);
}

// The funnel events reach a real collector: the demo server's, started by
// its own script beside nginx.
TEST_F(Silent, FunnelEventsReachTheCollector) {
  const char* source = std::getenv("VANTELO_SOURCE_DIR");
  if (!source) GTEST_SKIP() << "VANTELO_SOURCE_DIR is not set";
  const std::string script = Quote((fs::path(source) / "tools" / "demo_server" / "demo_server.sh").string());
  const fs::path state = root_ / "demo";
  ASSERT_EQ(0, std::system(("bash " + script + " start " + Quote(state.string()) + " " + Quote(demo_package_.string()) +
                            " >/dev/null").c_str()));
  struct Stopper {
    std::string command;
    ~Stopper() { std::system(command.c_str()); }
  } stopper{"bash " + script + " stop " + Quote(state.string())};
  std::map<std::string, std::string> env;
  {
    std::ifstream in(state / "server.env");
    for (std::string line; std::getline(in, line);)
      if (line.find('=') != std::string::npos) env[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
  }
  // The names of the events received, in order, and the raw records.
  std::string raw;
  const auto events = [&] {
    const std::string file = (root_ / "events.txt").string();
    std::system(("bash " + script + " events " + Quote(state.string()) + " >" + Quote(file)).c_str());
    raw = Read(file);
    std::string names;
    std::istringstream lines(raw);
    for (std::string line; std::getline(lines, line);) {
      for (const char* key : {"\"kv_task_name\":\"", "\"kv_name\":\""}) {
        const size_t at = line.find(key);
        if (at == std::string::npos) continue;
        const size_t begin = at + std::strlen(key);
        names += line.substr(begin, line.find('"', begin) - begin) + "|";
      }
    }
    std::system(("curl -s -X POST " + env["COLLECTOR_CONTROL"] + "/clear >/dev/null").c_str());
    return names;
  };
  ASSERT_FALSE(env["COLLECTOR_URL"].empty());

  // The unattended install sends what a click on the custom page's button does.
  std::string command = Quote(installer_.string()) + " -silent -instcmd=-startupstyle=NonStartup -installdir=" + Quote(parent_.string()) +
                        " -downloadurl=" + env["DOWNLOAD_URL"] + " '-analyticsurl=" + env["COLLECTOR_URL"] + "' 2>/dev/null >/dev/null";
  EXPECT_EQ(0, WEXITSTATUS(std::system(command.c_str())));
  EXPECT_EQ("自定义安装_立即安装|安装中|下载器启动|开始下载大包|大包下载完毕|安装成功|", events());

  // A failed download sends its diagnosis.
  command = Quote(installer_.string()) + " -silent -installdir=" + Quote((root_ / "other").string()) +
            " -downloadurl=http://127.0.0.1:9/software/222 '-analyticsurl=" + env["COLLECTOR_URL"] + "' 2>/dev/null >/dev/null";
  EXPECT_EQ(4, WEXITSTATUS(std::system(command.c_str())));
  // The size queries of the HTTP client report their own failures on the
  // way, from the download thread, so they may come before or after the
  // download start; the last event is the diagnosis of the failed download.
  const std::string names = events();
  EXPECT_EQ(0u, names.find("自定义安装_立即安装|安装中|")) << names;
  EXPECT_NE(std::string::npos, names.find("|下载器启动|")) << names;
  EXPECT_NE(std::string::npos, names.find("|开始下载大包|")) << names;
  EXPECT_EQ(std::string::npos, names.find("安装成功")) << names;
  const std::string last = raw.substr(raw.rfind("record "));
  EXPECT_NE(std::string::npos, last.find("下载失败原因")) << last;
  EXPECT_NE(std::string::npos, last.find("4.缓存读写权限=可读")) << last;
}

TEST_F(Silent, LowDiskSpace) {
  // A 16 MiB memory file system as the install drive.
  const fs::path small = root_ / "small";
  fs::create_directories(small);
  if (::geteuid() != 0 || ::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=16m") != 0)
    GTEST_SKIP() << "mounting a small file system needs root";
  const Outcome run = InstallInto(small);
  ::umount(small.c_str());
  EXPECT_EQ(2, run.exit_code) << Show(run);
  EXPECT_NE(std::string::npos, run.err.find("低于1GB")) << Show(run);
}

}  // namespace
