// The base of every control: position, visibility, state, background, border,
// text, attributes from the markup, events and painting.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "skinui/geometry.h"
#include "skinui/messages.h"
#include "skinui/skin_notify.h"

namespace skinui {
class Painter;
}

class CSkinManagerUI;
class CContainerUI;

enum class UIEvent {
  kMouseMove,
  kMouseEnter,
  kMouseLeave,
  kButtonDown,
  kButtonUp,
  kDoubleClick,
  kKeyDown,
  kChar,
  kSetFocus,
  kKillFocus,
  kTimer,
};

struct TEventUI {
  UIEvent type = UIEvent::kMouseMove;
  CControlUI* sender = nullptr;
  uint32_t timestamp = 0;
  skinui::Point mouse;
  uint32_t key = 0;        // virtual key for kKeyDown, character for kChar
  skinui::KeyModifiers modifiers;
  uintptr_t wParam = 0;    // timer id for kTimer
  intptr_t lParam = 0;
};

class CControlUI {
 public:
  CControlUI();
  virtual ~CControlUI();
  CControlUI(const CControlUI&) = delete;
  CControlUI& operator=(const CControlUI&) = delete;

  // The element name of the control ("Control", "Button", ...).
  virtual std::wstring GetClass() const { return L"Control"; }
  // This control when it is (or derives from) the class |name|, else nullptr.
  virtual CControlUI* GetInterface(const std::wstring& name);

  const std::wstring& GetName() const { return name_; }
  void SetName(const std::wstring& name) { name_ = name; }
  virtual std::wstring GetText() const { return text_; }
  virtual void SetText(const std::wstring& text);
  const std::wstring& GetUserData() const { return user_data_; }
  void SetUserData(const std::wstring& data) { user_data_ = data; }

  bool IsVisible() const { return visible_; }
  virtual void SetVisible(bool visible);
  bool IsEnabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled);
  bool IsFocused() const;
  void SetFocus();
  virtual bool IsFocusable() const { return false; }
  // Controls that take mouse input (buttons, edits); layouts and labels let
  // the mouse through to what is under them.
  virtual bool IsMouseTarget() const { return mouse_enabled_; }

  int GetFixedWidth() const { return fixed_.cx; }
  int GetFixedHeight() const { return fixed_.cy; }
  void SetFixedWidth(int cx);
  void SetFixedHeight(int cy);
  const skinui::Rect& GetPadding() const { return padding_; }
  void SetPadding(const skinui::Rect& padding) { padding_ = padding; }
  const skinui::Rect& GetPos() const { return pos_; }
  virtual void SetPos(const skinui::Rect& rect);
  // The size this control wants inside |available|: 0 in a dimension means
  // "stretch".
  virtual skinui::Size EstimateSize(skinui::Size available) const { return fixed_; }

  uint32_t GetBkColor() const { return bk_color_; }
  void SetBkColor(uint32_t argb);
  const std::wstring& GetBkImage() const { return bk_image_; }
  void SetBkImage(const std::wstring& description);
  void SetBorderRound(skinui::Size round) { border_round_ = round; }
  void SetBorderSize(int size) { border_size_ = size; }
  void SetBorderColor(uint32_t argb) { border_color_ = argb; }

  // Applies one markup attribute; unknown names are ignored.
  virtual void SetAttribute(const std::wstring& name, const std::wstring& value);

  CSkinManagerUI* GetManager() const { return manager_; }
  CControlUI* GetParent() const { return parent_; }
  virtual void SetManager(CSkinManagerUI* manager, CControlUI* parent);
  // Called once when the tree has been attached to a manager.
  virtual void DoInit() {}

  // Marks the control's rectangle for repainting.
  void Invalidate();
  // Forces layout of the whole window and a repaint.
  void NeedParentUpdate();

  virtual void DoEvent(TEventUI& event);
  virtual void DoPaint(skinui::Painter& painter, const skinui::Rect& dirty);
  // The topmost visible control under |point| (this, a child, or nullptr).
  virtual CControlUI* FindControlAt(skinui::Point point);
  // Visits this control and, for containers, every descendant.
  virtual void ForEach(const std::function<void(CControlUI*)>& visit);

  // Listeners that see every notification this control raises before the
  // window does; returning true has no further meaning here.
  std::vector<std::function<bool(SkinNotify&)>> OnNotify;

  // Draws an image description into this control's rectangle; false when the
  // image cannot be found or decoded.
  bool DrawImage(skinui::Painter& painter, const std::wstring& description);

 protected:
  virtual void PaintBkColor(skinui::Painter& painter);
  virtual void PaintBkImage(skinui::Painter& painter);
  virtual void PaintStatusImage(skinui::Painter& painter) {}
  virtual void PaintText(skinui::Painter& painter) {}
  virtual void PaintBorder(skinui::Painter& painter);
  // Raises a notification from this control (synchronously).
  void Notify(const std::wstring& type, uintptr_t wParam = 0, intptr_t lParam = 0);

  CSkinManagerUI* manager_ = nullptr;
  CControlUI* parent_ = nullptr;
  std::wstring name_;
  std::wstring text_;
  std::wstring user_data_;
  skinui::Rect pos_;
  skinui::Rect padding_;
  skinui::Size fixed_;
  bool visible_ = true;
  bool enabled_ = true;
  bool mouse_enabled_ = true;
  uint32_t bk_color_ = 0;
  std::wstring bk_image_;
  skinui::Size border_round_;
  int border_size_ = 0;
  uint32_t border_color_ = 0;
};
