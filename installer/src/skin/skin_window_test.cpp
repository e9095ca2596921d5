// Real windows under a private Xvfb, driven with xdotool.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "skin/sequence_controls.h"
#include "skin/skin_archive.h"
#include "skin/skin_resource.h"
#include "skin/skin_frame.h"
#include "skinui/container.h"
#include "skinui/controls.h"
#include "skinui/edit.h"
#include "utils/pump_messages.h"
#include "utils/text.h"

extern char** environ;

namespace {

using namespace skinui;

// Starts Xvfb on a free display for the whole test program.
class XvfbEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      std::string fd = std::to_string(fds[1]);
      int null = open("/dev/null", O_WRONLY);
      dup2(null, 2);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
             "-nolisten", "tcp", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    while (poll(&p, 1, 15000) > 0) {
      char c;
      if (read(fds[0], &c, 1) != 1 || c == '\n') break;
      number.push_back(c);
    }
    close(fds[0]);
    if (!number.empty()) {
      display_ = ":" + number;
      setenv("DISPLAY", display_.c_str(), 1);
    }
  }
  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  static const std::string& display() { return display_; }

 private:
  pid_t pid_ = -1;
  static inline std::string display_;
};

// Dispatches messages until |done| holds or |ms| pass; true when done.
bool PumpUntil(const std::function<bool()>& done, int ms = 5000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  Message msg;
  while (std::chrono::steady_clock::now() < end) {
    if (done()) return true;
    if (PeekMessage(msg)) {
      DispatchMessage(msg);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  return done();
}

pid_t Spawn(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  return pid;
}

// Runs xdotool with |args| while the windows keep handling their messages.
bool Xdotool(const std::vector<std::string>& args) {
  std::vector<std::string> full{"xdotool"};
  full.insert(full.end(), args.begin(), args.end());
  pid_t pid = Spawn(full);
  if (pid < 0) return false;
  int status = -1;
  PumpUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 10000);
  PumpUntil([] { return false; }, 60);  // let the resulting events arrive
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string Num(int v) { return std::to_string(v); }

class TestWindow : public CSkinFrame {
 public:
  explicit TestWindow(const std::wstring& skin)
      : CSkinFrame(SkinWindowInfo{4, 147, L"", skin, skin.substr(0, skin.rfind(L'.'))}) {}
  CControlUI* CreateSkinControl(const std::wstring& name) override {
    if (Utils::EqualsIgnoreCase(name, L"SequenceLabel")) return new CSequenceLabelUI;
    return nullptr;
  }
  void OnNotify(SkinNotify& msg) override {
    if (on_notify) on_notify(msg);
    notes.push_back(Utils::WideToUtf8(msg.type) + ":" +
                    (msg.sender ? Utils::WideToUtf8(msg.sender->GetName()) : ""));
    CSkinFrame::OnNotify(msg);
  }
  void OnControlClick(SkinNotify& msg) override {
    if (on_click) on_click(msg);
    CSkinFrame::OnControlClick(msg);
  }
  intptr_t HandleAppMessage(uint32_t message, uintptr_t wParam, intptr_t lParam,
                            bool& handled) override {
    if (message == kWmUser + 1000) {
      posted.push_back(static_cast<int>(wParam));
      handled = true;
    }
    return 0;
  }
  bool Has(const std::string& note) const {
    for (const std::string& n : notes) {
      if (n == note) return true;
    }
    return false;
  }
  std::vector<std::string> notes;
  std::vector<int> posted;
  std::function<void(SkinNotify&)> on_click;
  std::function<void(SkinNotify&)> on_notify;
};

// Ends a modal run that the test failed to end, so nothing hangs.
class Watchdog {
 public:
  Watchdog(WindowHandle window, int seconds)
      : thread_([this, window, seconds] {
          for (int i = 0; i < seconds * 10 && !stop_; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
          }
          if (!stop_) PostMessage(window, kWmClose, 99, 0);
        }) {}
  ~Watchdog() {
    stop_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

class SkinWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (XvfbEnvironment::display().empty()) GTEST_SKIP() << "Xvfb could not be started";
    if (std::system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xdotool";
    static bool once = [] {
      // Xvfb has no compositor; the shadow window is wanted here anyway.
      CSkinShadow::Initialize(false);
      return true;
    }();
    (void)once;
  }
};

skinui::Point Centre(const Rect& r) { return Point{r.left + r.width() / 2, r.top + r.height() / 2}; }

struct SkinCase {
  const wchar_t* file;
  Size size;
  const wchar_t* button;  // a button to click
  Point drag_from;        // a point of the caption band off the buttons (client)
};

TEST_F(SkinWindowTest, EverySkinOpensDragsClicksIgnoresEscapeAndClosesWithAltF4) {
  const SkinCase cases[] = {
      {L"MainWnd.xml", {600, 400}, L"defaultInstallBtn", {300, 15}},
      {L"ExitTipWnd.xml", {360, 180}, L"okBtn", {200, 15}},
      {L"InstalledPathTipWnd.xml", {360, 180}, L"okBtn", {200, 15}},
      {L"NetworkTipWnd.xml", {360, 180}, L"cancelBtn", {200, 15}},
      {L"MessageBox1Wnd.xml", {360, 180}, L"closebtn", {200, 15}},
      {L"MessageBox2Wnd.xml", {360, 180}, L"closebtn", {200, 15}},
  };
  for (const SkinCase& c : cases) {
    const std::string where = Utils::WideToUtf8(c.file);
    TestWindow w(c.file);
    // closebtn would close the window: count its clicks without closing.
    ASSERT_TRUE(w.Create(kNoWindow, L"test", kWsVisible | kWsOverlappedWindow, 0)) << where;
    w.CenterWindow();
    ASSERT_TRUE(w.skin_loaded()) << where;
    ASSERT_TRUE(PumpUntil([&] { return !w.framebuffer().empty(); })) << where << ": painted";
    const Rect start = w.GetWindowRect();
    EXPECT_EQ(start.width(), c.size.cx) << where;
    EXPECT_EQ(start.height(), c.size.cy) << where;
    EXPECT_FALSE(w.GetRegion().empty()) << where << ": rounded region";

    // The shadow: 12 px larger, at (left - 5, top - 5).
    CNativeWindow* shadow = FromHandle(w.shadow().window());
    ASSERT_NE(shadow, nullptr) << where;
    ASSERT_TRUE(PumpUntil([&] { return shadow->GetWindowRect().width() == c.size.cx + 12; }))
        << where;
    EXPECT_EQ(shadow->GetWindowRect().left, start.left - 5) << where;
    EXPECT_EQ(shadow->GetWindowRect().top, start.top - 5) << where;

    // Drag by the caption band.
    const int x0 = start.left + c.drag_from.x, y0 = start.top + c.drag_from.y;
    ASSERT_TRUE(Xdotool({"mousemove", Num(x0), Num(y0), "mousedown", "1", "mousemove",
                         Num(x0 + 20), Num(y0 + 10), "mousemove", Num(x0 + 40), Num(y0 + 30),
                         "mouseup", "1"}));
    PumpUntil([&] { return w.GetWindowRect().left == start.left + 40; }, 3000);
    EXPECT_EQ(w.GetWindowRect().left, start.left + 40) << where << ": dragged";
    EXPECT_EQ(w.GetWindowRect().top, start.top + 30) << where;
    EXPECT_EQ(shadow->GetWindowRect().left, start.left + 40 - 5) << where << ": shadow follows";

    // A click on a button raises "click" (and, for closebtn, asks to close
    // with code 1).
    const Rect moved = w.GetWindowRect();
    CControlUI* button = w.FindControl(c.button);
    ASSERT_NE(button, nullptr) << where;
    const Point b = Centre(button->GetPos());
    ASSERT_TRUE(Xdotool({"mousemove", Num(moved.left + b.x), Num(moved.top + b.y), "click", "1"}));
    PumpUntil([&] { return w.Has("click:" + Utils::WideToUtf8(c.button)); }, 3000);
    EXPECT_TRUE(w.Has("click:" + Utils::WideToUtf8(c.button))) << where;
    if (IsWindow(w.GetHWND())) {
      EXPECT_EQ(w.GetWindowRect().left, moved.left) << where << ": a button does not drag";
    }

    if (IsWindow(w.GetHWND())) {
      // Escape does nothing.
      ASSERT_TRUE(Xdotool({"key", "Escape"}));
      EXPECT_TRUE(IsWindow(w.GetHWND())) << where << ": Escape";
      // Alt+F4 ends the modal run with code 0.
      pid_t pid = Spawn({"xdotool", "sleep", "0.3", "key", "alt+F4"});
      ASSERT_GT(pid, 0);
      Watchdog dog(w.GetHWND(), 10);
      EXPECT_EQ(w.ShowModal(), 0u) << where << ": Alt+F4";
      waitpid(pid, nullptr, 0);
    } else {
      EXPECT_EQ(c.button, std::wstring(L"closebtn")) << where;
    }
    EXPECT_FALSE(IsWindow(w.GetHWND())) << where;
    EXPECT_EQ(FromHandle(w.shadow().window()), nullptr) << where << ": the shadow goes too";
  }
}

TEST_F(SkinWindowTest, ModalDialogDisablesOwnerWhilePostedMessagesStillArrive) {
  TestWindow owner(L"MainWnd.xml");
  ASSERT_TRUE(owner.Create(kNoWindow, L"main", kWsVisible | kWsOverlappedWindow, 0));
  owner.CenterWindow();
  ASSERT_TRUE(PumpUntil([&] { return !owner.framebuffer().empty(); }));

  TestWindow dialog(L"ExitTipWnd.xml");
  ASSERT_TRUE(dialog.Create(owner.GetHWND(), L"dialog", kWsVisible | kWsOverlappedWindow, 0));
  dialog.CenterWindow();
  ASSERT_TRUE(PumpUntil([&] { return !dialog.framebuffer().empty(); }));
  const Rect o = owner.GetWindowRect(), d = dialog.GetWindowRect();
  EXPECT_EQ(d.left, o.left + (o.width() - d.width()) / 2) << "centred over the owner";
  EXPECT_EQ(d.top, o.top + (o.height() - d.height()) / 2);

  bool owner_enabled_during = true;
  std::vector<int> posted_during;
  dialog.on_click = [&](SkinNotify& msg) {
    if (msg.sender->GetName() == L"okBtn") {
      owner_enabled_during = owner.IsWindowEnabled();
      posted_during = owner.posted;
      dialog.Close(7);
    }
  };
  // Once the dialog runs: a worker posts to the owner; when the owner has
  // handled the posts, xdotool clicks the owner's custom-install button
  // (outside the dialog) and then the dialog's okBtn.
  CControlUI* install = owner.FindControl(L"customeBtn");
  CControlUI* ok = dialog.FindControl(L"okBtn");
  const Point pi = Centre(install->GetPos()), po = Centre(ok->GetPos());
  std::thread worker;
  pid_t pid = -1;
  dialog.on_notify = [&](SkinNotify& msg) {
    if (msg.type != L"timer") return;
    if (!worker.joinable()) {
      worker = std::thread([h = owner.GetHWND()] {
        for (int i = 1; i <= 3; ++i) PostMessage(h, kWmUser + 1000, static_cast<uintptr_t>(i), 0);
      });
    } else if (pid < 0 && owner.posted.size() == 3) {
      dialog.manager().KillTimer(dialog.manager().GetRoot(), 1);
      pid = Spawn({"xdotool", "mousemove", Num(o.left + pi.x), Num(o.top + pi.y), "click", "1",
                   "sleep", "0.2", "mousemove", Num(d.left + po.x), Num(d.top + po.y), "click", "1"});
    }
  };
  dialog.manager().SetTimer(dialog.manager().GetRoot(), 1, 20);
  uint32_t result;
  {
    Watchdog dog(dialog.GetHWND(), 10);
    result = dialog.ShowModal();
  }
  if (worker.joinable()) worker.join();
  ASSERT_GT(pid, 0);
  waitpid(pid, nullptr, 0);
  EXPECT_EQ(result, 7u);
  EXPECT_FALSE(owner_enabled_during);
  EXPECT_EQ(posted_during, (std::vector<int>{1, 2, 3})) << "handled while the dialog ran";
  EXPECT_FALSE(owner.Has("click:customeBtn")) << "the disabled owner ignores clicks";
  EXPECT_TRUE(owner.IsWindowEnabled()) << "enabled again";
  EXPECT_FALSE(IsWindow(dialog.GetHWND()));
  EXPECT_TRUE(IsWindow(owner.GetHWND()));
}

TEST_F(SkinWindowTest, QuitEndsTheModalRunAndIsPostedAgain) {
  TestWindow w(L"MessageBox1Wnd.xml");
  ASSERT_TRUE(w.Create(kNoWindow, L"q", kWsVisible | kWsOverlappedWindow, 0));
  w.on_notify = [&w](SkinNotify& msg) {
    if (msg.type != L"timer") return;
    w.manager().KillTimer(w.manager().GetRoot(), 1);
    PostQuitMessage(5);
  };
  w.manager().SetTimer(w.manager().GetRoot(), 1, 20);
  {
    Watchdog dog(w.GetHWND(), 10);
    EXPECT_EQ(w.ShowModal(), 0u) << "no WM_CLOSE was taken";
  }
  EXPECT_TRUE(IsWindow(w.GetHWND()));
  Message msg;
  ASSERT_TRUE(PumpUntil([&] { return PeekMessage(msg) && msg.message == kWmQuit; }, 1000));
  EXPECT_EQ(msg.wParam, 5u);
}

TEST_F(SkinWindowTest, MinimisingHidesTheShadowAndRestoringShowsIt) {
  TestWindow w(L"NetworkTipWnd.xml");
  ASSERT_TRUE(w.Create(kNoWindow, L"m", kWsVisible | kWsOverlappedWindow, 0));
  ASSERT_TRUE(PumpUntil([&] { return !w.framebuffer().empty(); }));
  CNativeWindow* shadow = FromHandle(w.shadow().window());
  ASSERT_NE(shadow, nullptr);
  EXPECT_TRUE(shadow->IsVisible());
  // The minimise button of the skin would do the same; NetworkTipWnd has none.
  SendMessage(w.GetHWND(), kWmSysCommand, kScMinimize, 0);
  EXPECT_FALSE(shadow->IsVisible());
  EXPECT_FALSE(w.shadow().IsVisible());
  w.Restore();
  EXPECT_TRUE(shadow->IsVisible());
  w.DestroyWindow();
  EXPECT_EQ(FromHandle(w.shadow().window()), nullptr);
}

TEST_F(SkinWindowTest, ShowShadowTrueIgnoresCaseAndRefusedValuesKeepDefaults) {
  const char* bin = std::getenv("VANTELO_BINARY_DIR");
  std::ifstream in(std::string(bin ? bin : ".") + "/installer/src/skin/testdata/fixture.7z",
                   std::ios::binary);
  std::vector<uint8_t> fixture((std::istreambuf_iterator<char>(in)), {});
  ASSERT_TRUE(SkinPackage::OpenFromMemory(fixture.data(), fixture.size()));
  {
    TestWindow yes(L"shadowYes.xml");
    ASSERT_TRUE(yes.Create(kNoWindow, L"y", kWsVisible | kWsOverlappedWindow, 0));
    EXPECT_EQ(yes.shadow().window(), kNoWindow) << "\"yes\" is not true";
    TestWindow upper(L"shadowTrue.xml");
    ASSERT_TRUE(upper.Create(kNoWindow, L"t", kWsVisible | kWsOverlappedWindow, 0));
    ASSERT_NE(upper.shadow().window(), kNoWindow) << "\"TRUE\" counts";
    const ShadowParams& p = upper.shadow().params();
    EXPECT_EQ(p.size, 6);
    EXPECT_EQ(p.sharpness, 5) << "25 is refused";
    EXPECT_EQ(p.darkness, 150) << "300 is refused";
    EXPECT_EQ(p.x_offset, 2);
    EXPECT_EQ(p.y_offset, 3);
    EXPECT_EQ(p.color, 0xFFEDF0F4u);
    ASSERT_TRUE(PumpUntil([&] { return !upper.framebuffer().empty(); }));
    const Rect r = upper.GetWindowRect();
    CNativeWindow* shadow = FromHandle(upper.shadow().window());
    EXPECT_EQ(shadow->GetWindowRect(), (Rect{r.left + 2 - 6, r.top + 3 - 6, r.right + 2 + 6,
                                              r.bottom + 3 + 6}));
  }
  // Back to the package linked into the program for the other tests.
  const uint8_t* data = nullptr;
  size_t size = 0;
  ASSERT_TRUE(FindSkinResource(kSkinResourceId, kSkinResourceType, &data, &size));
  ASSERT_TRUE(SkinPackage::OpenFromMemory(data, size));
}

TEST_F(SkinWindowTest, TypingIntoTheEditIncludingChinese) {
  TestWindow w(L"MainWnd.xml");
  ASSERT_TRUE(w.Create(kNoWindow, L"main", kWsVisible | kWsOverlappedWindow, 0));
  w.CenterWindow();
  ASSERT_TRUE(PumpUntil([&] { return !w.framebuffer().empty(); }));
  auto* tabs = static_cast<CTabLayoutUI*>(w.FindControl(L"mainTabLt")->GetInterface(L"TabLayout"));
  tabs->SelectItem(1);
  EXPECT_TRUE(w.Has("tabselect:mainTabLt"));
  PumpUntil([&] { return w.FindControl(L"installDirEdit")->GetPos().width() == 340; });
  auto* edit = static_cast<CEditUI*>(w.FindControl(L"installDirEdit")->GetInterface(L"Edit"));
  edit->SetText(L"D:\\Soft");
  const Rect r = w.GetWindowRect();
  const Point e = Centre(edit->GetPos());
  ASSERT_TRUE(Xdotool({"mousemove", Num(r.left + e.x), Num(r.top + e.y), "click", "1"}));
  ASSERT_TRUE(PumpUntil([&] { return edit->IsFocused(); }));
  ASSERT_TRUE(Xdotool({"key", "End", "BackSpace", "BackSpace", "BackSpace", "BackSpace"}));
  ASSERT_TRUE(Xdotool({"type", "--delay", "20", "Apps安装"}));
  PumpUntil([&] { return edit->GetText() == L"D:\\Apps安装"; }, 3000);
  EXPECT_EQ(edit->GetText(), L"D:\\Apps安装");
  ASSERT_TRUE(Xdotool({"key", "Home", "Delete", "shift+Right", "Delete"}));
  PumpUntil([&] { return edit->GetText() == L"\\Apps安装"; }, 3000);
  EXPECT_EQ(edit->GetText(), L"\\Apps安装");
}

TEST_F(SkinWindowTest, TimersPostingAndPumpMessages) {
  TestWindow w(L"ExitTipWnd.xml");
  ASSERT_TRUE(w.Create(kNoWindow, L"t", kWsVisible | kWsOverlappedWindow, 0));
  CControlUI* root = w.manager().GetRoot();
  w.manager().SetTimer(root, 10, 30);
  ASSERT_TRUE(PumpUntil([&] { return w.Has("timer:"); }, 3000)) << "a timer on the root fires";
  w.manager().KillTimer(root, 10);
  // Queued notifications from another thread arrive on this one.
  std::thread([&] { w.manager().SendNotify(root, L"checknet", 1, 0, true); }).join();
  EXPECT_TRUE(PumpUntil([&] { return w.Has("checknet:"); }, 3000));

  // PumpMessages stops by time while the window lives...
  const auto t0 = std::chrono::steady_clock::now();
  std::thread ticker([h = w.GetHWND()] {
    for (int i = 0; i < 30; ++i) {
      PostMessage(h, kWmUser + 1000, 0, 0);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
  EXPECT_TRUE(Utils::PumpMessages(w.GetHWND()));
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(100));
  ticker.join();
  // ...and at a quit message, which it posts again.
  PostQuitMessage(3);
  EXPECT_FALSE(Utils::PumpMessages(w.GetHWND()));
  Message msg;
  ASSERT_TRUE(PumpUntil([&] { return PeekMessage(msg) && msg.message == kWmQuit; }, 1000));
  EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(SkinWindowTest, MissingSkinShowsTheLoadFailureAndExitsWithOne) {
  const char* bin = std::getenv("VANTELO_BINARY_DIR");
  const std::string viewer = std::string(bin ? bin : ".") + "/tools/skin_viewer/skin_viewer";
  if (access(viewer.c_str(), X_OK) != 0) GTEST_SKIP() << "skin_viewer not built";
  pid_t pid = Spawn({viewer, "NoSuchWnd.xml"});
  ASSERT_GT(pid, 0);
  // The message box is a window titled "SkinUI"; Return closes it.
  pid_t key = Spawn({"sh", "-c",
                     "w=$(xdotool search --sync --name '^SkinUI$' | head -n1) && "
                     "xdotool key --window \"$w\" Return"});
  int status = -1;
  for (int i = 0; i < 200 && waitpid(pid, &status, WNOHANG) != pid; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (!WIFEXITED(status)) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  kill(key, SIGKILL);
  waitpid(key, nullptr, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
}

const auto* const kXvfb = ::testing::AddGlobalTestEnvironment(new XvfbEnvironment);

}  // namespace
