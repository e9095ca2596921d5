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

namespace {

enum class Axis { kVertical, kHorizontal };

// A rectangle seen along |axis|: "main" is the direction children follow one
// another, "cross" the other one.
struct AxisView {
  Axis axis;
  int MainSize(const Size& s) const { return axis == Axis::kVertical ? s.cy : s.cx; }
  int CrossSize(const Size& s) const { return axis == Axis::kVertical ? s.cx : s.cy; }
  int MainBefore(const Rect& r) const { return axis == Axis::kVertical ? r.top : r.left; }
  int MainAfter(const Rect& r) const { return axis == Axis::kVertical ? r.bottom : r.right; }
  int CrossBefore(const Rect& r) const { return axis == Axis::kVertical ? r.left : r.top; }
  int CrossAfter(const Rect& r) const { return axis == Axis::kVertical ? r.right : r.bottom; }
  Rect Make(int main, int cross, int main_length, int cross_length) const {
    return axis == Axis::kVertical ? Rect{cross, main, cross + cross_length, main + main_length}
                                   : Rect{main, cross, main + main_length, cross + cross_length};
  }
};

// Places the visible children one after another along |axis|: children with
// a size on that axis keep it, the others share what is left; on the cross
// axis a child without a size fills the area.
void LayOutLine(std::vector<std::unique_ptr<CControlUI>>& items, const Rect& area, int child_padding,
                Axis axis) {
  const AxisView view{axis};
  const Size avail{area.width(), area.height()};
  const int main_length = view.MainSize(avail);
  const int cross_length = view.CrossSize(avail);
  int fixed_total = 0, stretched = 0, visible = 0;
  for (auto& item : items) {
    if (!item->IsVisible()) continue;
    const int size = view.MainSize(item->EstimateSize(avail));
    const Rect& pad = item->GetPadding();
    if (size == 0) ++stretched; else fixed_total += size;
    fixed_total += view.MainBefore(pad) + view.MainAfter(pad);
    ++visible;
  }
  if (visible > 1) fixed_total += child_padding * (visible - 1);
  const StretchShare share = ShareOut(main_length - fixed_total, stretched);
  int seen_stretched = 0;
  int main = view.MainBefore(area);
  for (auto& item : items) {
    if (!item->IsVisible()) continue;
    const Size sz = item->EstimateSize(avail);
    const Rect& pad = item->GetPadding();
    int length = view.MainSize(sz);
    if (length == 0) {
      ++seen_stretched;
      length = share.each + (seen_stretched == stretched ? share.remainder : 0);
    }
    const int room = cross_length - view.CrossBefore(pad) - view.CrossAfter(pad);
    const int cross = view.CrossSize(sz) == 0 ? room : std::min(view.CrossSize(sz), room);
    item->SetPos(view.Make(main + view.MainBefore(pad), view.CrossBefore(area) + view.CrossBefore(pad), length,
                           std::max(0, cross)));
    main += view.MainBefore(pad) + length + view.MainAfter(pad) + child_padding;
  }
}

}  // namespace

CControlUI* CVerticalLayoutUI::GetInterface(const std::wstring& name) {
  if (name == L"VerticalLayout") return this;
  return CContainerUI::GetInterface(name);
}

void CVerticalLayoutUI::SetPos(const Rect& rect) {
  CControlUI::SetPos(rect);
  LayOutLine(items_, ContentRect(), child_padding_, Axis::kVertical);
}

CControlUI* CHorizontalLayoutUI::GetInterface(const std::wstring& name) {
  if (name == L"HorizontalLayout") return this;
  return CContainerUI::GetInterface(name);
}

void CHorizontalLayoutUI::SetPos(const Rect& rect) {
  CControlUI::SetPos(rect);
  LayOutLine(items_, ContentRect(), child_padding_, Axis::kHorizontal);
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
