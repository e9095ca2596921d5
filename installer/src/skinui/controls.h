// The leaf controls of the library: label, button, option and check box,
// progress bar.
#pragma once

#include "skinui/control.h"
#include "skinui/text_service.h"

class CLabelUI : public CControlUI {
 public:
  std::wstring GetClass() const override { return L"Label"; }
  CControlUI* GetInterface(const std::wstring& name) override;
  bool IsMouseTarget() const override { return false; }

  void SetFont(int id) { font_ = id; }
  int GetFont() const { return font_; }
  void SetTextColor(uint32_t argb) { text_color_ = argb; }
  uint32_t GetTextColor() const { return text_color_; }
  void SetTextPadding(const skinui::Rect& padding) { text_padding_ = padding; }
  const skinui::Rect& GetTextPadding() const { return text_padding_; }
  unsigned GetTextStyle() const { return text_style_; }
  // Pixel width of |text| in this label's font.
  int MeasureTextWidth(const std::wstring& text) const;

  void SetAttribute(const std::wstring& name, const std::wstring& value) override;

 protected:
  void PaintText(skinui::Painter& painter) override;
  void PaintTextColored(skinui::Painter& painter, uint32_t argb);
  skinui::FontSpec Font() const;

  int font_ = -1;
  uint32_t text_color_ = 0;
  uint32_t disabled_text_color_ = 0;
  skinui::Rect text_padding_;
  unsigned text_style_;

 public:
  CLabelUI();
};

class CButtonUI : public CLabelUI {
 public:
  CButtonUI();
  std::wstring GetClass() const override { return L"Button"; }
  CControlUI* GetInterface(const std::wstring& name) override;
  bool IsMouseTarget() const override { return mouse_enabled_; }
  bool IsFocusable() const override { return true; }

  // Raises "click"; answers false for a disabled or invisible button.
  virtual bool Activate();
  bool IsHot() const { return hot_; }
  bool IsPushed() const { return pushed_; }

  void SetNormalImage(const std::wstring& d) { normal_image_ = d; }
  void SetHotImage(const std::wstring& d) { hot_image_ = d; }
  void SetPushedImage(const std::wstring& d) { pushed_image_ = d; }
  void SetDisabledImage(const std::wstring& d) { disabled_image_ = d; }

  void SetAttribute(const std::wstring& name, const std::wstring& value) override;
  void SetEnabled(bool enabled) override;
  void DoEvent(TEventUI& event) override;

 protected:
  void PaintBkColor(skinui::Painter& painter) override;
  void PaintStatusImage(skinui::Painter& painter) override;
  void PaintText(skinui::Painter& painter) override;

  bool hot_ = false;
  bool pushed_ = false;
  bool captured_ = false;
  uint32_t hot_bk_color_ = 0;
  uint32_t pushed_bk_color_ = 0;
  uint32_t hot_text_color_ = 0;
  uint32_t pushed_text_color_ = 0;
  std::wstring normal_image_, hot_image_, pushed_image_, disabled_image_;
};

class COptionUI : public CButtonUI {
 public:
  std::wstring GetClass() const override { return L"Option"; }
  CControlUI* GetInterface(const std::wstring& name) override;

  bool IsSelected() const { return selected_; }
  // Changes the selection; raises "selectchanged" when the state changes.
  virtual void Selected(bool selected);
  bool Activate() override;

  void SetAttribute(const std::wstring& name, const std::wstring& value) override;

 protected:
  void PaintStatusImage(skinui::Painter& painter) override;
  void PaintText(skinui::Painter& painter) override;

  bool selected_ = false;
  std::wstring selected_image_;
  uint32_t selected_text_color_ = 0;
};

class CCheckBoxUI : public COptionUI {
 public:
  std::wstring GetClass() const override { return L"CheckBox"; }
  CControlUI* GetInterface(const std::wstring& name) override;
  bool GetCheck() const { return IsSelected(); }
  void SetCheck(bool check) { Selected(check); }
};

// Horizontal bar from 0 to 100: the background is the control's, the filled
// part is the fore image drawn over value percent of the width.
class CProgressUI : public CLabelUI {
 public:
  std::wstring GetClass() const override { return L"Progress"; }
  CControlUI* GetInterface(const std::wstring& name) override;

  int GetValue() const { return value_; }
  void SetValue(int value);
  void SetForeImage(const std::wstring& description);
  const std::wstring& GetForeImage() const { return fore_image_; }

  void SetAttribute(const std::wstring& name, const std::wstring& value) override;

 protected:
  void PaintStatusImage(skinui::Painter& painter) override;

  int min_ = 0;
  int max_ = 100;
  int value_ = 0;
  std::wstring fore_image_;
};
