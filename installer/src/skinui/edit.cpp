#include "skinui/edit.h"

#include "skinui/control_manager.h"
#include "skinui/image_description.h"
#include "skinui/messages.h"
#include "skinui/painter.h"
#include "skinui/text_layout.h"

using skinui::Painter;
using skinui::Rect;

CEditUI::CEditUI() { text_style_ = skinui::kTextSingleLine | skinui::kTextVCenter; }

CControlUI* CEditUI::GetInterface(const std::wstring& name) {
  if (name == L"Edit") return this;
  return CLabelUI::GetInterface(name);
}

void CEditUI::SetText(const std::wstring& text) {
  CLabelUI::SetText(text);
  caret_ = anchor_ = static_cast<int>(text_.size());
}

void CEditUI::SetSel(int anchor, int caret) {
  const int n = static_cast<int>(text_.size());
  anchor_ = std::clamp(anchor, 0, n);
  caret_ = std::clamp(caret, 0, n);
  Invalidate();
}

void CEditUI::SetAttribute(const std::wstring& name, const std::wstring& value) {
  if (name == L"maxchar") {
    SetMaxChar(static_cast<int>(skinui::ParseMarkupInt(value.c_str())));
  } else if (name == L"readonly") {
    SetReadOnly(skinui::ParseMarkupBool(value));
  } else {
    CLabelUI::SetAttribute(name, value);
  }
}

bool CEditUI::DeleteSelection() {
  if (anchor_ == caret_) return false;
  const int from = std::min(anchor_, caret_), to = std::max(anchor_, caret_);
  text_.erase(from, to - from);
  caret_ = anchor_ = from;
  return true;
}

void CEditUI::InsertText(const std::wstring& text) {
  std::wstring clean;
  for (wchar_t c : text) {
    if (c >= 0x20 && c != 0x7F) clean.push_back(c);  // one line: no control characters
  }
  DeleteSelection();
  const int room = max_char_ - static_cast<int>(text_.size());
  if (room <= 0 || clean.empty()) return;
  if (static_cast<int>(clean.size()) > room) clean.resize(room);
  text_.insert(caret_, clean);
  caret_ += static_cast<int>(clean.size());
  anchor_ = caret_;
  Notify(L"textchanged");
}

void CEditUI::MoveCaret(int to, bool extend) {
  caret_ = std::clamp(to, 0, static_cast<int>(text_.size()));
  if (!extend) anchor_ = caret_;
  Invalidate();
}

int CEditUI::CaretFromX(int x) const {
  const int origin = pos_.left + text_padding_.left - scroll_x_;
  int best = 0, best_distance = std::abs(x - origin);
  for (int i = 1; i <= static_cast<int>(text_.size()); ++i) {
    int d = std::abs(x - (origin + MeasureTextWidth(text_.substr(0, i))));
    if (d < best_distance) {
      best = i;
      best_distance = d;
    }
  }
  return best;
}

void CEditUI::DoEvent(TEventUI& event) {
  using namespace skinui;
  if (!enabled_) return CLabelUI::DoEvent(event);
  switch (event.type) {
    case UIEvent::kButtonDown:
      MoveCaret(CaretFromX(event.mouse.x), event.modifiers.shift);
      return;
    case UIEvent::kSetFocus:
    case UIEvent::kKillFocus:
      Invalidate();
      return;
    case UIEvent::kKeyDown: {
      const bool shift = event.modifiers.shift;
      switch (event.key) {
        case kVkLeft:
          if (!shift && anchor_ != caret_) return MoveCaret(std::min(anchor_, caret_), false);
          return MoveCaret(caret_ - 1, shift);
        case kVkRight:
          if (!shift && anchor_ != caret_) return MoveCaret(std::max(anchor_, caret_), false);
          return MoveCaret(caret_ + 1, shift);
        case kVkHome:
          return MoveCaret(0, shift);
        case kVkEnd:
          return MoveCaret(static_cast<int>(text_.size()), shift);
        case kVkBack:
          if (read_only_) return;
          if (!DeleteSelection() && caret_ > 0) {
            text_.erase(--caret_, 1);
            anchor_ = caret_;
          }
          Notify(L"textchanged");
          return Invalidate();
        case kVkDelete:
          if (read_only_) return;
          if (!DeleteSelection() && caret_ < static_cast<int>(text_.size())) {
            text_.erase(caret_, 1);
          }
          Notify(L"textchanged");
          return Invalidate();
        case 'A':
          if (event.modifiers.control) SetSel(0, static_cast<int>(text_.size()));
          return;
        case 'V':
          if (event.modifiers.control && !read_only_ && manager_ != nullptr &&
              manager_->host() != nullptr) {
            InsertText(manager_->host()->ClipboardText());
            Invalidate();
          }
          return;
        default:
          return;
      }
    }
    case UIEvent::kChar:
      if (read_only_ || event.modifiers.control || event.key < 0x20) return;
      InsertText(std::wstring(1, static_cast<wchar_t>(event.key)));
      Invalidate();
      return;
    default:
      CLabelUI::DoEvent(event);
  }
}

void CEditUI::PaintText(Painter& painter) {
  const Rect area = pos_.Deflate(text_padding_);
  if (area.empty()) return;
  skinui::TextService& ts = skinui::TextService::Instance();
  const skinui::FontSpec font = Font();
  const skinui::FontMetrics m = ts.Metrics(font);
  // Keep the caret inside the visible part of the line.
  const int caret_x = MeasureTextWidth(text_.substr(0, caret_));
  if (caret_x - scroll_x_ > area.width() - 1) scroll_x_ = caret_x - area.width() + 1;
  if (caret_x < scroll_x_) scroll_x_ = caret_x;
  const int origin = area.left - scroll_x_;
  const int top = area.top + (area.height() - m.height) / 2;
  skinui::PainterClipSaver clip(painter, area);
  if (anchor_ != caret_ && IsFocused()) {
    const int from = std::min(anchor_, caret_), to = std::max(anchor_, caret_);
    const int x0 = origin + MeasureTextWidth(text_.substr(0, from));
    const int x1 = origin + MeasureTextWidth(text_.substr(0, to));
    painter.FillRect(Rect{x0, top, x1, top + m.height}, selection_color_);
  }
  uint32_t colour = (text_color_ >> 24) ? text_color_ : 0xFF000000;
  ts.DrawLine(painter, font, text_, origin, top + m.ascent, colour);
  if (IsFocused()) {
    painter.FillRect(Rect{origin + caret_x, top, origin + caret_x + 1, top + m.height}, colour);
  }
}
