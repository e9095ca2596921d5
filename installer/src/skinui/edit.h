// Single-line text entry: caret, selection, Backspace, Delete, Home, End,
// arrows (with Shift to select), Ctrl+A, Ctrl+V paste, and any typed text,
// Chinese included.
#pragma once

#include "skinui/controls.h"

class CEditUI : public CLabelUI {
 public:
  CEditUI();
  std::wstring GetClass() const override { return L"Edit"; }
  CControlUI* GetInterface(const std::wstring& name) override;
  bool IsMouseTarget() const override { return mouse_enabled_; }
  bool IsFocusable() const override { return true; }

  void SetText(const std::wstring& text) override;
  void SetMaxChar(int max) { max_char_ = max; }
  void SetReadOnly(bool read_only) { read_only_ = read_only; }
  // Caret position and selection as character indices; the selection is
  // [selection_start, caret) in either order.
  int caret() const { return caret_; }
  int selection_anchor() const { return anchor_; }
  void SetSel(int anchor, int caret);

  void SetAttribute(const std::wstring& name, const std::wstring& value) override;
  void DoEvent(TEventUI& event) override;

 protected:
  void PaintText(skinui::Painter& painter) override;

 private:
  void InsertText(const std::wstring& text);
  bool DeleteSelection();
  void MoveCaret(int to, bool extend);
  int CaretFromX(int x) const;

  int caret_ = 0;
  int anchor_ = 0;
  int max_char_ = 255;
  int scroll_x_ = 0;
  bool read_only_ = false;
  uint32_t selection_color_ = 0xFFA8CCF5;
};
