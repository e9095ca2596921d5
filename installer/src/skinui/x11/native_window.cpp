// The X11 backend of the native window interface: Xlib windows cut to shape
// with XShape, input translated into the Win32 message numbers, and a
// per-thread message queue that worker threads wake through a pipe.
#include "skinui/native_window.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

#include "utils/debug_log.h"
#include "utils/system.h"
#include "utils/text.h"

namespace skinui {
namespace {

uint64_t NowMs() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

// One per thread that owns windows (or posts to itself).
struct ThreadQueue {
  ThreadQueue() {
    int fds[2];
    if (pipe(fds) == 0) {
      wake_read = fds[0];
      wake_write = fds[1];
      fcntl(wake_read, F_SETFL, O_NONBLOCK);
      fcntl(wake_write, F_SETFL, O_NONBLOCK);
      fcntl(wake_read, F_SETFD, FD_CLOEXEC);
      fcntl(wake_write, F_SETFD, FD_CLOEXEC);
    }
  }
  ~ThreadQueue() {
    if (wake_read >= 0) close(wake_read);
    if (wake_write >= 0) close(wake_write);
  }
  void Wake() {
    if (wake_write >= 0) {
      char c = 1;
      ssize_t ignored = write(wake_write, &c, 1);  // a full pipe already wakes the loop
      (void)ignored;
    }
  }
  void DrainWake() {
    char buffer[256];
    while (wake_read >= 0 && read(wake_read, buffer, sizeof buffer) > 0) {
    }
  }

  std::mutex mutex;
  std::deque<Message> posted;  // guarded by mutex
  int wake_read = -1;
  int wake_write = -1;
  // The rest belongs to the owning thread.
  std::deque<Message> input;
  bool quit = false;
  int quit_code = 0;
  struct Timer {
    WindowHandle window;
    uintptr_t id;
    uint32_t interval;
    uint64_t due;
  };
  std::vector<Timer> timers;
};

std::shared_ptr<ThreadQueue>& CurrentQueuePtr() {
  thread_local std::shared_ptr<ThreadQueue> queue = std::make_shared<ThreadQueue>();
  return queue;
}
ThreadQueue& CurrentQueue() { return *CurrentQueuePtr(); }

struct WindowRecord {
  CNativeWindow* object = nullptr;
  std::shared_ptr<ThreadQueue> queue;
  ::Window xid = 0;
  WindowKind kind = WindowKind::kNormal;
  Visual* visual = nullptr;
  int depth = 0;
  Colormap colormap = 0;
  GC gc = nullptr;
  bool enabled = true;
  bool visible = false;
  bool minimized = false;
  bool dirty = false;
  bool want_focus = false;
  bool destroying = false;
  Rect rect;
  bool dragging = false;
  Point drag_root;
  Point drag_origin;
};

// The display is opened by the first window and kept for the process.
struct Globals {
  std::mutex mutex;  // guards windows and next_handle
  std::map<WindowHandle, std::unique_ptr<WindowRecord>> windows;
  WindowHandle next_handle = 1;
  Display* display = nullptr;
  bool display_tried = false;
  Atom wm_protocols = 0, wm_delete = 0, motif_hints = 0, net_wm_name = 0, utf8_string = 0,
       net_workarea = 0, clipboard = 0, clip_property = 0, net_wm_window_type = 0,
       net_wm_type_dialog = 0;
};

Globals& G() {
  static Globals g;
  return g;
}

int IgnoreXError(Display* display, XErrorEvent* error) {
  char text[256] = {0};
  XGetErrorText(display, error->error_code, text, sizeof text);
  DEBUG_LOG(L"X error %d (request %d): %s", static_cast<int>(error->error_code),
            static_cast<int>(error->request_code), Utils::Utf8ToWide(text));
  return 0;
}

Display* OpenDisplay() {
  Globals& g = G();
  if (g.display_tried) return g.display;
  g.display_tried = true;
  g.display = XOpenDisplay(nullptr);
  if (g.display == nullptr) {
    DEBUG_LOG(L"no X display");
    return nullptr;
  }
  XSetErrorHandler(IgnoreXError);
  g.wm_protocols = XInternAtom(g.display, "WM_PROTOCOLS", False);
  g.wm_delete = XInternAtom(g.display, "WM_DELETE_WINDOW", False);
  g.motif_hints = XInternAtom(g.display, "_MOTIF_WM_HINTS", False);
  g.net_wm_name = XInternAtom(g.display, "_NET_WM_NAME", False);
  g.utf8_string = XInternAtom(g.display, "UTF8_STRING", False);
  g.net_workarea = XInternAtom(g.display, "_NET_WORKAREA", False);
  g.clipboard = XInternAtom(g.display, "CLIPBOARD", False);
  g.clip_property = XInternAtom(g.display, "VANTELO_CLIPBOARD", False);
  g.net_wm_window_type = XInternAtom(g.display, "_NET_WM_WINDOW_TYPE", False);
  g.net_wm_type_dialog = XInternAtom(g.display, "_NET_WM_WINDOW_TYPE_DIALOG", False);
  return g.display;
}

WindowRecord* Find(WindowHandle handle) {
  Globals& g = G();
  std::lock_guard<std::mutex> lock(g.mutex);
  auto it = g.windows.find(handle);
  return it == g.windows.end() ? nullptr : it->second.get();
}

WindowHandle FindByXid(::Window xid) {
  Globals& g = G();
  std::lock_guard<std::mutex> lock(g.mutex);
  for (auto& [handle, record] : g.windows) {
    if (record->xid == xid) return handle;
  }
  return kNoWindow;
}

uint32_t VirtualKey(KeySym sym) {
  if (sym >= XK_a && sym <= XK_z) return static_cast<uint32_t>('A' + (sym - XK_a));
  if (sym >= XK_A && sym <= XK_Z) return static_cast<uint32_t>('A' + (sym - XK_A));
  if (sym >= XK_0 && sym <= XK_9) return static_cast<uint32_t>('0' + (sym - XK_0));
  if (sym >= XK_F1 && sym <= XK_F12) return static_cast<uint32_t>(0x70 + (sym - XK_F1));
  switch (sym) {
    case XK_Escape: return kVkEscape;
    case XK_Return: case XK_KP_Enter: return kVkReturn;
    case XK_BackSpace: return kVkBack;
    case XK_Tab: return kVkTab;
    case XK_Delete: case XK_KP_Delete: return kVkDelete;
    case XK_Home: case XK_KP_Home: return kVkHome;
    case XK_End: case XK_KP_End: return kVkEnd;
    case XK_Left: case XK_KP_Left: return kVkLeft;
    case XK_Right: case XK_KP_Right: return kVkRight;
    case XK_Up: case XK_KP_Up: return kVkUp;
    case XK_Down: case XK_KP_Down: return kVkDown;
    case XK_space: return kVkSpace;
    case XK_Shift_L: case XK_Shift_R: return kVkShift;
    case XK_Control_L: case XK_Control_R: return kVkControl;
    case XK_Alt_L: case XK_Alt_R: return kVkMenu;
    default: return 0;
  }
}

// The character a key produces, 0 for none.
wchar_t KeyCharacter(KeySym sym) {
  if ((sym >= 0x20 && sym <= 0x7E) || (sym >= 0xA0 && sym <= 0xFF)) return static_cast<wchar_t>(sym);
  if ((sym & 0xFF000000) == 0x01000000) return static_cast<wchar_t>(sym & 0x00FFFFFF);
  return 0;
}

KeyModifiers ModifiersOf(unsigned state) {
  return KeyModifiers{(state & ShiftMask) != 0, (state & ControlMask) != 0, (state & Mod1Mask) != 0};
}

// Root coordinates of the window's origin.
Point RootOrigin(Display* d, ::Window xid) {
  int x = 0, y = 0;
  ::Window child;
  XTranslateCoordinates(d, xid, DefaultRootWindow(d), 0, 0, &x, &y, &child);
  return Point{x, y};
}

void PushInput(WindowHandle handle, WindowRecord& r, uint32_t message, uintptr_t w, intptr_t l) {
  r.queue->input.push_back(Message{handle, message, w, l, Utils::TickCount()});
}

}  // namespace

class CNativeWindow::Backend {
 public:
  static void SetModifiers(CNativeWindow* w, const KeyModifiers& m) { w->modifiers_ = m; }
  static void Forget(CNativeWindow* w) { w->handle_ = kNoWindow; }

  // Turns one X event into messages on the window's queue (or acts on it).
  static void Translate(XEvent& ev) {
    Globals& g = G();
    Display* d = g.display;
    if (ev.type == MappingNotify) {
      XRefreshKeyboardMapping(&ev.xmapping);
      return;
    }
    WindowHandle handle = FindByXid(ev.xany.window);
    WindowRecord* r = Find(handle);
    if (r == nullptr || r->destroying) return;
    const bool input_allowed = r->enabled && r->kind == WindowKind::kNormal;
    switch (ev.type) {
      case Expose:
        if (ev.xexpose.count == 0) r->dirty = true;
        break;
      case MapNotify:
        if (r->want_focus) {
          r->want_focus = false;
          XSetInputFocus(d, r->xid, RevertToParent, CurrentTime);
        }
        r->dirty = true;
        break;
      case ConfigureNotify: {
        Point origin = RootOrigin(d, r->xid);
        Rect now{origin.x, origin.y, origin.x + ev.xconfigure.width,
                 origin.y + ev.xconfigure.height};
        Rect was = r->rect;
        r->rect = now;
        if (now.width() != was.width() || now.height() != was.height()) {
          PushInput(handle, *r, kWmSize, r->minimized ? kSizeMinimized : kSizeRestored,
                    MakeLParam(now.width(), now.height()));
        }
        if (now.left != was.left || now.top != was.top) {
          PushInput(handle, *r, kWmMove, 0, MakeLParam(now.left, now.top));
        }
        break;
      }
      case FocusIn:
        PushInput(handle, *r, kWmActivate, 1, 0);
        PushInput(handle, *r, kWmSetFocus, 0, 0);
        break;
      case FocusOut:
        PushInput(handle, *r, kWmKillFocus, 0, 0);
        PushInput(handle, *r, kWmActivate, 0, 0);
        break;
      case ClientMessage:
        if (ev.xclient.message_type == g.wm_protocols &&
            static_cast<Atom>(ev.xclient.data.l[0]) == g.wm_delete && r->enabled) {
          PushInput(handle, *r, kWmSysCommand, kScClose, 0);
        }
        break;
      case ButtonPress:
        if (!input_allowed || ev.xbutton.button != Button1) break;
        SetModifiers(r->object, ModifiersOf(ev.xbutton.state));
        {
          intptr_t hit = SendMessage(handle, kWmNcHitTest, 0,
                                     MakeLParam(ev.xbutton.x_root, ev.xbutton.y_root));
          if ((r = Find(handle)) == nullptr) break;
          if (hit == kHtCaption) {
            r->dragging = true;
            r->drag_root = Point{ev.xbutton.x_root, ev.xbutton.y_root};
            r->drag_origin = Point{r->rect.left, r->rect.top};
            XGrabPointer(d, r->xid, False, ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
                         GrabModeAsync, None, None, CurrentTime);
          } else {
            PushInput(handle, *r, kWmLButtonDown, 1, MakeLParam(ev.xbutton.x, ev.xbutton.y));
          }
        }
        break;
      case ButtonRelease:
        if (ev.xbutton.button != Button1) break;
        if (r->dragging) {
          r->dragging = false;
          XUngrabPointer(d, CurrentTime);
          PushInput(handle, *r, kWmExitSizeMove, 0, 0);
        } else if (input_allowed) {
          PushInput(handle, *r, kWmLButtonUp, 0, MakeLParam(ev.xbutton.x, ev.xbutton.y));
        }
        break;
      case MotionNotify:
        if (r->dragging) {
          // Moves are coalesced: only the latest pointer position counts.
          XEvent next;
          while (XCheckTypedWindowEvent(d, r->xid, MotionNotify, &next)) ev = next;
          r->object->MoveTo(r->drag_origin.x + ev.xmotion.x_root - r->drag_root.x,
                            r->drag_origin.y + ev.xmotion.y_root - r->drag_root.y);
        } else if (input_allowed) {
          PushInput(handle, *r, kWmMouseMove, 0, MakeLParam(ev.xmotion.x, ev.xmotion.y));
        }
        break;
      case LeaveNotify:
        if (input_allowed && !r->dragging) PushInput(handle, *r, kWmMouseLeave, 0, 0);
        break;
      case KeyPress: {
        if (!input_allowed) break;
        char text[32];
        KeySym sym = NoSymbol;
        XLookupString(&ev.xkey, text, sizeof text, &sym, nullptr);
        KeyModifiers mods = ModifiersOf(ev.xkey.state);
        SetModifiers(r->object, mods);
        const uint32_t vk = VirtualKey(sym);
        if (mods.alt) {
          PushInput(handle, *r, kWmSysKeyDown, vk, 0);
          break;
        }
        if (vk != 0) PushInput(handle, *r, kWmKeyDown, vk, 0);
        wchar_t ch = KeyCharacter(sym);
        if (ch >= 0x20 && !mods.control) PushInput(handle, *r, kWmChar, static_cast<uintptr_t>(ch), 0);
        break;
      }
      case KeyRelease: {
        if (!input_allowed) break;
        KeySym sym = XLookupKeysym(&ev.xkey, 0);
        const uint32_t vk = VirtualKey(sym);
        if (vk != 0) {
          PushInput(handle, *r, (ev.xkey.state & Mod1Mask) ? kWmSysKeyUp : kWmKeyUp, vk, 0);
        }
        break;
      }
      default:
        break;
    }
  }
};

namespace {

// Takes the next message for this thread without waiting.
bool TakeMessage(ThreadQueue& q, Message& msg) {
  q.DrainWake();
  {
    std::lock_guard<std::mutex> lock(q.mutex);
    if (!q.posted.empty()) {
      msg = q.posted.front();
      q.posted.pop_front();
      return true;
    }
  }
  Display* d = G().display;
  if (q.input.empty() && d != nullptr) {
    while (q.input.empty() && XPending(d) > 0) {
      XEvent ev;
      XNextEvent(d, &ev);
      CNativeWindow::Backend::Translate(ev);
    }
  }
  if (!q.input.empty()) {
    msg = q.input.front();
    q.input.pop_front();
    return true;
  }
  if (q.quit) {
    q.quit = false;
    msg = Message{kNoWindow, kWmQuit, static_cast<uintptr_t>(q.quit_code), 0, Utils::TickCount()};
    return true;
  }
  {
    Globals& g = G();
    std::lock_guard<std::mutex> lock(g.mutex);
    for (auto& [handle, r] : g.windows) {
      if (r->dirty && r->queue.get() == &q && r->visible) {
        r->dirty = false;
        msg = Message{handle, kWmPaint, 0, 0, Utils::TickCount()};
        return true;
      }
    }
  }
  const uint64_t now = NowMs();
  for (auto& t : q.timers) {
    if (t.due <= now) {
      t.due = now + std::max<uint32_t>(t.interval, 1);
      msg = Message{t.window, kWmTimer, t.id, 0, Utils::TickCount()};
      return true;
    }
  }
  return false;
}

void WaitForWork(ThreadQueue& q) {
  Display* d = G().display;
  if (d != nullptr) XFlush(d);
  int timeout = -1;
  if (!q.timers.empty()) {
    const uint64_t now = NowMs();
    uint64_t next = UINT64_MAX;
    for (auto& t : q.timers) next = std::min(next, t.due);
    timeout = next <= now ? 0 : static_cast<int>(std::min<uint64_t>(next - now, 60000));
  }
  pollfd fds[2];
  int n = 0;
  fds[n++] = pollfd{q.wake_read, POLLIN, 0};
  if (d != nullptr) fds[n++] = pollfd{ConnectionNumber(d), POLLIN, 0};
  poll(fds, n, timeout);
}

}  // namespace

bool GetMessage(Message& msg) {
  ThreadQueue& q = CurrentQueue();
  while (!TakeMessage(q, msg)) WaitForWork(q);
  return msg.message != kWmQuit;
}

bool PeekMessage(Message& msg) { return TakeMessage(CurrentQueue(), msg); }

intptr_t DispatchMessage(const Message& msg) {
  if (msg.window == kNoWindow) return 0;
  return SendMessage(msg.window, msg.message, msg.wParam, msg.lParam);
}

bool PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  std::shared_ptr<ThreadQueue> queue;
  if (window == kNoWindow) {
    queue = CurrentQueuePtr();
  } else {
    Globals& g = G();
    std::lock_guard<std::mutex> lock(g.mutex);
    auto it = g.windows.find(window);
    if (it == g.windows.end() || it->second->destroying) return false;
    queue = it->second->queue;
  }
  {
    std::lock_guard<std::mutex> lock(queue->mutex);
    queue->posted.push_back(Message{window, message, wParam, lParam, Utils::TickCount()});
  }
  queue->Wake();
  return true;
}

void PostQuitMessage(int exit_code) {
  ThreadQueue& q = CurrentQueue();
  q.quit = true;
  q.quit_code = exit_code;
  q.Wake();
}

intptr_t SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  WindowRecord* r = Find(window);
  if (r == nullptr || r->object == nullptr) return 0;
  return r->object->HandleMessage(message, wParam, lParam);
}

CNativeWindow* FromHandle(WindowHandle window) {
  WindowRecord* r = Find(window);
  return r == nullptr || r->destroying ? nullptr : r->object;
}

bool IsWindow(WindowHandle window) { return window != kNoWindow && Find(window) != nullptr; }

bool WindowSystemAvailable() { return OpenDisplay() != nullptr; }

bool PlatformMessageBox(const std::wstring&, const std::wstring&) { return false; }

bool TranslucentWindowsAvailable() {
  Display* d = OpenDisplay();
  if (d == nullptr) return false;
  std::string name = "_NET_WM_CM_S" + std::to_string(DefaultScreen(d));
  Atom selection = XInternAtom(d, name.c_str(), False);
  return XGetSelectionOwner(d, selection) != None;
}

// ---- CNativeWindow ----------------------------------------------------------

CNativeWindow::CNativeWindow() = default;

CNativeWindow::~CNativeWindow() {
  if (handle_ != kNoWindow) DestroyWindow();
}

bool CNativeWindow::Create(WindowHandle owner, const std::wstring& class_name,
                           const std::wstring& title, uint32_t style, uint32_t ex_style, int x,
                           int y, int cx, int cy, WindowKind kind) {
  Display* d = OpenDisplay();
  if (d == nullptr || handle_ != kNoWindow) return false;
  Globals& g = G();
  const int screen = DefaultScreen(d);
  auto record = std::make_unique<WindowRecord>();
  record->object = this;
  record->queue = CurrentQueuePtr();
  record->kind = kind;
  record->visual = DefaultVisual(d, screen);
  record->depth = DefaultDepth(d, screen);

  if (cx <= 0) cx = 400;
  if (cy <= 0) cy = 300;
  if (x == -1 || y == -1) {
    x = (DisplayWidth(d, screen) - cx) / 2;
    y = (DisplayHeight(d, screen) - cy) / 2;
  }
  XSetWindowAttributes attrs{};
  unsigned long mask = CWEventMask | CWBackPixel | CWBorderPixel;
  attrs.event_mask = ExposureMask | StructureNotifyMask | ButtonPressMask | ButtonReleaseMask |
                     PointerMotionMask | KeyPressMask | KeyReleaseMask | FocusChangeMask |
                     LeaveWindowMask;
  attrs.background_pixel = 0;
  attrs.border_pixel = 0;
  if (kind == WindowKind::kShadow) {
    XVisualInfo info;
    if (XMatchVisualInfo(d, screen, 32, TrueColor, &info)) {
      record->visual = info.visual;
      record->depth = 32;
      record->colormap = XCreateColormap(d, RootWindow(d, screen), info.visual, AllocNone);
      attrs.colormap = record->colormap;
      mask |= CWColormap;
    }
    // Never managed, never focused.
    attrs.override_redirect = True;
    attrs.event_mask = ExposureMask | StructureNotifyMask;
    mask |= CWOverrideRedirect;
  }
  record->xid = XCreateWindow(d, RootWindow(d, screen), x, y, static_cast<unsigned>(cx),
                              static_cast<unsigned>(cy), 0, record->depth, InputOutput,
                              record->visual, mask, &attrs);
  if (record->xid == 0) return false;
  record->gc = XCreateGC(d, record->xid, 0, nullptr);
  record->rect = Rect{x, y, x + cx, y + cy};

  // Borderless: ask the window manager for no decorations.
  struct { unsigned long flags, functions, decorations; long input_mode; unsigned long status; }
      hints = {2, 0, 0, 0, 0};
  XChangeProperty(d, record->xid, g.motif_hints, g.motif_hints, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&hints), 5);
  XSetWMProtocols(d, record->xid, &g.wm_delete, 1);
  std::string utf8_title = Utils::WideToUtf8(title);
  XChangeProperty(d, record->xid, g.net_wm_name, g.utf8_string, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(utf8_title.c_str()),
                  static_cast<int>(utf8_title.size()));
  XStoreName(d, record->xid, utf8_title.c_str());
  std::string cls = Utils::WideToUtf8(class_name);
  XClassHint class_hint{const_cast<char*>(cls.c_str()), const_cast<char*>(cls.c_str())};
  XSetClassHint(d, record->xid, &class_hint);
  XWMHints wm_hints{};
  wm_hints.flags = InputHint;
  wm_hints.input = kind == WindowKind::kNormal ? True : False;
  XSetWMHints(d, record->xid, &wm_hints);
  if (owner != kNoWindow) {
    if (WindowRecord* o = Find(owner)) {
      XSetTransientForHint(d, record->xid, o->xid);
      XChangeProperty(d, record->xid, g.net_wm_window_type, XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(&g.net_wm_type_dialog), 1);
    }
  }
  if (kind == WindowKind::kShadow) {
    // Clicks go through to whatever lies below.
    XShapeCombineRectangles(d, record->xid, ShapeInput, 0, 0, nullptr, 0, ShapeSet, Unsorted);
  }

  style_ = style;
  ex_style_ = ex_style;
  owner_ = owner;
  {
    std::lock_guard<std::mutex> lock(g.mutex);
    handle_ = g.next_handle++;
    g.windows[handle_] = std::move(record);
  }
  HandleMessage(kWmCreate, 0, 0);
  if (handle_ == kNoWindow) return false;  // destroyed while being created
  if (style & kWsVisible) {
    style_ &= ~kWsVisible;
    ShowWindow(true);
  }
  return true;
}

void CNativeWindow::DestroyWindow() {
  const WindowHandle handle = handle_;
  WindowRecord* r = Find(handle);
  if (r == nullptr || r->destroying) return;
  r->destroying = true;
  // Owned windows go first, as they would on Windows.
  std::vector<CNativeWindow*> owned;
  {
    Globals& g = G();
    std::lock_guard<std::mutex> lock(g.mutex);
    for (auto& [h, other] : g.windows) {
      if (other->object != nullptr && other->object->owner_ == handle && !other->destroying) {
        owned.push_back(other->object);
      }
    }
  }
  for (CNativeWindow* w : owned) w->DestroyWindow();
  HandleMessage(kWmDestroy, 0, 0);
  Display* d = G().display;
  if (r->dragging) XUngrabPointer(d, CurrentTime);
  if (r->gc != nullptr) XFreeGC(d, r->gc);
  XDestroyWindow(d, r->xid);
  if (r->colormap != 0) XFreeColormap(d, r->colormap);
  XFlush(d);
  auto& timers = r->queue->timers;
  timers.erase(std::remove_if(timers.begin(), timers.end(),
                              [&](const ThreadQueue::Timer& t) { return t.window == handle; }),
               timers.end());
  HandleMessage(kWmNcDestroy, 0, 0);
  {
    Globals& g = G();
    std::lock_guard<std::mutex> lock(g.mutex);
    g.windows.erase(handle);
  }
  handle_ = kNoWindow;
  OnFinalMessage();
}

void CNativeWindow::ShowWindow(bool show, bool activate) {
  WindowRecord* r = Find(handle_);
  if (r == nullptr) return;
  Display* d = G().display;
  if (show == r->visible && !(show && r->minimized)) return;
  if (show) {
    r->visible = true;
    r->minimized = false;
    style_ |= kWsVisible;
    style_ &= ~kWsMinimize;
    HandleMessage(kWmShowWindow, 1, 0);
    if ((r = Find(handle_)) == nullptr) return;
    r->want_focus = activate && r->kind == WindowKind::kNormal;
    XMapRaised(d, r->xid);
    r->dirty = true;
  } else {
    r->visible = false;
    style_ &= ~kWsVisible;
    HandleMessage(kWmShowWindow, 0, 0);
    if ((r = Find(handle_)) == nullptr) return;
    XUnmapWindow(d, r->xid);
  }
  XFlush(d);
}

bool CNativeWindow::IsVisible() const {
  WindowRecord* r = Find(handle_);
  return r != nullptr && r->visible;
}

void CNativeWindow::Minimize() {
  WindowRecord* r = Find(handle_);
  if (r == nullptr || r->minimized) return;
  Display* d = G().display;
  r->minimized = true;
  style_ |= kWsMinimize;
  XIconifyWindow(d, r->xid, DefaultScreen(d));
  HandleMessage(kWmSize, kSizeMinimized, 0);
}

bool CNativeWindow::IsMinimized() const {
  WindowRecord* r = Find(handle_);
  return r != nullptr && r->minimized;
}

void CNativeWindow::Restore() {
  WindowRecord* r = Find(handle_);
  if (r == nullptr || !r->minimized) return;
  r->minimized = false;
  style_ &= ~kWsMinimize;
  XMapRaised(G().display, r->xid);
  HandleMessage(kWmSize, kSizeRestored, MakeLParam(r->rect.width(), r->rect.height()));
}

void CNativeWindow::SetForeground() {
  WindowRecord* r = Find(handle_);
  if (r == nullptr || !r->visible) return;
  XRaiseWindow(G().display, r->xid);
  XSetInputFocus(G().display, r->xid, RevertToParent, CurrentTime);
}

void CNativeWindow::PlaceBelow(WindowHandle above) {
  WindowRecord* r = Find(handle_);
  WindowRecord* a = Find(above);
  if (r == nullptr || a == nullptr) return;
  XWindowChanges changes{};
  changes.sibling = a->xid;
  changes.stack_mode = Below;
  XConfigureWindow(G().display, r->xid, CWSibling | CWStackMode, &changes);
}

void CNativeWindow::SetWindowPos(int x, int y, int cx, int cy) {
  WindowRecord* r = Find(handle_);
  if (r == nullptr) return;
  cx = std::max(1, cx);
  cy = std::max(1, cy);
  const Rect was = r->rect;
  r->rect = Rect{x, y, x + cx, y + cy};
  XMoveResizeWindow(G().display, r->xid, x, y, static_cast<unsigned>(cx), static_cast<unsigned>(cy));
  // As on Windows, the window hears about its new place at once.
  if (was.width() != cx || was.height() != cy) {
    HandleMessage(kWmSize, kSizeRestored, MakeLParam(cx, cy));
  }
  if (was.left != x || was.top != y) HandleMessage(kWmMove, 0, MakeLParam(x, y));
}

void CNativeWindow::MoveTo(int x, int y) {
  Rect r = GetWindowRect();
  SetWindowPos(x, y, r.width(), r.height());
}

Rect CNativeWindow::GetWindowRect() const {
  WindowRecord* r = Find(handle_);
  return r == nullptr ? Rect{} : r->rect;
}

Size CNativeWindow::GetClientSize() const {
  Rect r = GetWindowRect();
  return Size{r.width(), r.height()};
}

Rect CNativeWindow::GetWorkArea() const {
  Display* d = OpenDisplay();
  if (d == nullptr) return Rect{0, 0, 1024, 768};
  const int screen = DefaultScreen(d);
  Rect area{0, 0, DisplayWidth(d, screen), DisplayHeight(d, screen)};
  Atom type;
  int format;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(d, RootWindow(d, screen), G().net_workarea, 0, 4, False, XA_CARDINAL,
                         &type, &format, &count, &after, &data) == Success &&
      data != nullptr && count >= 4 && format == 32) {
    long* v = reinterpret_cast<long*>(data);
    area = Rect{static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[0] + v[2]),
                static_cast<int>(v[1] + v[3])};
  }
  if (data != nullptr) XFree(data);
  return area;
}

void CNativeWindow::SetRegion(const std::vector<RowSpan>& spans) {
  WindowRecord* r = Find(handle_);
  region_ = spans;
  if (r == nullptr) return;
  Display* d = G().display;
  if (spans.empty()) {
    XShapeCombineMask(d, r->xid, ShapeBounding, 0, 0, None, ShapeSet);
    return;
  }
  // Rows with the same span become one rectangle.
  std::vector<XRectangle> rects;
  for (size_t y = 0; y < spans.size();) {
    size_t end = y + 1;
    while (end < spans.size() && spans[end].start == spans[y].start &&
           spans[end].end == spans[y].end) {
      ++end;
    }
    if (spans[y].end > spans[y].start) {
      rects.push_back(XRectangle{static_cast<short>(spans[y].start), static_cast<short>(y),
                                 static_cast<unsigned short>(spans[y].end - spans[y].start),
                                 static_cast<unsigned short>(end - y)});
    }
    y = end;
  }
  XShapeCombineRectangles(d, r->xid, ShapeBounding, 0, 0, rects.data(),
                          static_cast<int>(rects.size()), ShapeSet, YXBanded);
}

void CNativeWindow::EnableWindow(bool enable) {
  WindowRecord* r = Find(handle_);
  if (r == nullptr || r->enabled == enable) return;
  r->enabled = enable;
  if (!enable && r->dragging) {
    r->dragging = false;
    XUngrabPointer(G().display, CurrentTime);
  }
  HandleMessage(kWmEnable, enable ? 1 : 0, 0);
}

bool CNativeWindow::IsWindowEnabled() const {
  WindowRecord* r = Find(handle_);
  return r != nullptr && r->enabled;
}

void CNativeWindow::Invalidate() {
  if (WindowRecord* r = Find(handle_)) {
    if (!r->dirty) {
      r->dirty = true;
      r->queue->Wake();
    }
  }
}

void CNativeWindow::Present(const Bitmap& frame) {
  WindowRecord* r = Find(handle_);
  if (r == nullptr || frame.empty()) return;
  Display* d = G().display;
  XImage* image = XCreateImage(d, r->visual, static_cast<unsigned>(r->depth), ZPixmap, 0,
                               reinterpret_cast<char*>(const_cast<uint32_t*>(frame.data())),
                               static_cast<unsigned>(frame.width()),
                               static_cast<unsigned>(frame.height()), 32, frame.width() * 4);
  if (image == nullptr) return;
  XPutImage(d, r->xid, r->gc, image, 0, 0, 0, 0, static_cast<unsigned>(frame.width()),
            static_cast<unsigned>(frame.height()));
  image->data = nullptr;  // the frame is not ours to free
  XDestroyImage(image);
  XFlush(d);
}

bool CNativeWindow::SetTimer(uintptr_t id, uint32_t interval_ms) {
  WindowRecord* r = Find(handle_);
  if (r == nullptr) return false;
  auto& timers = r->queue->timers;
  const uint64_t due = NowMs() + std::max<uint32_t>(interval_ms, 1);
  for (auto& t : timers) {
    if (t.window == handle_ && t.id == id) {
      t.interval = interval_ms;
      t.due = due;
      return true;
    }
  }
  timers.push_back(ThreadQueue::Timer{handle_, id, interval_ms, due});
  return true;
}

void CNativeWindow::KillTimer(uintptr_t id) {
  WindowRecord* r = Find(handle_);
  if (r == nullptr) return;
  auto& timers = r->queue->timers;
  timers.erase(std::remove_if(timers.begin(), timers.end(),
                              [&](const ThreadQueue::Timer& t) {
                                return t.window == handle_ && t.id == id;
                              }),
               timers.end());
}

std::wstring CNativeWindow::GetClipboardText() {
  WindowRecord* r = Find(handle_);
  if (r == nullptr) return {};
  Globals& g = G();
  Display* d = g.display;
  XConvertSelection(d, g.clipboard, g.utf8_string, g.clip_property, r->xid, CurrentTime);
  XFlush(d);
  // Wait briefly for the owner's answer; other events stay queued.
  const uint64_t deadline = NowMs() + 500;
  XEvent ev;
  bool answered = false;
  while (NowMs() < deadline) {
    if (XCheckTypedWindowEvent(d, r->xid, SelectionNotify, &ev)) {
      answered = ev.xselection.property != None;
      break;
    }
    pollfd fd{ConnectionNumber(d), POLLIN, 0};
    poll(&fd, 1, 20);
  }
  if (!answered) return {};
  Atom type;
  int format;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::wstring text;
  if (XGetWindowProperty(d, r->xid, g.clip_property, 0, 1 << 16, True, AnyPropertyType, &type,
                         &format, &count, &after, &data) == Success &&
      data != nullptr && format == 8) {
    text = Utils::Utf8ToWide(std::string(reinterpret_cast<char*>(data), count));
  }
  if (data != nullptr) XFree(data);
  return text;
}

intptr_t CNativeWindow::HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return DefWindowProc(message, wParam, lParam);
}

intptr_t CNativeWindow::DefWindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case kWmSysKeyDown:
      if (wParam == kVkF4) SendMessage(handle_, kWmSysCommand, kScClose, 0);
      return 0;
    case kWmSysCommand:
      switch (wParam & 0xFFF0) {
        case kScClose: SendMessage(handle_, kWmClose, 0, 0); break;
        case kScMinimize: Minimize(); break;
        case kScRestore: Restore(); break;
        default: break;
      }
      return 0;
    case kWmClose:
      DestroyWindow();
      return 0;
    case kWmNcHitTest:
      return kHtClient;
    default:
      return 0;
  }
}

}  // namespace skinui
