#include "skin/markup_builder.h"

#include <gtest/gtest.h>

#include <string>

#include "skinui/container.h"
#include "skinui/control_manager.h"
#include "skinui/controls.h"
#include "skinui/edit.h"
#include "skinui/image_description.h"
#include "skinui/painter.h"
#include "utils/text.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

struct Recorder : ISkinNotifier {
  void Notify(SkinNotify& msg) override {
    seen.push_back(Utils::WideToUtf8(msg.type) + ":" +
                   (msg.sender ? Utils::WideToUtf8(msg.sender->GetName()) : "") + ":" +
                   std::to_string(msg.wParam) + ":" + std::to_string(msg.lParam));
  }
  std::vector<std::string> seen;
};

// Builds |xml| into |m| and lays it out at the skin's size.
CControlUI* BuildInto(CSkinManagerUI& m, const std::string& xml, ISkinBuilderCallback* cb = nullptr) {
  CControlUI* root = CMarkupBuilder::Build(Bytes(xml), m, cb);
  if (root != nullptr) {
    m.AttachDialog(root);
    m.SetClientSize(m.GetInitSize());
    skinui::Bitmap fb;
    m.Paint(fb);
  }
  return root;
}

TEST(MarkupBuilderTest, WindowAttributesFontsAndCustomAttributes) {
  CSkinManagerUI m;
  ASSERT_NE(BuildInto(m, "\xEF\xBB\xBF<?xml version='1.0' encoding='utf-8'?>"
                         "<!-- comment --><wINDOW size='600,400' caption='0,0,0,35' roundcorner='2,2'"
                         " showshadow='TRUE' shadowcolor='#26003B76' bogus='x'>"
                         "<Font id='0' name='微软雅黑' size='14' default='true'/>"
                         "<Font id='1' name='Other' size='18' bold='true' underline='true'/>"
                         "<Font name='NoId' size='30'/>"
                         "<Font id='3' size='30'/>"
                         "<Font id='-2' name='Negative'/>"
                         "<FONT id='4' name='Upper'/>"
                         "<Control/></wINDOW>"),
            nullptr);
  EXPECT_EQ(m.GetInitSize(), (skinui::Size{600, 400}));
  EXPECT_EQ(m.GetCaptionRect(), (skinui::Rect{0, 0, 0, 35}));
  EXPECT_EQ(m.GetRoundCorner(), (skinui::Size{2, 2}));
  EXPECT_EQ(m.GetWindowCustomAttribute(L"showshadow"), L"TRUE");
  EXPECT_EQ(m.GetWindowCustomAttribute(L"shadowcolor"), L"#26003B76");
  EXPECT_EQ(m.GetWindowCustomAttribute(L"bogus"), L"x");
  EXPECT_EQ(m.GetWindowCustomAttribute(L"size"), L"") << "known attributes are not custom";

  EXPECT_TRUE(m.HasFont(0));
  EXPECT_TRUE(m.HasFont(1));
  EXPECT_TRUE(m.HasFont(4)) << "element names ignore case";
  EXPECT_FALSE(m.HasFont(3)) << "a font without a name defines nothing";
  EXPECT_FALSE(m.HasFont(-2));
  EXPECT_EQ(m.GetFont(1).size, 18);
  EXPECT_TRUE(m.GetFont(1).bold);
  EXPECT_TRUE(m.GetFont(1).underline);
  EXPECT_EQ(m.GetFont(77).face, L"微软雅黑") << "unknown ids give the default font";
  EXPECT_EQ(m.GetFont(77).size, 14);
}

TEST(MarkupBuilderTest, ElementRulesAndNameLookup) {
  CSkinManagerUI m;
  ASSERT_NE(BuildInto(m, "<Window size='100,100'>"
                         "<VERTICALLAYOUT name='winCtn'>"
                         "  <button name='okBtn' text='OK' isstretchfore='true' hotfont='1'/>"
                         "  <Mystery name='hidden'><Button name='inside'/></Mystery>"
                         "  <Label name='lbl' userdata='free text'/>"
                         "</VERTICALLAYOUT></Window>"),
            nullptr);
  ASSERT_NE(m.FindControl(L"winCtn"), nullptr);
  EXPECT_EQ(m.FindControl(L"WinCtn"), nullptr) << "names are case-sensitive";
  EXPECT_EQ(m.FindControl(L"hidden"), nullptr) << "unknown elements are skipped";
  EXPECT_EQ(m.FindControl(L"inside"), nullptr) << "together with their children";
  CControlUI* ok = m.FindControl(L"okBtn");
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->GetClass(), L"Button");
  EXPECT_EQ(ok->GetText(), L"OK");
  EXPECT_EQ(m.FindControl(L"lbl")->GetUserData(), L"free text");
  EXPECT_EQ(ok->GetUserData(), L"");
}

TEST(MarkupBuilderTest, OnlyTheFirst64AttributesCount) {
  for (int filler : {63, 64}) {
    std::string xml = "<Window><Label";
    for (int i = 0; i < filler; ++i) xml += " a" + std::to_string(i) + "='1'";
    xml += " name='late'/></Window>";
    CSkinManagerUI m;
    ASSERT_NE(BuildInto(m, xml), nullptr);
    EXPECT_EQ(m.FindControl(L"late") != nullptr, filler == 63) << filler << " attributes before";
  }
}

TEST(MarkupBuilderTest, BadMarkupIsRefusedWithoutCrashing) {
  CSkinManagerUI m;
  std::wstring error;
  EXPECT_EQ(CMarkupBuilder::Build(Bytes("this is not xml"), m, nullptr, &error), nullptr);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(CMarkupBuilder::Build(Bytes("<Window><Font id='0' name='x'/></Window>"), m, nullptr),
            nullptr) << "no control";
  EXPECT_EQ(CMarkupBuilder::Build(Bytes("<Window><Label>"), m, nullptr), nullptr) << "unclosed";

  // 10,000 nested layouts: built down to the depth limit, deeper ones dropped.
  std::string deep = "<Window>";
  for (int i = 0; i < 10000; ++i) deep += "<VerticalLayout>";
  deep += "<Label name='bottom'/>";
  for (int i = 0; i < 10000; ++i) deep += "</VerticalLayout>";
  deep += "</Window>";
  CSkinManagerUI d;
  ASSERT_NE(BuildInto(d, deep), nullptr);
  EXPECT_EQ(d.FindControl(L"bottom"), nullptr);
}

struct SequenceFactory : ISkinBuilderCallback {
  CControlUI* CreateSkinControl(const std::wstring& name) override {
    asked.push_back(name);
    return Utils::EqualsIgnoreCase(name, L"SequenceLabel") ? new CLabelUI : nullptr;
  }
  std::vector<std::wstring> asked;
};

TEST(MarkupBuilderTest, UnknownElementsGoToTheCallback) {
  CSkinManagerUI m;
  SequenceFactory factory;
  ASSERT_NE(BuildInto(m, "<Window><HorizontalLayout><sequencelabel name='anim'/>"
                         "<Other name='o'/></HorizontalLayout></Window>", &factory), nullptr);
  EXPECT_NE(m.FindControl(L"anim"), nullptr);
  EXPECT_EQ(m.FindControl(L"o"), nullptr);
  ASSERT_EQ(factory.asked.size(), 2u);
  EXPECT_EQ(factory.asked[0], L"sequencelabel") << "the element name as written";
}

TEST(LayoutTest, FixedStretchedAndPadding) {
  CSkinManagerUI m;
  ASSERT_NE(BuildInto(m, "<Window size='300,200'><VerticalLayout inset='10,10,10,10'>"
                         "<HorizontalLayout name='bar' height='40'>"
                         "  <Button name='a' width='50' padding='5,0,5,0'/>"
                         "  <Control name='gap'/>"
                         "  <Button name='b' width='60' height='20' padding='0,10,0,0'/>"
                         "</HorizontalLayout>"
                         "<Control name='fill'/>"
                         "<Label name='foot' pos='0,0,120,30'/>"
                         "<Label name='gone' height='500' visible='false'/>"
                         "</VerticalLayout></Window>"),
            nullptr);
  struct Case { const wchar_t* name; skinui::Rect want; } cases[] = {
      {L"bar", {10, 10, 290, 50}},  {L"a", {15, 10, 65, 50}},   {L"gap", {70, 10, 230, 50}},
      {L"b", {230, 20, 290, 40}},   {L"fill", {10, 50, 290, 160}}, {L"foot", {10, 160, 130, 190}},
  };
  for (const Case& c : cases) {
    CControlUI* ctl = m.FindControl(c.name);
    ASSERT_NE(ctl, nullptr) << Utils::WideToUtf8(c.name);
    const skinui::Rect& r = ctl->GetPos();
    EXPECT_EQ(r, c.want) << Utils::WideToUtf8(c.name) << " at " << r.left << "," << r.top << ","
                         << r.right << "," << r.bottom;
  }
  EXPECT_EQ(m.FindControl(skinui::Point{20, 20}), m.FindControl(L"a"));
  EXPECT_EQ(m.FindControl(skinui::Point{100, 100}), m.FindControl(L"fill"));
  EXPECT_EQ(m.FindControl(skinui::Point{5, 5})->GetClass(), L"VerticalLayout");
}

TEST(TabLayoutTest, SelectionRules) {
  CSkinManagerUI m;
  Recorder rec;
  m.AddNotifier(&rec);
  ASSERT_NE(BuildInto(m, "<Window size='50,50'><TabLayout name='tabs'>"
                         "<Label name='p0'/><Label name='p1'/><Label name='p2'/>"
                         "</TabLayout></Window>"), nullptr);
  auto* tabs = static_cast<CTabLayoutUI*>(m.FindControl(L"tabs")->GetInterface(L"TabLayout"));
  ASSERT_NE(tabs, nullptr);
  EXPECT_EQ(tabs->GetCurSel(), 0);
  EXPECT_TRUE(m.FindControl(L"p0")->IsVisible());
  EXPECT_FALSE(m.FindControl(L"p1")->IsVisible());
  EXPECT_TRUE(rec.seen.empty()) << "loading raises nothing";

  EXPECT_FALSE(tabs->SelectItem(0)) << "the current page again";
  EXPECT_FALSE(tabs->SelectItem(3));
  EXPECT_FALSE(tabs->SelectItem(-1));
  EXPECT_TRUE(rec.seen.empty());
  EXPECT_TRUE(tabs->SelectItem(2));
  EXPECT_TRUE(tabs->SelectItem(1, false));
  EXPECT_EQ(tabs->GetCurSel(), 1);
  EXPECT_TRUE(m.FindControl(L"p1")->IsVisible());
  EXPECT_FALSE(m.FindControl(L"p2")->IsVisible());
  EXPECT_EQ(rec.seen, (std::vector<std::string>{"tabselect:tabs:2:0"}));
}

TEST(CheckBoxTest, ClickTogglesAndSelectChangedOnlyOnChange) {
  CSkinManagerUI m;
  Recorder rec;
  m.AddNotifier(&rec);
  ASSERT_NE(BuildInto(m, "<Window size='100,40'><HorizontalLayout>"
                         "<CheckBox name='cb' width='50' selected='true'/></HorizontalLayout></Window>"),
            nullptr);
  auto* cb = static_cast<CCheckBoxUI*>(m.FindControl(L"cb")->GetInterface(L"CheckBox"));
  ASSERT_NE(cb, nullptr);
  EXPECT_TRUE(cb->IsSelected());
  EXPECT_EQ(cb->GetClass(), L"CheckBox");
  EXPECT_NE(cb->GetInterface(L"Option"), nullptr);
  cb->Selected(true);
  EXPECT_TRUE(rec.seen.empty());
  cb->Selected(false);
  EXPECT_EQ(rec.seen, (std::vector<std::string>{"selectchanged:cb:0:0"}));

  // A real click through the manager: down and up inside the box.
  rec.seen.clear();
  intptr_t r = 0;
  m.MessageHandler(skinui::kWmLButtonDown, 0, skinui::MakeLParam(10, 10), r);
  m.MessageHandler(skinui::kWmLButtonUp, 0, skinui::MakeLParam(10, 10), r);
  EXPECT_EQ(rec.seen, (std::vector<std::string>{"click:cb:0:0", "selectchanged:cb:0:0"}));
  EXPECT_TRUE(cb->IsSelected());
  // Released outside: no click.
  rec.seen.clear();
  m.MessageHandler(skinui::kWmLButtonDown, 0, skinui::MakeLParam(10, 10), r);
  m.MessageHandler(skinui::kWmLButtonUp, 0, skinui::MakeLParam(80, 10), r);
  EXPECT_TRUE(rec.seen.empty());
  // Disabled: no click.
  cb->SetEnabled(false);
  m.MessageHandler(skinui::kWmLButtonDown, 0, skinui::MakeLParam(10, 10), r);
  m.MessageHandler(skinui::kWmLButtonUp, 0, skinui::MakeLParam(10, 10), r);
  EXPECT_TRUE(rec.seen.empty());
}

// Records what the manager asks of its window.
struct RecordingHost : IManagerHost {
  bool SetSystemTimer(uint32_t id, uint32_t ms) override {
    calls.push_back("set " + std::to_string(id) + " " + std::to_string(ms));
    return true;
  }
  void KillSystemTimer(uint32_t id) override { calls.push_back("kill " + std::to_string(id)); }
  void PostNotifyWakeup() override { ++wakeups; }
  void RequestRepaint() override {}
  std::vector<std::string> calls;
  int wakeups = 0;
};

TEST(TimerTest, RearmRulesAndTimerNotification) {
  CSkinManagerUI m;
  RecordingHost host;
  m.SetHost(&host);
  Recorder rec;
  m.AddNotifier(&rec);
  ASSERT_NE(BuildInto(m, "<Window><VerticalLayout name='root'><Label name='l'/></VerticalLayout></Window>"),
            nullptr);
  CControlUI* root = m.FindControl(L"root");
  CControlUI* label = m.FindControl(L"l");
  EXPECT_TRUE(m.SetTimer(root, 10, 3000));
  EXPECT_FALSE(m.SetTimer(root, 10, 50)) << "running: unchanged";
  EXPECT_EQ(m.TimerInterval(root, 10), 3000u);
  EXPECT_TRUE(m.SetTimer(label, 10, 70)) << "same id, other control: a new timer";
  EXPECT_TRUE(m.KillTimer(root, 10));
  EXPECT_TRUE(m.SetTimer(root, 10, 50)) << "killed: re-armed with the new interval";
  EXPECT_EQ(m.TimerInterval(root, 10), 50u);
  EXPECT_EQ(host.calls, (std::vector<std::string>{"set 1 3000", "set 2 70", "kill 1", "set 1 50"}));

  m.OnSystemTimer(1);
  m.OnSystemTimer(2);
  EXPECT_EQ(rec.seen, (std::vector<std::string>{"timer:root:10:0", "timer:l:10:0"}));
  m.KillTimer(label, 10);
  rec.seen.clear();
  m.OnSystemTimer(2);
  EXPECT_TRUE(rec.seen.empty()) << "a killed timer raises nothing";
}

TEST(NotifyTest, QueuedNotificationsWaitForTheWindowThread) {
  CSkinManagerUI m;
  RecordingHost host;
  m.SetHost(&host);
  Recorder rec;
  m.AddNotifier(&rec);
  ASSERT_NE(BuildInto(m, "<Window><Control name='root'/></Window>"), nullptr);
  CControlUI* root = m.FindControl(L"root");
  bool listener_first = false;
  root->OnNotify.push_back([&](SkinNotify&) {
    listener_first = rec.seen.empty();
    return true;
  });
  m.SendNotify(root, L"checknet", 5, 0, true);
  EXPECT_TRUE(rec.seen.empty());
  EXPECT_EQ(host.wakeups, 1);
  intptr_t r = 0;
  m.MessageHandler(skinui::kWmSkinNotifyQueued, 0, 0, r);
  EXPECT_EQ(rec.seen, (std::vector<std::string>{"checknet:root:5:0"}));
  EXPECT_TRUE(listener_first) << "the sender's listeners hear it before the window";
}

TEST(ImageDescriptionTest, PlainPathsPairsAndTheClosingQuoteRule) {
  using skinui::ParseImageDescription;
  auto d = ParseImageDescription(L"res\\mainWnd\\bg1.png");
  EXPECT_EQ(d.file, L"res\\mainWnd\\bg1.png");
  EXPECT_EQ(d.fade, 255);

  d = ParseImageDescription(L"file='res\\a.png' source='1,2,3,4' dest='0,2,16,18' corner='2,2,2,2' "
                            L"mask='#FF00FF' fade='128' hole='true' xtiled='true' ytiled='false' "
                            L"hsl='true' res='r' restype='png'");
  EXPECT_EQ(d.file, L"res\\a.png");
  EXPECT_EQ(d.source, (skinui::Rect{1, 2, 3, 4}));
  EXPECT_EQ(d.dest, (skinui::Rect{0, 2, 16, 18}));
  EXPECT_EQ(d.corner, (skinui::Rect{2, 2, 2, 2}));
  EXPECT_EQ(d.mask, 0xFF00FFu);
  EXPECT_EQ(d.fade, 128);
  EXPECT_TRUE(d.hole);
  EXPECT_TRUE(d.xtiled);
  EXPECT_FALSE(d.ytiled);
  EXPECT_TRUE(d.hsl);
  EXPECT_EQ(d.res, L"r");
  EXPECT_EQ(d.restype, L"png");

  EXPECT_EQ(ParseImageDescription(L"scale9='1,1,1,1' file='x.png'").corner, (skinui::Rect{1, 1, 1, 1}));
  EXPECT_TRUE(ParseImageDescription(L"color='#FF112233'").has_color);
  EXPECT_EQ(ParseImageDescription(L"color='0xFF112233'").color, 0xFF112233u);

  // A closing quote followed directly by another key ends parsing there.
  d = ParseImageDescription(L"file='a.png'fade='10' hole='true'");
  EXPECT_EQ(d.file, L"a.png");
  EXPECT_EQ(d.fade, 255);
  EXPECT_FALSE(d.hole);
  // Quotes pair up in order: here the value of fade runs to the next quote,
  // and the quote left over ends parsing.
  d = ParseImageDescription(L"file='a.png' fade='10 hole='true'");
  EXPECT_EQ(d.file, L"a.png");
  EXPECT_EQ(d.fade, 10);
  EXPECT_FALSE(d.hole);
  // An unclosed quote drops its pair.
  d = ParseImageDescription(L"file='a.png' corner='1,1,1,1");
  EXPECT_EQ(d.file, L"a.png");
  EXPECT_TRUE(d.corner.IsZero());
  // Empty values are ignored.
  d = ParseImageDescription(L"file='a.png' fade='' hole='true'");
  EXPECT_EQ(d.fade, 255);
  EXPECT_TRUE(d.hole);
}

// Renders |xml| headless with images read from a map of generated PNGs.
skinui::Bitmap Render(CSkinManagerUI& m, const std::string& xml) {
  BuildInto(m, xml);
  skinui::Bitmap fb;
  m.Paint(fb);
  return fb;
}

TEST(RenderTest, ImagesByDescriptionAndMissingImages) {
  skinui::Bitmap red(2, 2, 0xFFFF0000);
  std::vector<uint8_t> png = skinui::EncodePng(red);
  CSkinManagerUI m;
  int reads = 0;
  m.SetFileReader([&](const std::wstring& path, std::vector<uint8_t>& bytes) {
    ++reads;
    if (path != L"res\\red.png") return false;
    bytes = png;
    return true;
  });
  skinui::Bitmap fb = Render(m, "<Window size='40,20'><HorizontalLayout bkcolor='#FFFFFFFF'>"
                                "<Label width='20' bkimage=\"file='res\\red.png' dest='5,5,10,10'\"/>"
                                "<Button name='b' width='20' normalimage='res\\none.png'/>"
                                "</HorizontalLayout></Window>");
  EXPECT_EQ(fb.at(0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(fb.at(5, 5), 0xFFFF0000u) << "dest shifts the image";
  EXPECT_EQ(fb.at(9, 9), 0xFFFF0000u);
  EXPECT_EQ(fb.at(10, 10), 0xFFFFFFFFu);
  EXPECT_EQ(fb.at(30, 10), 0xFFFFFFFFu) << "a missing image is not drawn";
  int before = reads;
  m.Paint(fb);
  EXPECT_EQ(reads, before) << "hits and misses are cached";
}

TEST(RenderTest, ValignCenterLeavesTextCentredAndBottomMovesItDown) {
  auto ink_top = [](const std::string& valign) {
    CSkinManagerUI m;
    skinui::Bitmap fb = Render(m, "<Window size='100,60'><Font id='0' name='微软雅黑' size='14' default='true'/>"
                                  "<Label bkcolor='#FFFFFFFF' text='安装' textcolor='#FF000000' valign='" +
                                  valign + "'/></Window>");
    for (int y = 0; y < fb.height(); ++y)
      for (int x = 0; x < fb.width(); ++x)
        if (fb.at(x, y) != 0xFFFFFFFFu) return y;
    return -1;
  };
  const int centre = ink_top("center"), vcenter = ink_top("vcenter"), bottom = ink_top("bottom"),
            top = ink_top("top");
  EXPECT_EQ(centre, vcenter);
  EXPECT_GT(centre, top + 10);
  EXPECT_GT(bottom, centre + 10);
}

TEST(ButtonTest, HotAndPushedStatesPaintTheirColours) {
  CSkinManagerUI m;
  Recorder rec;
  m.AddNotifier(&rec);
  skinui::Bitmap fb = Render(m, "<Window size='100,40'><HorizontalLayout bkcolor='#FFFFFFFF'>"
                                "<Button name='b' width='60' bkcolor='#FF0000FF' hotbkcolor='#FF00FF00'"
                                " pushedbkcolor='#FFFF0000'/></HorizontalLayout></Window>");
  auto* b = static_cast<CButtonUI*>(m.FindControl(L"b")->GetInterface(L"Button"));
  intptr_t r = 0;
  auto state = [&](uint32_t msg, int x) {
    m.MessageHandler(msg, 0, skinui::MakeLParam(x, 20), r);
    m.Paint(fb);
    return fb.at(30, 20);
  };
  EXPECT_EQ(fb.at(30, 20), 0xFF0000FFu) << "normal";
  EXPECT_EQ(state(skinui::kWmMouseMove, 30), 0xFF00FF00u) << "hot";
  EXPECT_TRUE(b->IsHot());
  EXPECT_EQ(state(skinui::kWmLButtonDown, 30), 0xFFFF0000u) << "pushed";
  EXPECT_EQ(state(skinui::kWmMouseMove, 80), 0xFF0000FFu) << "dragged off: neither";
  EXPECT_FALSE(b->IsPushed());
  EXPECT_EQ(state(skinui::kWmMouseMove, 30), 0xFFFF0000u) << "back on: pushed again";
  EXPECT_EQ(state(skinui::kWmLButtonUp, 30), 0xFF00FF00u) << "released: hot";
  EXPECT_EQ(rec.seen, (std::vector<std::string>{"click:b:0:0"}));
  b->SetEnabled(false);
  m.Paint(fb);
  EXPECT_EQ(fb.at(30, 20), 0xFF0000FFu) << "disabled shows the normal colour";
}

// A clipboard for the edit's paste.
struct ClipboardHost : IManagerHost {
  bool SetSystemTimer(uint32_t, uint32_t) override { return true; }
  void KillSystemTimer(uint32_t) override {}
  void PostNotifyWakeup() override {}
  void RequestRepaint() override {}
  std::wstring ClipboardText() override { return clip; }
  std::wstring clip;
};

TEST(EditTest, KeysEditTheTextAroundTheCaret) {
  CSkinManagerUI m;
  ClipboardHost host;
  m.SetHost(&host);
  BuildInto(m, "<Window size='200,30'><HorizontalLayout><Edit name='e' maxchar='12'/>"
               "</HorizontalLayout></Window>");
  auto* e = static_cast<CEditUI*>(m.FindControl(L"e")->GetInterface(L"Edit"));
  ASSERT_NE(e, nullptr);
  e->SetFocus();
  intptr_t r = 0;
  auto key = [&](uint32_t vk, bool shift = false, bool control = false) {
    m.MessageHandler(skinui::kWmKeyDown, vk, 0, r, skinui::KeyModifiers{shift, control, false});
  };
  auto type = [&](const std::wstring& text) {
    for (wchar_t c : text) m.MessageHandler(skinui::kWmChar, static_cast<uintptr_t>(c), 0, r);
  };
  type(L"D:\\安装");
  EXPECT_EQ(e->GetText(), L"D:\\安装");
  key(skinui::kVkBack);
  key(skinui::kVkHome);
  key(skinui::kVkDelete);
  EXPECT_EQ(e->GetText(), L":\\安");
  key(skinui::kVkRight);
  key(skinui::kVkRight, true);  // select the backslash
  type(L"/");
  EXPECT_EQ(e->GetText(), L":/安");
  key(skinui::kVkEnd);
  key(skinui::kVkLeft, true);
  key(skinui::kVkLeft, true);
  key(skinui::kVkBack);
  EXPECT_EQ(e->GetText(), L":");
  host.clip = L"C:\\Program\nFiles\\x";  // one line: control characters go
  key('V', false, true);
  EXPECT_EQ(e->GetText(), L":C:\\ProgramF") << "cut at maxchar";
  key('A', false, true);
  type(L"z");
  EXPECT_EQ(e->GetText(), L"z") << "typing replaces the selection";
  type(std::wstring(1, wchar_t(0x08)));
  EXPECT_EQ(e->GetText(), L"z") << "control characters are not typed";
}

}  // namespace
