// CSkinManagerUI: one per window. Owns the control tree, indexes it by name,
// keeps fonts, decoded images and the window's custom attributes, runs
// timers keyed by (control, id), routes input to controls and delivers
// notifications synchronously or through a queue.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "skinui/bitmap.h"
#include "skinui/control.h"
#include "skinui/image_description.h"
#include "skinui/skin_notify.h"
#include "skinui/text_service.h"

// What the manager needs from the window it serves. A window implements it;
// without a host (headless rendering) timers are recorded but never fire and
// queued notifications wait for DeliverQueuedNotifications.
class IManagerHost {
 public:
  virtual ~IManagerHost() = default;
  virtual bool SetSystemTimer(uint32_t system_id, uint32_t interval_ms) = 0;
  virtual void KillSystemTimer(uint32_t system_id) = 0;
  // Thread-safe: asks the window's thread to take kWmSkinNotifyQueued.
  virtual void PostNotifyWakeup() = 0;
  virtual void RequestRepaint() = 0;
  virtual std::wstring ClipboardText() { return {}; }
};

// Finds the bytes of a file by the path a skin names; false when not found.
using SkinFileReader = std::function<bool(const std::wstring& path, std::vector<uint8_t>& bytes)>;

class CSkinManagerUI {
 public:
  CSkinManagerUI();
  ~CSkinManagerUI();
  CSkinManagerUI(const CSkinManagerUI&) = delete;
  CSkinManagerUI& operator=(const CSkinManagerUI&) = delete;

  void SetHost(IManagerHost* host) { host_ = host; }
  IManagerHost* host() const { return host_; }

  // Takes ownership of the tree, indexes names, runs DoInit on every control.
  bool AttachDialog(CControlUI* root);
  CControlUI* GetRoot() const { return root_.get(); }
  // Exact, case-sensitive name lookup; nullptr when absent.
  CControlUI* FindControl(const std::wstring& name) const;
  // The topmost visible control under |point|, nullptr over nothing.
  CControlUI* FindControl(skinui::Point point) const;
  void ReapObjects(CControlUI* control);  // forget a control about to be destroyed

  // Window attributes of the markup.
  skinui::Size GetInitSize() const { return init_size_; }
  void SetInitSize(skinui::Size size) { init_size_ = size; }
  skinui::Rect GetCaptionRect() const { return caption_; }
  void SetCaptionRect(const skinui::Rect& rect) { caption_ = rect; }
  skinui::Size GetRoundCorner() const { return round_corner_; }
  void SetRoundCorner(skinui::Size size) { round_corner_ = size; }
  skinui::Rect GetSizeBox() const { return size_box_; }
  void SetSizeBox(const skinui::Rect& rect) { size_box_ = rect; }
  void AddWindowCustomAttribute(const std::wstring& name, const std::wstring& value);
  // Empty when the skin does not set it.
  std::wstring GetWindowCustomAttribute(const std::wstring& name) const;

  // Fonts by id; -1 or an unknown id gives the default font.
  void AddFont(int id, const skinui::FontSpec& font, bool is_default);
  skinui::FontSpec GetFont(int id) const;
  bool HasFont(int id) const { return fonts_.count(id) != 0; }

  // Images: looked up through the file reader (the skin package, then the
  // disk), decoded once and cached with their colour key. nullptr when the
  // image cannot be found or decoded.
  void SetFileReader(SkinFileReader reader) { file_reader_ = std::move(reader); }
  const SkinFileReader& file_reader() const { return file_reader_; }
  std::shared_ptr<skinui::Bitmap> GetImage(const std::wstring& path, uint32_t mask = 0);
  const skinui::ImageDescription& GetImageDescription(const std::wstring& text);

  // Timers keyed by (control, id). Setting a running timer changes nothing;
  // setting a killed one re-arms it with the new interval; a new one takes
  // the next system id (counter + 1, modulo 255).
  bool SetTimer(CControlUI* control, uint32_t id, uint32_t interval_ms);
  bool KillTimer(CControlUI* control, uint32_t id);
  void KillTimers(CControlUI* control);
  // The window timer |system_id| fired: the control gets a kTimer event.
  void OnSystemTimer(uint32_t system_id);
  // For inspection: the interval of a live timer, 0 when none or killed.
  uint32_t TimerInterval(CControlUI* control, uint32_t id) const;

  // Notifications. Synchronous: the sender's listeners, then every notifier,
  // at once on this thread. Queued (any thread): copied and delivered when
  // the window's thread takes the wake-up message.
  void AddNotifier(ISkinNotifier* notifier);
  void RemoveNotifier(ISkinNotifier* notifier);
  void SendNotify(CControlUI* sender, const std::wstring& type, uintptr_t wParam = 0,
                  intptr_t lParam = 0, bool async = false);
  void SendNotify(SkinNotify& msg, bool async = false);
  void DeliverQueuedNotifications();

  void AddMessageFilter(ISkinMessageFilter* filter);
  void RemoveMessageFilter(ISkinMessageFilter* filter);
  // Runs the message filters; true when one of them consumed the message.
  bool PreMessageHandler(uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t& result);
  // Input, timers and queued notifications for the controls. True when the
  // message was used.
  bool MessageHandler(uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t& result,
                      const skinui::KeyModifiers& modifiers = {});

  // Focus.
  CControlUI* GetFocus() const { return focus_; }
  void SetFocus(CControlUI* control);

  // Layout and painting of the whole client area.
  void SetClientSize(skinui::Size size);
  skinui::Size GetClientSize() const { return client_size_; }
  void NeedUpdate();  // layout again before the next paint
  void Invalidate();
  void Paint(skinui::Bitmap& framebuffer);
  skinui::Point GetMousePos() const { return mouse_; }

 private:
  struct Timer {
    CControlUI* control;
    uint32_t local_id;
    uint32_t system_id;
    uint32_t interval;
    bool killed;
  };

  void IndexNames(CControlUI* root);
  void SendEvent(CControlUI* control, UIEvent type, uintptr_t wParam = 0, intptr_t lParam = 0,
                 uint32_t key = 0, const skinui::KeyModifiers& modifiers = {});
  void OnMouseMove(skinui::Point point);

  IManagerHost* host_ = nullptr;
  std::unique_ptr<CControlUI> root_;
  std::map<std::wstring, CControlUI*> names_;
  skinui::Size init_size_;
  skinui::Rect caption_;
  skinui::Size round_corner_;
  skinui::Rect size_box_;
  std::vector<std::pair<std::wstring, std::wstring>> custom_attributes_;
  std::map<int, skinui::FontSpec> fonts_;
  skinui::FontSpec default_font_;
  SkinFileReader file_reader_;
  std::map<std::pair<std::wstring, uint32_t>, std::shared_ptr<skinui::Bitmap>> images_;
  std::map<std::wstring, skinui::ImageDescription> descriptions_;
  std::vector<Timer> timers_;
  uint32_t timer_counter_ = 0;
  std::vector<ISkinNotifier*> notifiers_;
  std::vector<ISkinMessageFilter*> filters_;
  std::mutex queue_mutex_;
  std::vector<SkinNotify> queued_;
  CControlUI* focus_ = nullptr;
  CControlUI* hover_ = nullptr;
  CControlUI* captured_ = nullptr;
  skinui::Point mouse_;
  skinui::Size client_size_;
  bool need_layout_ = true;
  bool painting_ = false;
};
