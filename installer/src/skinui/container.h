// Controls that hold children: the two stacking layouts and the tab layout.
#pragma once

#include <memory>
#include <vector>

#include "skinui/control.h"

class CContainerUI : public CControlUI {
 public:
  std::wstring GetClass() const override { return L"Container"; }
  CControlUI* GetInterface(const std::wstring& name) override;

  // Takes ownership of |control|.
  virtual bool Add(CControlUI* control);
  int GetCount() const { return static_cast<int>(items_.size()); }
  CControlUI* GetItemAt(int index) const;
  int GetItemIndex(const CControlUI* control) const;

  void SetInset(const skinui::Rect& inset) { inset_ = inset; }
  void SetChildPadding(int padding) { child_padding_ = padding; }

  void SetAttribute(const std::wstring& name, const std::wstring& value) override;
  void SetManager(CSkinManagerUI* manager, CControlUI* parent) override;
  void SetPos(const skinui::Rect& rect) override;
  void DoPaint(skinui::Painter& painter, const skinui::Rect& dirty) override;
  CControlUI* FindControlAt(skinui::Point point) override;
  void ForEach(const std::function<void(CControlUI*)>& visit) override;
  bool IsMouseTarget() const override { return false; }

 protected:
  skinui::Rect ContentRect() const { return pos_.Deflate(inset_); }

  std::vector<std::unique_ptr<CControlUI>> items_;
  skinui::Rect inset_;
  int child_padding_ = 0;
};

class CVerticalLayoutUI : public CContainerUI {
 public:
  std::wstring GetClass() const override { return L"VerticalLayout"; }
  CControlUI* GetInterface(const std::wstring& name) override;
  void SetPos(const skinui::Rect& rect) override;
};

class CHorizontalLayoutUI : public CContainerUI {
 public:
  std::wstring GetClass() const override { return L"HorizontalLayout"; }
  CControlUI* GetInterface(const std::wstring& name) override;
  void SetPos(const skinui::Rect& rect) override;
};

// Shows exactly one child page; the first child is current after loading.
class CTabLayoutUI : public CContainerUI {
 public:
  std::wstring GetClass() const override { return L"TabLayout"; }
  CControlUI* GetInterface(const std::wstring& name) override;

  bool Add(CControlUI* control) override;
  int GetCurSel() const { return current_; }
  // Shows page |index|. Selecting the current page or an index out of range
  // does nothing and answers false. With |notify|, raises "tabselect"
  // (wParam the new index, lParam the old one).
  bool SelectItem(int index, bool notify = true);

  void SetAttribute(const std::wstring& name, const std::wstring& value) override;
  void SetPos(const skinui::Rect& rect) override;

 private:
  int current_ = -1;
};
