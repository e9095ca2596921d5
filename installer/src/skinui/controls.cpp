#include "skinui/controls.h"

#include "skinui/control_manager.h"
#include "skinui/image_description.h"
#include "skinui/painter.h"
#include "skinui/text_layout.h"
#include "skinui/text_layout.h"

using skinui::Painter;
using skinui::Rect;

// ---- CLabelUI ---------------------------------------------------------------

CLabelUI::CLabelUI() : text_style_(skinui::kTextVCenter | skinui::kTextSingleLine) {}

CControlUI* CLabelUI::GetInterface(const std::wstring& name) {
  if (name == L"Label") return this;
  return CControlUI::GetInterface(name);
}

skinui::FontSpec CLabelUI::Font() const {
  return manager_ != nullptr ? manager_->GetFont(font_) : skinui::FontSpec{};
}

int CLabelUI::MeasureTextWidth(const std::wstring& text) const {
  return skinui::TextService::Instance().MeasureWidth(Font(), text);
}

void CLabelUI::SetAttribute(const std::wstring& name, const std::wstring& value) {
  using namespace skinui;
  if (name == L"font") {
    SetFont(static_cast<int>(ParseMarkupInt(value.c_str())));
  } else if (name == L"textcolor") {
    SetTextColor(ParseMarkupColor(value));
  } else if (name == L"disabledtextcolor") {
    disabled_text_color_ = ParseMarkupColor(value);
  } else if (name == L"textpadding") {
    SetTextPadding(ParseMarkupRect(value));
  } else if (name == L"align") {
    // The value is searched for the words, the last one found wins.
    if (value.find(L"left") != std::wstring::npos) {
      text_style_ &= ~(kTextCenter | kTextRight);
    }
    if (value.find(L"center") != std::wstring::npos) {
      text_style_ = (text_style_ & ~kTextRight) | kTextCenter;
    }
    if (value.find(L"right") != std::wstring::npos) {
      text_style_ = (text_style_ & ~kTextCenter) | kTextRight;
    }
  } else if (name == L"valign") {
    if (value.find(L"top") != std::wstring::npos) {
      text_style_ &= ~(kTextVCenter | kTextBottom);
    }
    if (value.find(L"vcenter") != std::wstring::npos) {
      text_style_ = (text_style_ & ~kTextBottom) | kTextVCenter;
    }
    if (value.find(L"bottom") != std::wstring::npos) {
      text_style_ = (text_style_ & ~kTextVCenter) | kTextBottom;
    }
  } else if (name == L"multiline") {
    if (ParseMarkupBool(value)) {
      text_style_ = (text_style_ & ~kTextSingleLine) | kTextWordBreak;
    } else {
      text_style_ = (text_style_ & ~kTextWordBreak) | kTextSingleLine;
    }
  } else {
    CControlUI::SetAttribute(name, value);
  }
}

void CLabelUI::PaintTextColored(Painter& painter, uint32_t argb) {
  if (text_.empty()) return;
  if (!enabled_ && (disabled_text_color_ >> 24) != 0) argb = disabled_text_color_;
  if ((argb >> 24) == 0) argb = 0xFF000000;  // no colour set: black, like the system default
  skinui::DrawTextInRect(painter, skinui::TextService::Instance(), Font(), text_,
                         pos_.Deflate(text_padding_), argb, text_style_);
}

void CLabelUI::PaintText(Painter& painter) { PaintTextColored(painter, text_color_); }

// ---- CButtonUI --------------------------------------------------------------

CButtonUI::CButtonUI() { text_style_ = skinui::kTextSingleLine | skinui::kTextVCenter | skinui::kTextCenter; }

CControlUI* CButtonUI::GetInterface(const std::wstring& name) {
  if (name == L"Button") return this;
  return CLabelUI::GetInterface(name);
}

bool CButtonUI::Activate() {
  if (!IsVisible() || !IsEnabled()) return false;
  Notify(L"click");
  return true;
}

void CButtonUI::SetEnabled(bool enabled) {
  if (!enabled) hot_ = pushed_ = captured_ = false;
  CLabelUI::SetEnabled(enabled);
}

void CButtonUI::SetAttribute(const std::wstring& name, const std::wstring& value) {
  using namespace skinui;
  if (name == L"normalimage") {
    SetNormalImage(value);
  } else if (name == L"hotimage") {
    SetHotImage(value);
  } else if (name == L"pushedimage") {
    SetPushedImage(value);
  } else if (name == L"disabledimage") {
    SetDisabledImage(value);
  } else if (name == L"hotbkcolor") {
    hot_bk_color_ = ParseMarkupColor(value);
  } else if (name == L"pushedbkcolor") {
    pushed_bk_color_ = ParseMarkupColor(value);
  } else if (name == L"hottextcolor") {
    hot_text_color_ = ParseMarkupColor(value);
  } else if (name == L"pushedtextcolor") {
    pushed_text_color_ = ParseMarkupColor(value);
  } else {
    CLabelUI::SetAttribute(name, value);
  }
}

void CButtonUI::DoEvent(TEventUI& event) {
  switch (event.type) {
    case UIEvent::kMouseEnter:
      if (enabled_) {
        hot_ = true;
        Invalidate();
      }
      return;
    case UIEvent::kMouseLeave:
      hot_ = false;
      Invalidate();
      return;
    case UIEvent::kButtonDown:
    case UIEvent::kDoubleClick:
      if (enabled_ && pos_.Contains(event.mouse)) {
        pushed_ = captured_ = true;
        Invalidate();
      }
      return;
    case UIEvent::kMouseMove:
      if (captured_) {
        bool inside = pos_.Contains(event.mouse);
        if (inside != pushed_) {
          pushed_ = inside;
          Invalidate();
        }
      }
      return;
    case UIEvent::kButtonUp:
      if (captured_) {
        const bool inside = pos_.Contains(event.mouse);
        pushed_ = captured_ = false;
        Invalidate();
        if (inside) Activate();
      }
      return;
    case UIEvent::kKeyDown:
      if (event.key == skinui::kVkSpace || event.key == skinui::kVkReturn) Activate();
      return;
    default:
      CLabelUI::DoEvent(event);
  }
}

void CButtonUI::PaintBkColor(Painter& painter) {
  uint32_t colour = bk_color_;
  if (enabled_ && pushed_ && (pushed_bk_color_ >> 24) != 0) {
    colour = pushed_bk_color_;
  } else if (enabled_ && hot_ && (hot_bk_color_ >> 24) != 0) {
    colour = hot_bk_color_;
  }
  if ((colour >> 24) != 0) {
    painter.FillRoundRect(pos_, border_round_.cx, border_round_.cy, colour);
  }
}

void CButtonUI::PaintStatusImage(Painter& painter) {
  // A state without its own image falls back to the normal one.
  if (!enabled_ && !disabled_image_.empty() && DrawImage(painter, disabled_image_)) return;
  if (enabled_ && pushed_ && !pushed_image_.empty() && DrawImage(painter, pushed_image_)) return;
  if (enabled_ && hot_ && !hot_image_.empty() && DrawImage(painter, hot_image_)) return;
  if (!normal_image_.empty()) DrawImage(painter, normal_image_);
}

void CButtonUI::PaintText(Painter& painter) {
  uint32_t colour = text_color_;
  if (enabled_ && pushed_ && (pushed_text_color_ >> 24) != 0) {
    colour = pushed_text_color_;
  } else if (enabled_ && hot_ && (hot_text_color_ >> 24) != 0) {
    colour = hot_text_color_;
  }
  PaintTextColored(painter, colour);
}

// ---- COptionUI --------------------------------------------------------------

CControlUI* COptionUI::GetInterface(const std::wstring& name) {
  if (name == L"Option") return this;
  return CButtonUI::GetInterface(name);
}

void COptionUI::Selected(bool selected) {
  if (selected_ == selected) return;
  selected_ = selected;
  Invalidate();
  Notify(L"selectchanged");
}

bool COptionUI::Activate() {
  if (!CButtonUI::Activate()) return false;
  Selected(!selected_);
  return true;
}

void COptionUI::SetAttribute(const std::wstring& name, const std::wstring& value) {
  using namespace skinui;
  if (name == L"selected") {
    // The markup sets the initial state; no one listens yet.
    selected_ = ParseMarkupBool(value);
  } else if (name == L"selectedimage") {
    selected_image_ = value;
  } else if (name == L"selectedtextcolor") {
    selected_text_color_ = ParseMarkupColor(value);
  } else {
    CButtonUI::SetAttribute(name, value);
  }
}

void COptionUI::PaintStatusImage(Painter& painter) {
  if (selected_ && !selected_image_.empty() && DrawImage(painter, selected_image_)) return;
  CButtonUI::PaintStatusImage(painter);
}

void COptionUI::PaintText(Painter& painter) {
  if (selected_ && (selected_text_color_ >> 24) != 0) {
    PaintTextColored(painter, selected_text_color_);
  } else {
    CButtonUI::PaintText(painter);
  }
}

CControlUI* CCheckBoxUI::GetInterface(const std::wstring& name) {
  if (name == L"CheckBox") return this;
  return COptionUI::GetInterface(name);
}

// ---- CProgressUI ------------------------------------------------------------

CControlUI* CProgressUI::GetInterface(const std::wstring& name) {
  if (name == L"Progress") return this;
  return CLabelUI::GetInterface(name);
}

void CProgressUI::SetValue(int value) {
  value = std::clamp(value, min_, max_);
  if (value == value_) return;
  value_ = value;
  Invalidate();
}

void CProgressUI::SetForeImage(const std::wstring& description) {
  fore_image_ = description;
  Invalidate();
}

void CProgressUI::SetAttribute(const std::wstring& name, const std::wstring& value) {
  using namespace skinui;
  if (name == L"foreimage") {
    SetForeImage(value);
  } else if (name == L"value") {
    SetValue(static_cast<int>(ParseMarkupInt(value.c_str())));
  } else {
    CLabelUI::SetAttribute(name, value);
  }
}

void CProgressUI::PaintStatusImage(Painter& painter) {
  if (fore_image_.empty() || max_ <= min_ || value_ <= min_) return;
  const int filled = static_cast<int>(static_cast<long long>(pos_.width()) * (value_ - min_) /
                                      (max_ - min_));
  if (filled <= 0) return;
  // The fore image is laid over the filled part only, so its rounded end
  // moves with the value.
  const Rect full = pos_;
  pos_.right = pos_.left + filled;
  DrawImage(painter, fore_image_);
  pos_ = full;
}
