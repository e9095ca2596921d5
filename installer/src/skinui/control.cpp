#include "skinui/control.h"

#include "skinui/control_manager.h"
#include "skinui/image_description.h"
#include "skinui/painter.h"
#include "utils/text.h"

using skinui::Painter;
using skinui::Rect;

CControlUI::CControlUI() = default;

CControlUI::~CControlUI() {
  if (manager_ != nullptr) manager_->ReapObjects(this);
}

CControlUI* CControlUI::GetInterface(const std::wstring& name) {
  return name == L"Control" ? this : nullptr;
}

void CControlUI::SetText(const std::wstring& text) {
  if (text_ == text) return;
  text_ = text;
  Invalidate();
}

void CControlUI::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  if (!visible && manager_ != nullptr && IsFocused()) manager_->SetFocus(nullptr);
  NeedParentUpdate();
}

void CControlUI::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Invalidate();
}

bool CControlUI::IsFocused() const { return manager_ != nullptr && manager_->GetFocus() == this; }

void CControlUI::SetFocus() {
  if (manager_ != nullptr) manager_->SetFocus(this);
}

void CControlUI::SetFixedWidth(int cx) {
  if (cx < 0) return;
  fixed_.cx = cx;
  NeedParentUpdate();
}

void CControlUI::SetFixedHeight(int cy) {
  if (cy < 0) return;
  fixed_.cy = cy;
  NeedParentUpdate();
}

void CControlUI::SetPos(const Rect& rect) {
  pos_ = rect;
  Invalidate();
}

void CControlUI::SetBkColor(uint32_t argb) {
  bk_color_ = argb;
  Invalidate();
}

void CControlUI::SetBkImage(const std::wstring& description) {
  if (bk_image_ == description) return;
  bk_image_ = description;
  Invalidate();
}

void CControlUI::SetManager(CSkinManagerUI* manager, CControlUI* parent) {
  manager_ = manager;
  parent_ = parent;
}

void CControlUI::Invalidate() {
  if (manager_ != nullptr) manager_->Invalidate();
}

void CControlUI::NeedParentUpdate() {
  if (manager_ != nullptr) manager_->NeedUpdate();
}

void CControlUI::SetAttribute(const std::wstring& name, const std::wstring& value) {
  using namespace skinui;
  if (name == L"name") {
    SetName(value);
  } else if (name == L"text") {
    SetText(value);
  } else if (name == L"width") {
    SetFixedWidth(static_cast<int>(ParseMarkupInt(value.c_str())));
  } else if (name == L"height") {
    SetFixedHeight(static_cast<int>(ParseMarkupInt(value.c_str())));
  } else if (name == L"pos") {
    Rect r = ParseMarkupRect(value);
    SetFixedWidth(r.right - r.left);
    SetFixedHeight(r.bottom - r.top);
  } else if (name == L"padding") {
    SetPadding(ParseMarkupRect(value));
  } else if (name == L"visible") {
    SetVisible(ParseMarkupBool(value));
  } else if (name == L"enabled") {
    SetEnabled(ParseMarkupBool(value));
  } else if (name == L"mouse") {
    mouse_enabled_ = ParseMarkupBool(value);
  } else if (name == L"bkcolor") {
    SetBkColor(ParseMarkupColor(value));
  } else if (name == L"bkimage") {
    SetBkImage(value);
  } else if (name == L"borderround") {
    SetBorderRound(ParseMarkupSize(value));
  } else if (name == L"bordersize") {
    SetBorderSize(static_cast<int>(ParseMarkupInt(value.c_str())));
  } else if (name == L"bordercolor") {
    SetBorderColor(ParseMarkupColor(value));
  } else if (name == L"userdata") {
    SetUserData(value);
  }
}

void CControlUI::DoEvent(TEventUI& event) {
  // Timers on a plain control are not consumed: they become notifications.
  if (event.type == UIEvent::kTimer) Notify(L"timer", event.wParam, 0);
}

void CControlUI::DoPaint(Painter& painter, const Rect& dirty) {
  if (pos_.Intersect(dirty).empty()) return;
  skinui::PainterClipSaver clip(painter, pos_);
  PaintBkColor(painter);
  PaintBkImage(painter);
  PaintStatusImage(painter);
  PaintText(painter);
  PaintBorder(painter);
}

void CControlUI::PaintBkColor(Painter& painter) {
  if ((bk_color_ >> 24) == 0) return;
  painter.FillRoundRect(pos_, border_round_.cx, border_round_.cy, bk_color_);
}

void CControlUI::PaintBkImage(Painter& painter) {
  if (!bk_image_.empty()) DrawImage(painter, bk_image_);
}

void CControlUI::PaintBorder(Painter& painter) {
  if (border_size_ > 0 && (border_color_ >> 24) != 0) {
    painter.DrawBorder(pos_, border_size_, border_color_);
  }
}

CControlUI* CControlUI::FindControlAt(skinui::Point point) {
  if (!visible_ || !pos_.Contains(point)) return nullptr;
  return this;
}

void CControlUI::ForEach(const std::function<void(CControlUI*)>& visit) { visit(this); }

void CControlUI::Notify(const std::wstring& type, uintptr_t wParam, intptr_t lParam) {
  if (manager_ != nullptr) manager_->SendNotify(this, type, wParam, lParam);
}

bool CControlUI::DrawImage(Painter& painter, const std::wstring& description) {
  if (manager_ == nullptr || description.empty()) return false;
  const skinui::ImageDescription& d = manager_->GetImageDescription(description);
  Rect dest = pos_;
  if (!d.dest.IsZero()) {
    dest = Rect{pos_.left + d.dest.left, pos_.top + d.dest.top,
                std::min(pos_.right, pos_.left + d.dest.right),
                std::min(pos_.bottom, pos_.top + d.dest.bottom)};
  }
  if (d.file.empty() && d.has_color) {
    painter.FillRect(dest, d.color);
    return true;
  }
  if (d.file.empty()) return false;
  std::shared_ptr<skinui::Bitmap> image = manager_->GetImage(d.file, d.mask);
  if (image == nullptr) return false;
  skinui::ImageDrawParams params;
  params.source = d.source;
  params.corner = d.corner;
  params.fade = d.fade;
  params.hole = d.hole;
  params.xtiled = d.xtiled;
  params.ytiled = d.ytiled;
  painter.DrawImage(*image, dest, params);
  return true;
}
