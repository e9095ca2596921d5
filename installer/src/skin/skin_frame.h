// CSkinFrame: the base of every skinned window. Creates a borderless window,
// builds its content from a skin file of the package, gives it a rounded
// region and a drop shadow, drags it by the caption band, ignores Escape,
// runs it modally, and routes notifications to OnNotify / OnControlClick.
#pragma once

#include <cstdint>
#include <string>

#include "skin/skin_shadow.h"
#include "skinui/skin_window_base.h"

struct SkinWindowInfo {
  int32_t source_kind = 4;    // 4: the skin comes from the package in the resources
  int32_t resource_id = 147;
  std::wstring skin_folder;
  std::wstring skin_file;     // e.g. "MainWnd.xml"
  std::wstring class_name;    // e.g. "MainWnd"
};

class CSkinFrame : public SkinWindowBase {
 public:
  explicit CSkinFrame(const SkinWindowInfo& info);
  ~CSkinFrame() override;

  // Creates the window; the skin loads during creation. The style the
  // program passes is kWsVisible | kWsOverlappedWindow; x, y of -1 and a
  // size of 0 give the default place and the skin's size.
  bool Create(skinui::WindowHandle parent, const std::wstring& title, uint32_t style,
              uint32_t ex_style, int x = -1, int y = -1, int cx = 0, int cy = 0);
  // Shows the window, disables its owner and runs a message loop while the
  // window exists; returns the wParam of the last kWmClose taken for it
  // (0 if none). Messages for other windows are dispatched normally.
  uint32_t ShowModal();
  // Posts kWmClose with wParam = |code| while the window exists.
  void Close(uint32_t code = 1);
  // Centres over the owner (or the work area), kept inside the work area.
  void CenterWindow();

  CSkinShadow& shadow() { return shadow_; }
  const SkinWindowInfo& info() const { return info_; }
  bool skin_loaded() const { return skin_loaded_; }

  // Hooks.
  virtual void OnSkinLoaded();
  void OnNotify(SkinNotify& msg) override;
  virtual void OnControlClick(SkinNotify& msg);
  intptr_t HandleWindowMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  intptr_t MessageFilter(uint32_t message, uintptr_t wParam, intptr_t lParam,
                         bool& handled) override;

  // What happens when a skin cannot be built: by default the system
  // message box "加载资源文件失败" and the end of the process with exit code 1.
  using LoadFailureHandler = void (*)(const std::wstring& skin_file);
  static void SetLoadFailureHandler(LoadFailureHandler handler);

 private:
  void OnCreate();
  intptr_t HitTest(intptr_t lParam);
  void ApplyShadowAttributes();

  const SkinWindowInfo info_;
  CSkinShadow shadow_;
  bool skin_loaded_ = false;
  bool modal_ = false;
  uint32_t modal_result_ = 0;
};
