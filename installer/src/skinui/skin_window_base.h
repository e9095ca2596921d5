// SkinWindowBase: a native window with a control manager. It paints the
// control tree into its framebuffer, hands input, timers and queued
// notifications to the manager, and passes notifications to OnNotify.
#pragma once

#include "skinui/control_manager.h"
#include "skinui/native_window.h"

// Receives the window's notifications (the window registers itself).
class CSkinNotifyPump : public ISkinNotifier {
 public:
  void Notify(SkinNotify& msg) override { OnNotify(msg); }
  virtual void OnNotify(SkinNotify& msg) {}
};

class SkinWindowBase : public skinui::CNativeWindow,
                       public CSkinNotifyPump,
                       public ISkinMessageFilter,
                       public ISkinBuilderCallback,
                       public IManagerHost {
 public:
  SkinWindowBase();
  ~SkinWindowBase() override;

  CSkinManagerUI& manager() { return manager_; }
  CControlUI* FindControl(const std::wstring& name) const { return manager_.FindControl(name); }
  const skinui::Bitmap& framebuffer() const { return framebuffer_; }

  // The window procedure: HandleWindowMessage first.
  intptr_t HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  // Routes the standard messages (paint, size, input) and passes everything
  // else to HandleAppMessage, then to the control manager, then to the
  // default window procedure.
  virtual intptr_t HandleWindowMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
  // Messages of the application; set |handled| to consume one.
  virtual intptr_t HandleAppMessage(uint32_t message, uintptr_t wParam, intptr_t lParam,
                                    bool& handled) {
    return 0;
  }

  // ISkinMessageFilter: nothing by default.
  intptr_t MessageFilter(uint32_t message, uintptr_t wParam, intptr_t lParam,
                         bool& handled) override {
    return 0;
  }
  // ISkinBuilderCallback: no custom controls by default.
  CControlUI* CreateSkinControl(const std::wstring& element_name) override { return nullptr; }

  // IManagerHost.
  bool SetSystemTimer(uint32_t system_id, uint32_t interval_ms) override;
  void KillSystemTimer(uint32_t system_id) override;
  void PostNotifyWakeup() override;
  void RequestRepaint() override { Invalidate(); }
  std::wstring ClipboardText() override { return GetClipboardText(); }

 protected:
  void PaintNow();

  CSkinManagerUI manager_;
  skinui::Bitmap framebuffer_;
};

// A plain system message box (text, caption, one OK button), modal for the
// calling thread until the user closes it. Used when a skin can't load.
void ShowSystemMessageBox(const std::wstring& text, const std::wstring& caption);
