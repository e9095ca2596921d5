// The window base on whatever window system the platform has (Win32 under
// Wine, X11 with $DISPLAY), without synthetic input: skins load into real
// windows of the right size and shape, modal runs return the close code,
// and a modal dialog keeps its owner disabled while posts to it are handled.
#include "skin/skin_frame.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "skin/sequence_controls.h"
#include "utils/text.h"

namespace {

using namespace skinui;

class Frame : public CSkinFrame {
 public:
  explicit Frame(const std::wstring& skin)
      : CSkinFrame(SkinWindowInfo{4, 147, L"", skin, skin.substr(0, skin.rfind(L'.'))}) {}
  CControlUI* CreateSkinControl(const std::wstring& name) override {
    if (Utils::EqualsIgnoreCase(name, L"SequenceLabel")) return new CSequenceLabelUI;
    return nullptr;
  }
  void OnNotify(SkinNotify& msg) override {
    if (on_notify) on_notify(msg);
    CSkinFrame::OnNotify(msg);
  }
  intptr_t HandleAppMessage(uint32_t message, uintptr_t wParam, intptr_t, bool& handled) override {
    if (message == kWmUser + 1000) {
      posted.push_back(static_cast<int>(wParam));
      handled = true;
    }
    return 0;
  }
  std::function<void(SkinNotify&)> on_notify;
  std::vector<int> posted;
};

class SkinFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!WindowSystemAvailable()) GTEST_SKIP() << "no window system (no display)";
    static bool once = (CSkinShadow::Initialize(false), true);
    (void)once;
  }
};

// Ends a modal run that the test failed to end.
class Watchdog {
 public:
  explicit Watchdog(WindowHandle w)
      : thread_([this, w] {
          for (int i = 0; i < 100 && !stop_; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
          if (!stop_) PostMessage(w, kWmClose, 99, 0);
        }) {}
  ~Watchdog() {
    stop_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

TEST_F(SkinFrameTest, EachSkinLoadsIntoAShapedWindowAndReturnsItsCloseCode) {
  struct Case { const wchar_t* file; int w, h; } cases[] = {
      {L"MainWnd.xml", 600, 400},        {L"ExitTipWnd.xml", 360, 180},
      {L"InstalledPathTipWnd.xml", 360, 180}, {L"NetworkTipWnd.xml", 360, 180},
      {L"MessageBox1Wnd.xml", 360, 180}, {L"MessageBox2Wnd.xml", 360, 180},
  };
  uint32_t code = 10;
  for (const Case& c : cases) {
    const std::string where = Utils::WideToUtf8(c.file);
    Frame f(c.file);
    ASSERT_TRUE(f.Create(kNoWindow, L"test", kWsVisible | kWsOverlappedWindow, 0)) << where;
    ASSERT_TRUE(f.skin_loaded()) << where;
    f.CenterWindow();
    EXPECT_EQ(f.GetClientSize(), (Size{c.w, c.h})) << where;
    EXPECT_EQ(f.GetRegion().size(), static_cast<size_t>(c.h)) << where << ": rounded region";
    EXPECT_LT(f.GetRegion().front().start, 2) << where;
    EXPECT_EQ(f.GetStyle() & kWsCaption, 0u) << where << ": no caption";
    const Rect work = f.GetWorkArea(), r = f.GetWindowRect();
    EXPECT_NEAR(r.left - work.left, work.right - r.right, 1) << where << ": centred";
    f.Close(++code);
    Watchdog dog(f.GetHWND());
    EXPECT_EQ(f.ShowModal(), code) << where;
    EXPECT_FALSE(IsWindow(f.GetHWND())) << where;
  }
}

TEST_F(SkinFrameTest, ModalDialogKeepsOwnerDisabledWhilePostsToItAreHandled) {
  Frame owner(L"MainWnd.xml");
  ASSERT_TRUE(owner.Create(kNoWindow, L"main", kWsVisible | kWsOverlappedWindow, 0));
  Frame dialog(L"ExitTipWnd.xml");
  ASSERT_TRUE(dialog.Create(owner.GetHWND(), L"dialog", kWsVisible | kWsOverlappedWindow, 0));
  dialog.CenterWindow();
  const Rect o = owner.GetWindowRect(), d = dialog.GetWindowRect();
  EXPECT_EQ(d.left - o.left, (o.width() - d.width()) / 2);

  std::thread worker;
  bool owner_disabled = false;
  dialog.on_notify = [&](SkinNotify& msg) {
    if (msg.type != L"timer") return;
    if (!worker.joinable()) {
      owner_disabled = !owner.IsWindowEnabled();
      worker = std::thread([h = owner.GetHWND()] {
        for (int i = 1; i <= 3; ++i) PostMessage(h, kWmUser + 1000, static_cast<uintptr_t>(i), 0);
      });
    } else if (owner.posted.size() == 3) {
      dialog.manager().KillTimer(dialog.manager().GetRoot(), 1);
      dialog.Close(4);
    }
  };
  dialog.manager().SetTimer(dialog.manager().GetRoot(), 1, 20);
  uint32_t result;
  {
    Watchdog dog(dialog.GetHWND());
    result = dialog.ShowModal();
  }
  if (worker.joinable()) worker.join();
  EXPECT_EQ(result, 4u);
  EXPECT_TRUE(owner_disabled);
  EXPECT_EQ(owner.posted, (std::vector<int>{1, 2, 3}));
  EXPECT_TRUE(owner.IsWindowEnabled());
  EXPECT_TRUE(IsWindow(owner.GetHWND()));
}

}  // namespace
