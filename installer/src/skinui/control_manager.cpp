#include "skinui/control_manager.h"

#include <algorithm>

#include "skinui/messages.h"
#include "skinui/painter.h"
#include "utils/debug_log.h"
#include "utils/system.h"
#include "utils/text.h"

using skinui::Point;

CSkinManagerUI::CSkinManagerUI() = default;

CSkinManagerUI::~CSkinManagerUI() {
  // Controls reap themselves from this manager while the tree goes away.
  std::unique_ptr<CControlUI> root = std::move(root_);
  root.reset();
  for (const Timer& t : timers_) {
    if (!t.killed && host_ != nullptr) host_->KillSystemTimer(t.system_id);
  }
}

bool CSkinManagerUI::AttachDialog(CControlUI* root) {
  if (root == nullptr) return false;
  focus_ = hover_ = captured_ = nullptr;
  root_.reset(root);
  root_->SetManager(this, nullptr);
  names_.clear();
  IndexNames(root_.get());
  root_->ForEach([](CControlUI* c) { c->DoInit(); });
  need_layout_ = true;
  Invalidate();
  return true;
}

void CSkinManagerUI::IndexNames(CControlUI* root) {
  root->ForEach([this](CControlUI* c) {
    // The first control of a name wins, as the markup lists them.
    if (!c->GetName().empty()) names_.emplace(c->GetName(), c);
  });
}

CControlUI* CSkinManagerUI::FindControl(const std::wstring& name) const {
  auto it = names_.find(name);
  return it == names_.end() ? nullptr : it->second;
}

CControlUI* CSkinManagerUI::FindControl(Point point) const {
  if (root_ == nullptr) return nullptr;
  return root_->FindControlAt(point);
}

void CSkinManagerUI::ReapObjects(CControlUI* control) {
  if (focus_ == control) focus_ = nullptr;
  if (hover_ == control) hover_ = nullptr;
  if (captured_ == control) captured_ = nullptr;
  KillTimers(control);
  for (auto it = names_.begin(); it != names_.end();) {
    it = it->second == control ? names_.erase(it) : std::next(it);
  }
}

void CSkinManagerUI::AddWindowCustomAttribute(const std::wstring& name, const std::wstring& value) {
  for (auto& [n, v] : custom_attributes_) {
    if (n == name) {
      v = value;
      return;
    }
  }
  custom_attributes_.emplace_back(name, value);
}

std::wstring CSkinManagerUI::GetWindowCustomAttribute(const std::wstring& name) const {
  for (const auto& [n, v] : custom_attributes_) {
    if (n == name) return v;
  }
  return {};
}

void CSkinManagerUI::AddFont(int id, const skinui::FontSpec& font, bool is_default) {
  fonts_[id] = font;
  if (is_default) default_font_ = font;
}

skinui::FontSpec CSkinManagerUI::GetFont(int id) const {
  auto it = fonts_.find(id);
  return it == fonts_.end() ? default_font_ : it->second;
}

std::shared_ptr<skinui::Bitmap> CSkinManagerUI::GetImage(const std::wstring& path, uint32_t mask) {
  auto key = std::make_pair(path, mask);
  auto it = images_.find(key);
  if (it != images_.end()) return it->second;
  std::vector<uint8_t> bytes;
  std::shared_ptr<skinui::Bitmap> image;
  if (file_reader_ && file_reader_(path, bytes)) {
    image = skinui::DecodeImage(bytes.data(), bytes.size(), mask);
  }
  // A miss is cached too: skins name images that do not exist (disabled
  // states), and they are asked for at every paint.
  images_.emplace(key, image);
  return image;
}

const skinui::ImageDescription& CSkinManagerUI::GetImageDescription(const std::wstring& text) {
  auto it = descriptions_.find(text);
  if (it != descriptions_.end()) return it->second;
  return descriptions_.emplace(text, skinui::ParseImageDescription(text)).first->second;
}

bool CSkinManagerUI::SetTimer(CControlUI* control, uint32_t id, uint32_t interval_ms) {
  for (Timer& t : timers_) {
    if (t.control != control || t.local_id != id) continue;
    if (!t.killed) return false;  // running: the interval stays
    t.killed = false;
    t.interval = interval_ms;
    if (host_ != nullptr) host_->SetSystemTimer(t.system_id, interval_ms);
    return true;
  }
  timer_counter_ = (timer_counter_ + 1) % 255;
  timers_.push_back(Timer{control, id, timer_counter_, interval_ms, false});
  if (host_ != nullptr) host_->SetSystemTimer(timer_counter_, interval_ms);
  return true;
}

bool CSkinManagerUI::KillTimer(CControlUI* control, uint32_t id) {
  for (Timer& t : timers_) {
    if (t.control != control || t.local_id != id) continue;
    if (!t.killed && host_ != nullptr) host_->KillSystemTimer(t.system_id);
    t.killed = true;
    return true;
  }
  return false;
}

void CSkinManagerUI::KillTimers(CControlUI* control) {
  for (auto it = timers_.begin(); it != timers_.end();) {
    if (it->control == control) {
      if (!it->killed && host_ != nullptr) host_->KillSystemTimer(it->system_id);
      it = timers_.erase(it);
    } else {
      ++it;
    }
  }
}

void CSkinManagerUI::OnSystemTimer(uint32_t system_id) {
  for (const Timer& t : timers_) {
    if (t.system_id == system_id && !t.killed) {
      SendEvent(t.control, UIEvent::kTimer, t.local_id);
      return;
    }
  }
}

uint32_t CSkinManagerUI::TimerInterval(CControlUI* control, uint32_t id) const {
  for (const Timer& t : timers_) {
    if (t.control == control && t.local_id == id) return t.killed ? 0 : t.interval;
  }
  return 0;
}

void CSkinManagerUI::AddNotifier(ISkinNotifier* notifier) {
  if (std::find(notifiers_.begin(), notifiers_.end(), notifier) == notifiers_.end()) {
    notifiers_.push_back(notifier);
  }
}

void CSkinManagerUI::RemoveNotifier(ISkinNotifier* notifier) {
  notifiers_.erase(std::remove(notifiers_.begin(), notifiers_.end(), notifier), notifiers_.end());
}

void CSkinManagerUI::SendNotify(CControlUI* sender, const std::wstring& type, uintptr_t wParam,
                                intptr_t lParam, bool async) {
  SkinNotify msg;
  msg.type = type;
  msg.sender = sender;
  msg.wParam = wParam;
  msg.lParam = lParam;
  SendNotify(msg, async);
}

void CSkinManagerUI::SendNotify(SkinNotify& msg, bool async) {
  msg.timestamp = Utils::TickCount();
  msg.mouse = mouse_;
  if (async) {
    {
      std::lock_guard<std::mutex> lock(queue_mutex_);
      queued_.push_back(msg);
    }
    if (host_ != nullptr) host_->PostNotifyWakeup();
    return;
  }
  if (msg.sender != nullptr) {
    // Copy: a listener may add listeners.
    auto listeners = msg.sender->OnNotify;
    for (auto& listener : listeners) listener(msg);
  }
  auto notifiers = notifiers_;
  for (ISkinNotifier* n : notifiers) n->Notify(msg);
}

void CSkinManagerUI::DeliverQueuedNotifications() {
  std::vector<SkinNotify> batch;
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    batch.swap(queued_);
  }
  for (SkinNotify& msg : batch) {
    if (msg.sender != nullptr) {
      auto listeners = msg.sender->OnNotify;
      for (auto& listener : listeners) listener(msg);
    }
    auto notifiers = notifiers_;
    for (ISkinNotifier* n : notifiers) n->Notify(msg);
  }
}

void CSkinManagerUI::AddMessageFilter(ISkinMessageFilter* filter) {
  if (std::find(filters_.begin(), filters_.end(), filter) == filters_.end()) {
    filters_.push_back(filter);
  }
}

void CSkinManagerUI::RemoveMessageFilter(ISkinMessageFilter* filter) {
  filters_.erase(std::remove(filters_.begin(), filters_.end(), filter), filters_.end());
}

bool CSkinManagerUI::PreMessageHandler(uint32_t message, uintptr_t wParam, intptr_t lParam,
                                       intptr_t& result) {
  for (ISkinMessageFilter* f : filters_) {
    bool handled = false;
    intptr_t r = f->MessageFilter(message, wParam, lParam, handled);
    if (handled) {
      result = r;
      return true;
    }
  }
  return false;
}

void CSkinManagerUI::SendEvent(CControlUI* control, UIEvent type, uintptr_t wParam,
                               intptr_t lParam, uint32_t key,
                               const skinui::KeyModifiers& modifiers) {
  if (control == nullptr) return;
  TEventUI event;
  event.type = type;
  event.sender = control;
  event.timestamp = Utils::TickCount();
  event.mouse = mouse_;
  event.key = key;
  event.modifiers = modifiers;
  event.wParam = wParam;
  event.lParam = lParam;
  control->DoEvent(event);
}

namespace {

// The control under the mouse that takes input: the topmost hit, or the
// nearest ancestor of it that takes the mouse.
CControlUI* MouseTarget(CControlUI* hit) {
  for (CControlUI* c = hit; c != nullptr; c = c->GetParent()) {
    if (c->IsMouseTarget() && c->IsEnabled()) return c;
  }
  return nullptr;
}

}  // namespace

void CSkinManagerUI::OnMouseMove(Point point) {
  mouse_ = point;
  CControlUI* target = MouseTarget(FindControl(point));
  if (target != hover_) {
    CControlUI* old = hover_;
    hover_ = target;
    SendEvent(old, UIEvent::kMouseLeave);
    SendEvent(target, UIEvent::kMouseEnter);
  }
  if (captured_ != nullptr) {
    SendEvent(captured_, UIEvent::kMouseMove);
  } else if (target != nullptr) {
    SendEvent(target, UIEvent::kMouseMove);
  }
}

bool CSkinManagerUI::MessageHandler(uint32_t message, uintptr_t wParam, intptr_t lParam,
                                    intptr_t& result, const skinui::KeyModifiers& modifiers) {
  using namespace skinui;
  switch (message) {
    case kWmMouseMove:
      OnMouseMove(Point{LParamX(lParam), LParamY(lParam)});
      return true;
    case kWmMouseLeave:
      if (hover_ != nullptr) {
        CControlUI* old = hover_;
        hover_ = nullptr;
        SendEvent(old, UIEvent::kMouseLeave);
      }
      return true;
    case kWmLButtonDown:
    case kWmLButtonDblClk: {
      OnMouseMove(Point{LParamX(lParam), LParamY(lParam)});
      CControlUI* target = hover_;
      if (target == nullptr) {
        SetFocus(nullptr);
        return true;
      }
      if (target->IsFocusable()) SetFocus(target);
      captured_ = target;
      SendEvent(target, message == kWmLButtonDown ? UIEvent::kButtonDown : UIEvent::kDoubleClick);
      return true;
    }
    case kWmLButtonUp: {
      mouse_ = Point{LParamX(lParam), LParamY(lParam)};
      CControlUI* target = captured_;
      captured_ = nullptr;
      SendEvent(target, UIEvent::kButtonUp);
      return true;
    }
    case kWmKeyDown:
      if (focus_ == nullptr) return false;
      SendEvent(focus_, UIEvent::kKeyDown, wParam, lParam, static_cast<uint32_t>(wParam),
                modifiers);
      return true;
    case kWmChar:
      if (focus_ == nullptr) return false;
      SendEvent(focus_, UIEvent::kChar, wParam, lParam, static_cast<uint32_t>(wParam), modifiers);
      return true;
    case kWmTimer:
      OnSystemTimer(static_cast<uint32_t>(wParam));
      return true;
    case kWmSkinNotifyQueued:
      DeliverQueuedNotifications();
      return true;
    case kWmKillFocus:
      if (captured_ != nullptr) {
        CControlUI* target = captured_;
        captured_ = nullptr;
        mouse_ = Point{-1, -1};
        SendEvent(target, UIEvent::kButtonUp);
      }
      return false;
    default:
      return false;
  }
}

void CSkinManagerUI::SetFocus(CControlUI* control) {
  if (control == focus_) return;
  CControlUI* old = focus_;
  focus_ = control;
  SendEvent(old, UIEvent::kKillFocus);
  SendEvent(control, UIEvent::kSetFocus);
}

void CSkinManagerUI::SetClientSize(skinui::Size size) {
  if (size == client_size_) return;
  client_size_ = size;
  need_layout_ = true;
  Invalidate();
}

void CSkinManagerUI::NeedUpdate() {
  need_layout_ = true;
  Invalidate();
}

void CSkinManagerUI::Invalidate() {
  // Layout during a paint moves controls, which invalidates them; that paint
  // covers them already.
  if (host_ != nullptr && !painting_) host_->RequestRepaint();
}

void CSkinManagerUI::Paint(skinui::Bitmap& framebuffer) {
  if (framebuffer.width() != client_size_.cx || framebuffer.height() != client_size_.cy) {
    framebuffer.Resize(client_size_.cx, client_size_.cy);
  } else {
    framebuffer.Clear();
  }
  if (root_ == nullptr) return;
  painting_ = true;
  if (need_layout_) {
    need_layout_ = false;
    root_->SetPos(skinui::Rect{0, 0, client_size_.cx, client_size_.cy});
  }
  skinui::Painter painter(framebuffer);
  root_->DoPaint(painter, framebuffer.bounds());
  painting_ = false;
}
