#include "skin/sequence_controls.h"

#include <cwchar>
#include <cwctype>

#include "skinui/control_manager.h"
#include "skinui/image_description.h"
#include "utils/text.h"

bool SequenceAnimation::SetAttribute(const std::wstring& name, const std::wstring& value) {
  // Only the exact text "false" turns a flag off.
  if (name == L"sequencebkimage") {
    format = value;
  } else if (Utils::EqualsIgnoreCase(name, L"sequencecount")) {
    count = static_cast<int32_t>(skinui::ParseMarkupInt(value.c_str()));
  } else if (Utils::EqualsIgnoreCase(name, L"sequencespan")) {
    span_ = static_cast<int32_t>(skinui::ParseMarkupInt(value.c_str()));
  } else if (Utils::EqualsIgnoreCase(name, L"sequenceloop")) {
    loop = value != L"false";
  } else if (Utils::EqualsIgnoreCase(name, L"autostart")) {
    auto_start = value != L"false";
  } else if (Utils::EqualsIgnoreCase(name, L"sequenceround")) {
    back_and_forth_ = value != L"false";
  } else {
    return false;
  }
  return true;
}

int64_t SequenceAnimation::Tick(bool& stop) {
  stop = false;
  if (format.empty()) return -1;
  // The comparison is unsigned: a count of 0 never wraps.
  if (forward && static_cast<uint32_t>(index) > static_cast<uint32_t>(count - 1)) {
    if (back_and_forth_) {
      forward = false;
      index = count - 2;
    } else {
      index = 0;
      if (!loop) {
        stop = true;
        return -1;
      }
    }
  }
  if (!forward && index == 0) {
    if (back_and_forth_) forward = true;
    index = 0;
    if (!loop) {
      stop = true;
      return -1;
    }
  }
  const int64_t frame = index;
  index += forward ? 1 : -1;
  return frame;
}

namespace {

// True when |format| holds exactly one integer conversion (with optional
// flags, width and precision) and otherwise only text and "%%": anything
// else would make the formatter read arguments that are not there.
bool IsFrameFormat(const std::wstring& format) {
  int conversions = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != L'%') continue;
    if (++i < format.size() && format[i] == L'%') continue;
    while (i < format.size() && std::wcschr(L"-+ #0", format[i])) ++i;
    while (i < format.size() && (std::iswdigit(format[i]) || format[i] == L'.')) ++i;
    if (i >= format.size() || !std::wcschr(L"diuxXo", format[i])) return false;
    ++conversions;
  }
  return conversions == 1;
}

}  // namespace

std::wstring SequenceAnimation::FramePath(int64_t frame) const {
  wchar_t buffer[261] = {0};
  if (!IsFrameFormat(format)) return {};
  std::swprintf(buffer, 261, format.c_str(), static_cast<int>(frame));
  return buffer;
}

// ---- CSequenceLabelUI -------------------------------------------------------

CSequenceLabelUI::CSequenceLabelUI() = default;

CSequenceLabelUI::~CSequenceLabelUI() {
  if (manager_ != nullptr) manager_->KillTimer(this, kSequenceTimerId);
}

CControlUI* CSequenceLabelUI::GetInterface(const std::wstring& name) {
  if (name == L"SequenceLabel") return this;
  return CLabelUI::GetInterface(name);
}

void CSequenceLabelUI::Start() {
  anim_.index = 0;
  if (manager_ != nullptr) manager_->SetTimer(this, kSequenceTimerId, static_cast<uint32_t>(anim_.span_));
}

void CSequenceLabelUI::Stop() {
  if (manager_ != nullptr) manager_->KillTimer(this, kSequenceTimerId);
}

void CSequenceLabelUI::SetAttribute(const std::wstring& name, const std::wstring& value) {
  if (!anim_.SetAttribute(name, value)) CLabelUI::SetAttribute(name, value);
}

void CSequenceLabelUI::DoInit() {
  if (anim_.auto_start && manager_ != nullptr) {
    manager_->SetTimer(this, kSequenceTimerId, static_cast<uint32_t>(anim_.span_));
  }
}

void CSequenceLabelUI::DoEvent(TEventUI& event) {
  CLabelUI::DoEvent(event);
  if (event.type != UIEvent::kTimer) return;
  bool stop = false;
  const int64_t frame = anim_.Tick(stop);
  if (stop) {
    Stop();
    return;
  }
  if (frame < 0) return;
  SetBkImage(anim_.FramePath(frame));
  Invalidate();
}

// ---- CSequenceButtonUI ------------------------------------------------------

CSequenceButtonUI::CSequenceButtonUI() = default;

CSequenceButtonUI::~CSequenceButtonUI() {
  if (manager_ != nullptr) manager_->KillTimer(this, kSequenceTimerId);
}

CControlUI* CSequenceButtonUI::GetInterface(const std::wstring& name) {
  if (name == L"SequenceButton") return this;
  return CButtonUI::GetInterface(name);
}

void CSequenceButtonUI::Start() {
  anim_.index = 0;
  if (manager_ != nullptr) manager_->SetTimer(this, kSequenceTimerId, static_cast<uint32_t>(anim_.span_));
}

void CSequenceButtonUI::Stop() {
  if (manager_ != nullptr) manager_->KillTimer(this, kSequenceTimerId);
}

void CSequenceButtonUI::SetAttribute(const std::wstring& name, const std::wstring& value) {
  if (!anim_.SetAttribute(name, value)) CButtonUI::SetAttribute(name, value);
}

void CSequenceButtonUI::DoInit() {
  if (anim_.auto_start && manager_ != nullptr) {
    manager_->SetTimer(this, kSequenceTimerId, static_cast<uint32_t>(anim_.span_));
  }
}

void CSequenceButtonUI::DoEvent(TEventUI& event) {
  CButtonUI::DoEvent(event);
  if (event.type != UIEvent::kTimer) return;
  bool stop = false;
  const int64_t frame = anim_.Tick(stop);
  if (stop) {
    Stop();
    return;
  }
  if (frame < 0) return;
  SetBkImage(anim_.FramePath(frame));
  Invalidate();
}
