#include "skinui/container.h"

#include "skinui/control_manager.h"
#include "skinui/image_description.h"
#include "skinui/painter.h"

using skinui::Rect;
using skinui::Size;

CControlUI* CContainerUI::GetInterface(const std::wstring& name) {
  if (name == L"Container") return this;
  return CControlUI::GetInterface(name);
}

bool CContainerUI::Add(CControlUI* control) {
  if (control == nullptr) return false;
  items_.emplace_back(control);
  if (manager_ != nullptr) control->SetManager(manager_, this);
  NeedParentUpdate();
  return true;
}

CControlUI* CContainerUI::GetItemAt(int index) const {
  if (index < 0 || index >= GetCount()) return nullptr;
  return items_[index].get();
}

int CContainerUI::GetItemIndex(const CControlUI* control) const {
  for (int i = 0; i < GetCount(); ++i) {
    if (items_[i].get() == control) return i;
  }
  return -1;
}

void CContainerUI::SetAttribute(const std::wstring& name, const std::wstring& value) {
  if (name == L"inset") {
    SetInset(skinui::ParseMarkupRect(value));
  } else if (name == L"childpadding") {
    SetChildPadding(static_cast<int>(skinui::ParseMarkupInt(value.c_str())));
  } else {
    CControlUI::SetAttribute(name, value);
  }
}

void CContainerUI::SetManager(CSkinManagerUI* manager, CControlUI* parent) {
  CControlUI::SetManager(manager, parent);
  for (auto& item : items_) item->SetManager(manager, this);
}

void CContainerUI::SetPos(const Rect& rect) {
  CControlUI::SetPos(rect);
  // A plain container stacks nothing: every child fills the content area.
  for (auto& item : items_) {
    if (item->IsVisible()) item->SetPos(ContentRect().Deflate(item->GetPadding()));
  }
}

void CContainerUI::DoPaint(skinui::Painter& painter, const Rect& dirty) {
  if (pos_.Intersect(dirty).empty()) return;
  CControlUI::DoPaint(painter, dirty);
  skinui::PainterClipSaver clip(painter, pos_);
  for (auto& item : items_) {
    if (item->IsVisible()) item->DoPaint(painter, dirty);
  }
}

CControlUI* CContainerUI::FindControlAt(skinui::Point point) {
  if (!visible_ || !pos_.Contains(point)) return nullptr;
  // Later children paint over earlier ones, so they are hit first.
  for (auto it = items_.rbegin(); it != items_.rend(); ++it) {
    if (CControlUI* hit = (*it)->FindControlAt(point)) return hit;
  }
  return this;
}

void CContainerUI::ForEach(const std::function<void(CControlUI*)>& visit) {
  visit(this);
  for (auto& item : items_) item->ForEach(visit);
}

namespace {

// Splits |space| among the stretched children: each gets an equal share,
// the last one the remainder.
struct StretchShare {
  int each = 0;
  int remainder = 0;
};

StretchShare ShareOut(int space, int stretched) {
  if (stretched <= 0) return {};
  space = std::max(0, space);
  return StretchShare{space / stretched, space % stretched};
}

}  // namespace

CControlUI* CVerticalLayoutUI::GetInterface(const std::wstring& name) {
  if (name == L"VerticalLayout") return this;
  return CContainerUI::GetInterface(name);
}

void CVerticalLayoutUI::SetPos(const Rect& rect) {
  CControlUI::SetPos(rect);
  const Rect area = ContentRect();
  const Size avail{area.width(), area.height()};
  int fixed_total = 0, stretched = 0, visible = 0;
  for (auto& item : items_) {
    if (!item->IsVisible()) continue;
    Size sz = item->EstimateSize(avail);
    const Rect& pad = item->GetPadding();
    if (sz.cy == 0) ++stretched; else fixed_total += sz.cy;
    fixed_total += pad.top + pad.bottom;
    ++visible;
  }
  if (visible > 1) fixed_total += child_padding_ * (visible - 1);
  StretchShare share = ShareOut(avail.cy - fixed_total, stretched);
  int seen_stretched = 0;
  int y = area.top;
  for (auto& item : items_) {
    if (!item->IsVisible()) continue;
    Size sz = item->EstimateSize(avail);
    const Rect& pad = item->GetPadding();
    int h = sz.cy;
    if (h == 0) {
      ++seen_stretched;
      h = share.each + (seen_stretched == stretched ? share.remainder : 0);
    }
    int w = sz.cx == 0 ? area.width() - pad.left - pad.right
                       : std::min(sz.cx, area.width() - pad.left - pad.right);
    w = std::max(0, w);
    Rect r{area.left + pad.left, y + pad.top, area.left + pad.left + w, y + pad.top + h};
    item->SetPos(r);
    y += pad.top + h + pad.bottom + child_padding_;
  }
}

CControlUI* CHorizontalLayoutUI::GetInterface(const std::wstring& name) {
  if (name == L"HorizontalLayout") return this;
  return CContainerUI::GetInterface(name);
}

void CHorizontalLayoutUI::SetPos(const Rect& rect) {
  CControlUI::SetPos(rect);
  const Rect area = ContentRect();
  const Size avail{area.width(), area.height()};
  int fixed_total = 0, stretched = 0, visible = 0;
  for (auto& item : items_) {
    if (!item->IsVisible()) continue;
    Size sz = item->EstimateSize(avail);
    const Rect& pad = item->GetPadding();
    if (sz.cx == 0) ++stretched; else fixed_total += sz.cx;
    fixed_total += pad.left + pad.right;
    ++visible;
  }
  if (visible > 1) fixed_total += child_padding_ * (visible - 1);
  StretchShare share = ShareOut(avail.cx - fixed_total, stretched);
  int seen_stretched = 0;
  int x = area.left;
  for (auto& item : items_) {
    if (!item->IsVisible()) continue;
    Size sz = item->EstimateSize(avail);
    const Rect& pad = item->GetPadding();
    int w = sz.cx;
    if (w == 0) {
      ++seen_stretched;
      w = share.each + (seen_stretched == stretched ? share.remainder : 0);
    }
    int h = sz.cy == 0 ? area.height() - pad.top - pad.bottom
                       : std::min(sz.cy, area.height() - pad.top - pad.bottom);
    h = std::max(0, h);
    Rect r{x + pad.left, area.top + pad.top, x + pad.left + w, area.top + pad.top + h};
    item->SetPos(r);
    x += pad.left + w + pad.right + child_padding_;
  }
}

CControlUI* CTabLayoutUI::GetInterface(const std::wstring& name) {
  if (name == L"TabLayout") return this;
  return CContainerUI::GetInterface(name);
}

bool CTabLayoutUI::Add(CControlUI* control) {
  if (!CContainerUI::Add(control)) return false;
  // The first page that the markup leaves visible becomes the current one.
  if (current_ == -1 && control->IsVisible()) {
    current_ = GetCount() - 1;
  } else {
    control->SetVisible(false);
  }
  return true;
}

bool CTabLayoutUI::SelectItem(int index, bool notify) {
  if (index < 0 || index >= GetCount() || index == current_) return false;
  const int old = current_;
  current_ = index;
  for (int i = 0; i < GetCount(); ++i) items_[i]->SetVisible(i == index);
  NeedParentUpdate();
  if (notify) Notify(L"tabselect", static_cast<uintptr_t>(index), old);
  return true;
}

void CTabLayoutUI::SetAttribute(const std::wstring& name, const std::wstring& value) {
  if (name == L"selectedid") {
    SelectItem(static_cast<int>(skinui::ParseMarkupInt(value.c_str())), false);
  } else {
    CContainerUI::SetAttribute(name, value);
  }
}

void CTabLayoutUI::SetPos(const Rect& rect) {
  CControlUI::SetPos(rect);
  for (auto& item : items_) {
    if (item->IsVisible()) item->SetPos(ContentRect().Deflate(item->GetPadding()));
  }
}
