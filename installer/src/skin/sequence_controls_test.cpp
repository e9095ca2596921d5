#include "skin/sequence_controls.h"

#include <gtest/gtest.h>

#include "skin/markup_builder.h"
#include "skinui/control_manager.h"
#include "utils/text.h"

namespace {

struct Factory : ISkinBuilderCallback {
  CControlUI* CreateSkinControl(const std::wstring& name) override {
    if (Utils::EqualsIgnoreCase(name, L"SequenceLabel")) return new CSequenceLabelUI;
    if (Utils::EqualsIgnoreCase(name, L"SequenceButton")) return new CSequenceButtonUI;
    return nullptr;
  }
};

struct Host : IManagerHost {
  bool SetSystemTimer(uint32_t id, uint32_t ms) override {
    running[id] = ms;
    return true;
  }
  void KillSystemTimer(uint32_t id) override { running.erase(id); }
  void PostNotifyWakeup() override {}
  void RequestRepaint() override {}
  std::map<uint32_t, uint32_t> running;
};

// Builds one animated control and ticks its timer, collecting the frame
// number of the background image after each tick (-1 while none).
struct Fixture {
  explicit Fixture(const std::string& element) {
    m.SetHost(&host);
    std::string xml = "<Window><HorizontalLayout>" + element + "</HorizontalLayout></Window>";
    m.AttachDialog(CMarkupBuilder::Build(std::vector<uint8_t>(xml.begin(), xml.end()), m, &factory));
    control = m.FindControl(L"anim");
  }
  std::vector<int> Run(int ticks) {
    std::vector<int> frames;
    for (int i = 0; i < ticks; ++i) {
      if (host.running.empty()) break;
      m.OnSystemTimer(host.running.begin()->first);
      std::wstring image = control->GetBkImage();
      frames.push_back(image.empty() ? -1 : std::stoi(image.substr(image.size() - 7, 3)));
    }
    return frames;
  }
  Host host;
  Factory factory;
  CSkinManagerUI m;
  CControlUI* control = nullptr;
};

TEST(SequenceTest, FrameOrderForEachMode) {
  struct Case { const char* attrs; int ticks; std::vector<int> frames; bool still_running; } cases[] = {
      {"sequencecount='3'", 7, {0, 1, 2, 0, 1, 2, 0}, true},
      {"sequencecount='3' sequenceround='true'", 9, {0, 1, 2, 1, 0, 1, 2, 1, 0}, true},
      {"sequencecount='3' sequenceround='true' sequenceloop='false'", 9, {0, 1, 2, 1, 1}, false},
      {"sequencecount='3' sequenceloop='false'", 9, {0, 1, 2, 2}, false},
      {"sequencecount='1'", 3, {0, 0, 0}, true},
      {"sequencecount='0'", 3, {0, 1, 2}, true},
      {"sequencecount='3' sequenceloop='False'", 5, {0, 1, 2, 0, 1}, true},
  };
  for (const Case& c : cases) {
    Fixture f(std::string("<SequenceLabel name='anim' autostart='true' "
                          "sequencebkimage='res\\mainWnd\\installBtnAnimate\\%.3d.png' ") +
              c.attrs + "/>");
    ASSERT_NE(f.control, nullptr) << c.attrs;
    EXPECT_EQ(f.Run(c.ticks), c.frames) << c.attrs;
    EXPECT_EQ(!f.host.running.empty(), c.still_running) << c.attrs;
  }
}

TEST(SequenceTest, AttributesDefaultsAndPaths) {
  Fixture f("<SequenceLabel name='anim' sequencebkimage='res\\mainWnd\\installBtnAnimate\\%.3d.png'"
            " SequenceCount='1' sequencespan='30' sequenceround='false' autostart='true'/>");
  auto* label = static_cast<CSequenceLabelUI*>(f.control->GetInterface(L"SequenceLabel"));
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->GetClass(), L"SequenceLabel");
  EXPECT_EQ(label->GetFrameCount(), 1) << "count is named ignoring case";
  EXPECT_EQ(label->GetSpan(), 30);
  ASSERT_EQ(f.host.running.size(), 1u) << "autostart sets the timer at initialisation";
  EXPECT_EQ(f.host.running.begin()->second, 30u);
  f.Run(1);
  EXPECT_EQ(label->GetBkImage(), L"res\\mainWnd\\installBtnAnimate\\000.png");

  // sequencebkimage is named case-sensitively.
  Fixture upper("<SequenceLabel name='anim' SequenceBkImage='x%d.png' sequencecount='2'/>");
  EXPECT_EQ(static_cast<CSequenceLabelUI*>(upper.control)->GetFrameFormat(), L"");

  Fixture button("<SequenceButton name='anim'/>");
  auto* b = static_cast<CSequenceButtonUI*>(button.control->GetInterface(L"SequenceButton"));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->GetSpan(), 60);
  EXPECT_TRUE(b->animation().back_and_forth_);
  EXPECT_NE(b->GetInterface(L"Button"), nullptr);
  EXPECT_TRUE(button.host.running.empty()) << "no autostart";
}

TEST(SequenceTest, RestartAndStop) {
  Fixture f("<SequenceLabel name='anim' sequencebkimage='res\\%.3d.png' sequencecount='5'"
            " sequencespan='40'/>");
  auto* label = static_cast<CSequenceLabelUI*>(f.control);
  label->Start();
  EXPECT_EQ(f.Run(3), (std::vector<int>{0, 1, 2}));
  label->SetSpan(99);
  label->Start();
  EXPECT_EQ(f.host.running.begin()->second, 40u) << "a running timer keeps its interval";
  EXPECT_EQ(f.Run(2), (std::vector<int>{0, 1}));
  label->Stop();
  EXPECT_TRUE(f.host.running.empty());
  label->Start();
  EXPECT_EQ(f.host.running.begin()->second, 99u) << "a stopped one takes the new span";
}

TEST(SequenceTest, HostileFormatsShowNothing) {
  for (const char* format : {"%s.png", "%d%d.png", "%n", "plain.png", "%.3d%"}) {
    Fixture f(std::string("<SequenceLabel name='anim' autostart='true' sequencecount='2' "
                          "sequencebkimage='") + format + "'/>");
    f.m.OnSystemTimer(f.host.running.begin()->first);
    EXPECT_EQ(f.control->GetBkImage(), L"") << format;
  }
}

}  // namespace
