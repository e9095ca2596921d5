// The native window interface: a plain top-level window that delivers input
// as Win32-numbered messages (messages.h) and presents a framebuffer, plus
// the per-thread message loop with posting from any thread and timers.
// Implemented by x11/native_window.cpp (Xlib + XShape) and
// win32/native_window.cpp. No platform type appears here.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "skinui/bitmap.h"
#include "skinui/geometry.h"
#include "skinui/messages.h"
#include "skinui/painter.h"

namespace skinui {

// Identifies a window; 0 is no window. Handles are never reused in a run.
using WindowHandle = uintptr_t;
constexpr WindowHandle kNoWindow = 0;

struct Message {
  WindowHandle window = kNoWindow;
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
  uint32_t time = 0;
};

// The message loop of the calling thread. GetMessage waits for the next
// message and answers false for kWmQuit (its wParam is the exit code).
// Order: posted messages, input, quit, paint, timers.
bool GetMessage(Message& msg);
// Like GetMessage without waiting: false when nothing is there.
bool PeekMessage(Message& msg);
// Hands a message to its window; messages for windows that are gone are
// dropped.
intptr_t DispatchMessage(const Message& msg);
// Queues a message for the thread that owns |window| (kNoWindow: the calling
// thread) and wakes its loop. Safe from any thread. False when the window is
// gone.
bool PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
void PostQuitMessage(int exit_code);
// Calls the window's handler at once; same thread only. 0 for no window.
intptr_t SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
bool IsWindow(WindowHandle window);
class CNativeWindow;
// The window object behind a handle (same thread only); nullptr when gone.
CNativeWindow* FromHandle(WindowHandle window);
// True when a display is available for windows (X11: $DISPLAY opens).
bool WindowSystemAvailable();
// Shows the system's own message box (error icon, one OK button) and
// answers true; false when the platform has none (the caller draws one).
bool PlatformMessageBox(const std::wstring& text, const std::wstring& caption);
// True when windows can be translucent (X11: a compositing manager runs).
bool TranslucentWindowsAvailable();

enum class WindowKind {
  kNormal,
  // A layered 32-bit ARGB window that never takes the focus and lets the
  // mouse through: the drop shadow.
  kShadow,
};

class CNativeWindow {
 public:
  CNativeWindow();
  // Destroys the window when it still exists.
  virtual ~CNativeWindow();
  CNativeWindow(const CNativeWindow&) = delete;
  CNativeWindow& operator=(const CNativeWindow&) = delete;

  WindowHandle GetHWND() const { return handle_; }
  // Creates the window (hidden unless |style| has kWsVisible). kWmCreate is
  // sent before Create returns; x or y of -1 means the default position,
  // cx or cy of 0 the default size. |owner| may be kNoWindow.
  bool Create(WindowHandle owner, const std::wstring& class_name, const std::wstring& title,
              uint32_t style, uint32_t ex_style, int x, int y, int cx, int cy,
              WindowKind kind = WindowKind::kNormal);
  void DestroyWindow();

  uint32_t GetStyle() const { return style_; }
  void SetStyle(uint32_t style) { style_ = style; }
  uint32_t GetExStyle() const { return ex_style_; }
  void SetExStyle(uint32_t style) { ex_style_ = style; }
  WindowHandle GetOwner() const { return owner_; }

  // Shows or hides; kWmShowWindow is sent when visibility changes.
  void ShowWindow(bool show, bool activate = true);
  bool IsVisible() const;
  void Minimize();
  bool IsMinimized() const;
  void Restore();
  void SetForeground();
  // Puts this window right below |above| in the stacking order.
  void PlaceBelow(WindowHandle above);
  // Moves and sizes in screen coordinates.
  void SetWindowPos(int x, int y, int cx, int cy);
  void MoveTo(int x, int y);
  Rect GetWindowRect() const;
  Size GetClientSize() const;
  // The screen area free for windows on the monitor nearest this window.
  Rect GetWorkArea() const;

  // Cuts the window to the spans (one per row from the top); an empty
  // vector restores the full rectangle.
  void SetRegion(const std::vector<RowSpan>& spans);
  const std::vector<RowSpan>& GetRegion() const { return region_; }

  void EnableWindow(bool enable);
  bool IsWindowEnabled() const;

  // Requests a kWmPaint (coalesced) for the whole client area.
  void Invalidate();
  // Puts |frame| on the screen (its size should be the client size).
  void Present(const Bitmap& frame);

  // Window timers, delivered as kWmTimer with wParam = id. Setting an
  // existing id restarts it with the new interval.
  bool SetTimer(uintptr_t id, uint32_t interval_ms);
  void KillTimer(uintptr_t id);

  // Modifier keys at the last input message.
  const KeyModifiers& GetKeyModifiers() const { return modifiers_; }
  // The system clipboard's text (empty when none).
  std::wstring GetClipboardText();

  // The window procedure; the default passes to DefWindowProc.
  virtual intptr_t HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
  intptr_t DefWindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam);
  // Called after the window is gone (after kWmNcDestroy).
  virtual void OnFinalMessage() {}

  class Backend;

 private:
  friend class Backend;
  WindowHandle handle_ = kNoWindow;
  WindowHandle owner_ = kNoWindow;
  uint32_t style_ = 0;
  uint32_t ex_style_ = 0;
  std::vector<RowSpan> region_;
  KeyModifiers modifiers_;
};

}  // namespace skinui
