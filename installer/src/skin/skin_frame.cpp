#include "skin/skin_frame.h"

#include <cstdlib>

#include "skin/markup_builder.h"
#include "skin/skin_archive.h"
#include "skinui/image_description.h"
#include "utils/debug_log.h"
#include "utils/path.h"
#include "utils/text.h"

using namespace skinui;

namespace {

void DefaultLoadFailure(const std::wstring& skin_file) {
  DEBUG_LOG(L"skin %s failed to load: %s", skin_file, SkinPackage::LastError());
  ShowSystemMessageBox(L"加载资源文件失败", L"SkinUI");
  std::exit(1);
}

CSkinFrame::LoadFailureHandler g_load_failure = DefaultLoadFailure;

}  // namespace

void CSkinFrame::SetLoadFailureHandler(LoadFailureHandler handler) {
  g_load_failure = handler != nullptr ? handler : DefaultLoadFailure;
}

CSkinFrame::CSkinFrame(const SkinWindowInfo& info) : info_(info) {}

CSkinFrame::~CSkinFrame() {
  if (GetHWND() != kNoWindow) DestroyWindow();
}

bool CSkinFrame::Create(WindowHandle parent, const std::wstring& title, uint32_t style,
                        uint32_t ex_style, int x, int y, int cx, int cy) {
  return CNativeWindow::Create(parent, info_.class_name, title, style, ex_style, x, y, cx, cy);
}

void CSkinFrame::OnCreate() {
  // A borderless window: no caption.
  SetStyle((GetStyle() & 0xFF3FFFFF) | 0x06000000);
  manager_.AddMessageFilter(this);
  if (info_.source_kind == 4) {
    if (!SkinPackage::Open()) {
      // No package in the resources: the window stays blank.
      DEBUG_LOG(L"CSkinFrame::OnCreate: no skin package");
      return;
    }
  }
  manager_.SetFileReader(SkinPackage::ReadSkinFile);
  std::vector<uint8_t> xml;
  std::wstring error;
  CControlUI* root = nullptr;
  if (SkinPackage::LoadSkinFile(info_.skin_file, xml, error)) {
    root = CMarkupBuilder::Build(xml, manager_, this, &error);
  }
  if (root == nullptr) {
    DEBUG_LOG(L"CSkinFrame::OnCreate: %s: %s", info_.skin_file, error);
    g_load_failure(info_.skin_file);
    return;
  }
  manager_.AttachDialog(root);
  manager_.AddNotifier(this);
  skin_loaded_ = true;
  const Size init = manager_.GetInitSize();
  if (init.cx > 0 && init.cy > 0) {
    const Rect r = GetWindowRect();
    SetWindowPos(r.left, r.top, init.cx, init.cy);
  }
  OnSkinLoaded();
}

void CSkinFrame::OnSkinLoaded() {
  SetStyle(GetStyle() & 0xFF3EFFFF);
  if (Utils::EqualsIgnoreCase(manager_.GetWindowCustomAttribute(L"showshadow"), L"true")) {
    shadow_.Create(this);
    ApplyShadowAttributes();
  }
}

void CSkinFrame::ApplyShadowAttributes() {
  auto attr = [this](const wchar_t* name) { return manager_.GetWindowCustomAttribute(name); };
  if (!attr(L"shadowsize").empty()) shadow_.SetSize(static_cast<int>(ParseMarkupInt(attr(L"shadowsize").c_str())));
  if (!attr(L"shadowsharpness").empty()) {
    shadow_.SetSharpness(static_cast<int>(ParseMarkupInt(attr(L"shadowsharpness").c_str())));
  }
  if (!attr(L"shadowdarkness").empty()) {
    shadow_.SetDarkness(static_cast<int>(ParseMarkupInt(attr(L"shadowdarkness").c_str())));
  }
  if (!attr(L"shadowposition").empty()) {
    Size pos = ParseMarkupSize(attr(L"shadowposition"));
    shadow_.SetPosition(pos.cx, pos.cy);
  }
  if (!attr(L"shadowcolor").empty()) shadow_.SetColor(ParseMarkupColor(attr(L"shadowcolor")));
}

void CSkinFrame::OnNotify(SkinNotify& msg) {
  if (msg.type == L"click") OnControlClick(msg);
}

void CSkinFrame::OnControlClick(SkinNotify& msg) {
  if (msg.sender == nullptr) return;
  const std::wstring& name = msg.sender->GetName();
  if (name == L"closebtn") {
    Close(1);
  } else if (name == L"minbtn") {
    SendMessage(GetHWND(), kWmSysCommand, kScMinimize, 0);
  } else if (name == L"maxbtn") {
    SendMessage(GetHWND(), kWmSysCommand, kScMaximize, 0);
  } else if (name == L"restorebtn") {
    SendMessage(GetHWND(), kWmSysCommand, kScRestore, 0);
  }
}

void CSkinFrame::Close(uint32_t code) {
  if (IsWindow(GetHWND())) PostMessage(GetHWND(), kWmClose, code, 0);
}

intptr_t CSkinFrame::MessageFilter(uint32_t message, uintptr_t wParam, intptr_t lParam,
                                   bool& handled) {
  // Escape does nothing at all in a skinned window.
  if (message == kWmKeyDown && wParam == kVkEscape) {
    handled = true;
    return 1;
  }
  return 0;
}

intptr_t CSkinFrame::HitTest(intptr_t lParam) {
  const Rect window = GetWindowRect();
  const Point p{LParamX(lParam) - window.left, LParamY(lParam) - window.top};
  const Rect caption = manager_.GetCaptionRect();
  const Size client = GetClientSize();
  if (p.x >= caption.left && p.x < client.cx - caption.right && p.y >= caption.top &&
      p.y < caption.bottom) {
    CControlUI* control = manager_.FindControl(p);
    if (control != nullptr) {
      const std::wstring cls = control->GetClass();
      if (!Utils::EqualsIgnoreCase(cls, L"Button") && !Utils::EqualsIgnoreCase(cls, L"Option") &&
          !Utils::EqualsIgnoreCase(cls, L"Text")) {
        return kHtCaption;
      }
    }
  }
  return kHtClient;
}

intptr_t CSkinFrame::HandleWindowMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  // The shadow follows its owner (it sees each message first, as a
  // subclassed window procedure would).
  shadow_.OnOwnerMessage(message, wParam, lParam);
  switch (message) {
    case kWmCreate:
      OnCreate();
      return 0;
    case kWmNcHitTest:
      return HitTest(lParam);
    case kWmSize:
      if (wParam != kSizeMinimized) {
        const Size round = manager_.GetRoundCorner();
        if (round.cx != 0 || round.cy != 0) {
          // A rounded rectangle from (0,0) to (width + 1, height + 1).
          std::vector<RowSpan> spans =
              RoundRectSpans(LParamX(lParam) + 1, LParamY(lParam) + 1, round.cx, round.cy);
          spans.resize(LParamY(lParam));
          for (RowSpan& s : spans) s.end = std::min(s.end, static_cast<int>(LParamX(lParam)));
          SetRegion(spans);
        }
      }
      break;
    case kWmClose:
      if (modal_ && GetOwner() != kNoWindow) {
        if (CNativeWindow* owner = FromHandle(GetOwner())) {
          owner->EnableWindow(true);
          owner->SetForeground();
        }
      }
      break;
    default:
      break;
  }
  return SkinWindowBase::HandleWindowMessage(message, wParam, lParam);
}

uint32_t CSkinFrame::ShowModal() {
  const WindowHandle self = GetHWND();
  if (self == kNoWindow) return 0;
  ShowWindow(true);
  CNativeWindow* owner = FromHandle(GetOwner());
  if (owner != nullptr) owner->EnableWindow(false);
  modal_ = true;
  modal_result_ = 0;
  Message msg;
  bool quit = false;
  int quit_code = 0;
  while (IsWindow(self)) {
    if (!GetMessage(msg)) {
      quit = true;
      quit_code = static_cast<int>(msg.wParam);
      break;
    }
    if (msg.window == self && msg.message == kWmClose) {
      modal_result_ = static_cast<uint32_t>(msg.wParam);
      if ((owner = FromHandle(GetOwner())) != nullptr) {
        owner->EnableWindow(true);
        owner->SetForeground();
      }
    }
    DispatchMessage(msg);
  }
  modal_ = false;
  if ((owner = FromHandle(GetOwner())) != nullptr) {
    owner->EnableWindow(true);
    owner->SetForeground();
  }
  if (quit) PostQuitMessage(quit_code);
  return modal_result_;
}

void CSkinFrame::CenterWindow() {
  const Rect self = GetWindowRect();
  const Rect work = GetWorkArea();
  Rect reference = work;
  CNativeWindow* owner = FromHandle(GetOwner());
  if (owner != nullptr && !owner->IsMinimized()) reference = owner->GetWindowRect();
  int x = reference.left + (reference.width() - self.width()) / 2;
  int y = reference.top + (reference.height() - self.height()) / 2;
  if (x < work.left) {
    x = work.left;
  } else if (x + self.width() > work.right) {
    x = work.right - self.width();
  }
  if (y < work.top) {
    y = work.top;
  } else if (y + self.height() > work.bottom) {
    y = work.bottom - self.height();
  }
  MoveTo(x, y);
}
