#include "skinui/skin_window_base.h"

#include "skinui/painter.h"
#include "skinui/text_layout.h"

using namespace skinui;

SkinWindowBase::SkinWindowBase() { manager_.SetHost(this); }

SkinWindowBase::~SkinWindowBase() {
  // Destroy while the derived parts still answer messages.
  if (GetHWND() != kNoWindow) DestroyWindow();
  manager_.SetHost(nullptr);
}

intptr_t SkinWindowBase::HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return HandleWindowMessage(message, wParam, lParam);
}

void SkinWindowBase::PaintNow() {
  manager_.Paint(framebuffer_);
  Present(framebuffer_);
}

intptr_t SkinWindowBase::HandleWindowMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  intptr_t result = 0;
  if (manager_.PreMessageHandler(message, wParam, lParam, result)) return result;
  switch (message) {
    case kWmPaint:
      PaintNow();
      return 0;
    case kWmSize:
      if (wParam != kSizeMinimized) {
        manager_.SetClientSize(Size{LParamX(lParam), LParamY(lParam)});
      }
      break;
    default:
      break;
  }
  bool handled = false;
  result = HandleAppMessage(message, wParam, lParam, handled);
  if (handled) return result;
  if (manager_.MessageHandler(message, wParam, lParam, result, GetKeyModifiers())) return result;
  return DefWindowProc(message, wParam, lParam);
}

bool SkinWindowBase::SetSystemTimer(uint32_t system_id, uint32_t interval_ms) {
  return SetTimer(system_id, interval_ms);
}

void SkinWindowBase::KillSystemTimer(uint32_t system_id) { KillTimer(system_id); }

void SkinWindowBase::PostNotifyWakeup() {
  skinui::PostMessage(GetHWND(), kWmSkinNotifyQueued, 0, 0);
}

namespace {

class MessageBoxWindow : public CNativeWindow {
 public:
  MessageBoxWindow(const std::wstring& text) : text_(text) {}
  intptr_t HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    switch (message) {
      case kWmPaint: {
        Size size = GetClientSize();
        Bitmap frame(size.cx, size.cy, 0xFFF0F0F0);
        Painter painter(frame);
        FontSpec font;
        font.size = 14;
        DrawTextInRect(painter, TextService::Instance(), font, text_,
                       Rect{16, 12, size.cx - 16, size.cy - 48}, 0xFF202020,
                       kTextWordBreak | kTextVCenter);
        const Rect button = Button(size);
        painter.FillRect(button, 0xFFE1E1E1);
        painter.DrawBorder(button, 1, 0xFFADADAD);
        DrawTextInRect(painter, TextService::Instance(), font, L"确定", button, 0xFF000000,
                       kTextCenter | kTextVCenter | kTextSingleLine);
        Present(frame);
        return 0;
      }
      case kWmLButtonUp:
        if (Button(GetClientSize()).Contains(Point{LParamX(lParam), LParamY(lParam)})) {
          DestroyWindow();
        }
        return 0;
      case kWmKeyDown:
        if (wParam == kVkReturn || wParam == kVkEscape || wParam == kVkSpace) DestroyWindow();
        return 0;
      default:
        return DefWindowProc(message, wParam, lParam);
    }
  }

 private:
  static Rect Button(Size size) {
    return Rect{size.cx - 96, size.cy - 40, size.cx - 16, size.cy - 12};
  }
  std::wstring text_;
};

}  // namespace

void ShowSystemMessageBox(const std::wstring& text, const std::wstring& caption) {
  if (PlatformMessageBox(text, caption) || !WindowSystemAvailable()) return;
  MessageBoxWindow box(text);
  if (!box.Create(kNoWindow, L"SkinUIMessageBox", caption, kWsVisible | kWsPopup, 0, -1, -1, 320,
                  130)) {
    return;
  }
  Message msg;
  while (IsWindow(box.GetHWND())) {
    if (!GetMessage(msg)) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    DispatchMessage(msg);
  }
}
