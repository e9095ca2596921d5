// The six skins of the installer, built from the package linked into this
// test program and rendered headless.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "skin/markup_builder.h"
#include "skin/sequence_controls.h"
#include "skin/skin_archive.h"
#include "skinui/container.h"
#include "skinui/control_manager.h"
#include "utils/text.h"

namespace {

struct Factory : ISkinBuilderCallback {
  CControlUI* CreateSkinControl(const std::wstring& name) override {
    if (Utils::EqualsIgnoreCase(name, L"SequenceLabel")) return new CSequenceLabelUI;
    return nullptr;
  }
};

class SkinRender {
 public:
  explicit SkinRender(const std::wstring& file) {
    manager_.SetFileReader(SkinPackage::ReadSkinFile);
    std::vector<uint8_t> xml;
    std::wstring error;
    if (!SkinPackage::Open() || !SkinPackage::LoadSkinFile(file, xml, error)) return;
    Factory factory;
    CControlUI* root = CMarkupBuilder::Build(xml, manager_, &factory, &error);
    if (root == nullptr) return;
    manager_.AttachDialog(root);
    manager_.SetClientSize(manager_.GetInitSize());
    Paint();
  }
  bool ok() const { return manager_.GetRoot() != nullptr; }
  void Paint() { manager_.Paint(frame_); }
  void SelectPage(const wchar_t* tab, int page) {
    auto* t = static_cast<CTabLayoutUI*>(manager_.FindControl(tab)->GetInterface(L"TabLayout"));
    t->SelectItem(page, false);
    Paint();
  }
  CSkinManagerUI& manager() { return manager_; }
  const skinui::Bitmap& frame() const { return frame_; }

  // Pixels in |rect| within |tolerance| of the straight colour |argb| on
  // each channel.
  int CountNear(const skinui::Rect& rect, uint32_t argb, int tolerance) const {
    int n = 0;
    const skinui::Rect r = rect.Intersect(frame_.bounds());
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) {
        uint32_t p = frame_.at(x, y);
        bool near = true;
        for (int shift : {16, 8, 0}) {
          near = near && std::abs(int((p >> shift) & 0xFF) - int((argb >> shift) & 0xFF)) <= tolerance;
        }
        n += near;
      }
    return n;
  }

 private:
  CSkinManagerUI manager_;
  skinui::Bitmap frame_;
};

struct Expect {
  const wchar_t* name;
  const char* cls;
  int width;   // 0: not checked
  int height;  // 0: not checked
};

void CheckControls(SkinRender& skin, std::initializer_list<Expect> list, const char* where) {
  for (const Expect& e : list) {
    CControlUI* c = skin.manager().FindControl(e.name);
    ASSERT_NE(c, nullptr) << where << ": " << Utils::WideToUtf8(e.name);
    EXPECT_EQ(Utils::WideToUtf8(c->GetClass()), e.cls) << where << ": " << Utils::WideToUtf8(e.name);
    if (e.width) {
      EXPECT_EQ(c->GetPos().width(), e.width) << where << ": " << Utils::WideToUtf8(e.name);
    }
    if (e.height) {
      EXPECT_EQ(c->GetPos().height(), e.height) << where << ": " << Utils::WideToUtf8(e.name);
    }
  }
}

TEST(SkinRenderTest, MainWindowPages) {
  SkinRender skin(L"MainWnd.xml");
  ASSERT_TRUE(skin.ok()) << "requested as MainWnd.xml, stored as mainWnd.xml";
  EXPECT_EQ(skin.manager().GetInitSize(), (skinui::Size{600, 400}));
  EXPECT_EQ(skin.frame().width(), 600);
  EXPECT_EQ(skin.manager().GetCaptionRect(), (skinui::Rect{0, 0, 0, 35}));
  EXPECT_EQ(skin.manager().GetWindowCustomAttribute(L"shadowcolor"), L"#26003B76");
  EXPECT_EQ(skin.manager().FindControl(L"WinCtn"), nullptr);
  CheckControls(skin, {{L"winCtn", "VerticalLayout", 600, 400},
                       {L"titleTabLt", "TabLayout", 200, 0},
                       {L"titleGrpCtn", "HorizontalLayout", 0, 24},
                       {L"minbtn", "Button", 24, 24},
                       {L"closebtn", "Button", 24, 24},
                       {L"mainTabLt", "TabLayout", 0, 0},
                       {L"defaultInstallBtn", "Button", 232, 50},
                       {L"customeBtn", "Button", 88, 18}},
                "page 0");
  EXPECT_EQ(skin.manager().FindControl(L"closebtn")->GetPos().left -
                skin.manager().FindControl(L"minbtn")->GetPos().right, 12);
  for (const wchar_t* hidden : {L"tipLbl", L"treatyCb", L"treatyBtn"}) {
    EXPECT_FALSE(skin.manager().FindControl(hidden)->IsVisible()) << Utils::WideToUtf8(hidden);
  }
  // "立即安装" in white on the blue button.
  const skinui::Rect button = skin.manager().FindControl(L"defaultInstallBtn")->GetPos();
  EXPECT_GT(skin.CountNear(button, 0xFF227EFA, 2), 232 * 50 / 2) << "the blue background";
  EXPECT_GT(skin.CountNear(button, 0xFFFFFFFF, 20), 150) << "the white text";

  skin.SelectPage(L"mainTabLt", 1);
  CheckControls(skin, {{L"installDirEdit", "Edit", 340, 40},
                       {L"chDirBtn", "Button", 80, 40},
                       {L"createDSCb", "CheckBox", 138, 0},
                       {L"createQSCb", "CheckBox", 138, 0},
                       {L"customeInstallBtn", "Button", 232, 50}},
                "page 1");
  auto* ds = static_cast<COptionUI*>(skin.manager().FindControl(L"createDSCb")->GetInterface(L"Option"));
  EXPECT_TRUE(ds->IsSelected());
  const skinui::Rect box = ds->GetPos();
  EXPECT_GT(skin.CountNear(skinui::Rect{box.left + 26, box.top, box.right, box.bottom}, 0xFF333333, 40), 40)
      << "the check box text right of its 26 px padding";

  skin.SelectPage(L"mainTabLt", 2);
  CheckControls(skin, {{L"progressAnLb", "SequenceLabel", 260, 0},
                       {L"progressLb", "Label", 360, 0},
                       {L"installPrg", "Progress", 410, 8}},
                "page 2");
  auto* label = static_cast<CLabelUI*>(skin.manager().FindControl(L"progressLb")->GetInterface(L"Label"));
  EXPECT_EQ(label->GetText(), L"正在安装中:0%，请稍候...");
  const skinui::Rect text = label->GetPos();
  EXPECT_GT(skin.CountNear(text, 0xFF282A43, 40), 100);
  EXPECT_EQ(skin.CountNear(skinui::Rect{text.left, text.top, text.left + 40, text.bottom}, 0xFF282A43, 40), 0)
      << "centred: the left end of the label stays empty";
  // The progress bar fills with the value.
  auto* bar = static_cast<CProgressUI*>(skin.manager().FindControl(L"installPrg")->GetInterface(L"Progress"));
  const skinui::Rect r = bar->GetPos();
  const uint32_t empty_mid = skin.frame().at(r.left + r.width() * 3 / 4, r.top + 4);
  bar->SetValue(50);
  skin.Paint();
  EXPECT_NE(skin.frame().at(r.left + r.width() / 4, r.top + 4), empty_mid) << "filled half";
  EXPECT_EQ(skin.frame().at(r.left + r.width() * 3 / 4, r.top + 4), empty_mid) << "empty half";

  skin.SelectPage(L"mainTabLt", 3);
  CheckControls(skin, {{L"openProduceBtn", "Button", 232, 50}, {L"bTitleLbl3", "Label", 130, 0}},
                "page 3");
}

TEST(SkinRenderTest, Dialogs) {
  struct Dialog {
    const wchar_t* file;
    std::initializer_list<Expect> controls;
    const wchar_t* text_control;  // a control whose text must show
    uint32_t text_colour;
  } dialogs[] = {
      {L"MessageBox1Wnd.xml", {{L"captionLbl", "Label", 0, 0}, {L"textLbl", "Label", 0, 0}, {L"closebtn", "Button", 0, 0}}, L"textLbl", 0xFF333333},
      {L"MessageBox2Wnd.xml", {{L"captionLbl", "Label", 0, 0}, {L"textLbl", "Label", 0, 0}}, L"captionLbl", 0xFF666666},
      {L"InstalledPathTipWnd.xml", {{L"cancelBtn", "Button", 138, 30}, {L"okBtn", "Button", 138, 30}}, L"cancelBtn", 0xFFFFFFFF},
      {L"NetworkTipWnd.xml", {{L"cancelBtn", "Button", 100, 30}, {L"okBtn", "Button", 100, 30}}, L"okBtn", 0xFFFFFFFF},
      {L"ExitTipWnd.xml", {{L"okBtn", "Button", 100, 30}, {L"cancelBtn", "Button", 100, 30}}, L"okBtn", 0xFF1675FE},
  };
  for (const Dialog& d : dialogs) {
    const std::string where = Utils::WideToUtf8(d.file);
    SkinRender skin(d.file);
    ASSERT_TRUE(skin.ok()) << where;
    EXPECT_EQ(skin.manager().GetInitSize(), (skinui::Size{360, 180})) << where;
    EXPECT_EQ(skin.manager().GetCaptionRect(), (skinui::Rect{0, 0, 0, 30})) << where;
    CheckControls(skin, d.controls, where.c_str());
    CControlUI* c = skin.manager().FindControl(d.text_control);
    EXPECT_GT(skin.CountNear(c->GetPos(), d.text_colour, 40), 30) << where;
    EXPECT_EQ(skin.frame().at(200, 100), 0xFFFFFFFFu) << where << ": white client area";
    EXPECT_EQ(skin.frame().at(200, 1) >> 24, 0xFFu) << where;
  }
}

}  // namespace
