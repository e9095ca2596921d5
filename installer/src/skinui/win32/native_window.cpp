// The Win32 backend of the native window interface: the message numbers are
// the system's own, so messages pass straight through; the window handle is
// the HWND.
#include "skinui/native_window.h"

#include <windows.h>
// The interface's names are plain; drop the system's wide-character macros.
#undef GetMessage
#undef PeekMessage
#undef DispatchMessage
#undef PostMessage
#undef SendMessage
#undef DefWindowProc

#include <cstring>
#include <map>
#include <mutex>
#include <set>

namespace skinui {
namespace {

std::mutex g_mutex;
std::map<HWND, CNativeWindow*> g_windows;  // our live windows
std::set<std::wstring> g_classes;

HWND H(WindowHandle w) { return reinterpret_cast<HWND>(w); }

CNativeWindow* Lookup(HWND hwnd) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = g_windows.find(hwnd);
  return it == g_windows.end() ? nullptr : it->second;
}

KeyModifiers CurrentModifiers() {
  return KeyModifiers{(GetKeyState(VK_SHIFT) & 0x8000) != 0, (GetKeyState(VK_CONTROL) & 0x8000) != 0,
                      (GetKeyState(VK_MENU) & 0x8000) != 0};
}

}  // namespace

class CNativeWindow::Backend {
 public:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
      auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
      auto* self = static_cast<CNativeWindow*>(create->lpCreateParams);
      self->handle_ = reinterpret_cast<WindowHandle>(hwnd);
      std::lock_guard<std::mutex> lock(g_mutex);
      g_windows[hwnd] = self;
    }
    CNativeWindow* self = Lookup(hwnd);
    if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
    switch (message) {
      case WM_ERASEBKGND:
        return 1;
      case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        self->HandleMessage(kWmPaint, 0, 0);
        EndPaint(hwnd, &ps);
        return 0;
      }
      case WM_MOUSEACTIVATE:
        if (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_NOACTIVATE) return MA_NOACTIVATE;
        break;
      case WM_MOUSEMOVE: {
        TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, hwnd, 0};
        TrackMouseEvent(&track);
        self->modifiers_ = CurrentModifiers();
        break;
      }
      case WM_LBUTTONDOWN:
      case WM_LBUTTONUP:
      case WM_KEYDOWN:
      case WM_KEYUP:
      case WM_CHAR:
      case WM_SYSKEYDOWN:
        self->modifiers_ = CurrentModifiers();
        break;
      case WM_NCDESTROY: {
        LRESULT r = self->HandleMessage(message, wParam, lParam);
        {
          std::lock_guard<std::mutex> lock(g_mutex);
          g_windows.erase(hwnd);
        }
        self->handle_ = kNoWindow;
        self->OnFinalMessage();
        return r;
      }
      default:
        break;
    }
    return self->HandleMessage(message, wParam, lParam);
  }
};

bool GetMessage(Message& msg) {
  MSG m;
  BOOL r = ::GetMessageW(&m, nullptr, 0, 0);
  msg = Message{reinterpret_cast<WindowHandle>(m.hwnd), m.message, m.wParam, m.lParam, m.time};
  if (r <= 0) {
    msg.message = kWmQuit;
    return false;
  }
  return true;
}

bool PeekMessage(Message& msg) {
  MSG m;
  if (!::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) return false;
  msg = Message{reinterpret_cast<WindowHandle>(m.hwnd), m.message, m.wParam, m.lParam, m.time};
  return true;
}

intptr_t DispatchMessage(const Message& msg) {
  MSG m{};
  m.hwnd = H(msg.window);
  m.message = msg.message;
  m.wParam = msg.wParam;
  m.lParam = msg.lParam;
  m.time = msg.time;
  ::TranslateMessage(&m);
  return ::DispatchMessageW(&m);
}

bool PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return ::PostMessageW(H(window), message, wParam, lParam) != FALSE;
}

void PostQuitMessage(int exit_code) { ::PostQuitMessage(exit_code); }

intptr_t SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (window == kNoWindow) return 0;
  return ::SendMessageW(H(window), message, wParam, lParam);
}

CNativeWindow* FromHandle(WindowHandle window) { return Lookup(H(window)); }

bool IsWindow(WindowHandle window) {
  return window != kNoWindow && ::IsWindow(H(window)) && Lookup(H(window)) != nullptr;
}

bool WindowSystemAvailable() { return true; }

bool PlatformMessageBox(const std::wstring& text, const std::wstring& caption) {
  ::MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_ICONHAND);
  return true;
}

bool TranslucentWindowsAvailable() {
  HMODULE user32 = GetModuleHandleW(L"USER32.DLL");
  return user32 != nullptr && GetProcAddress(user32, "UpdateLayeredWindow") != nullptr;
}

CNativeWindow::CNativeWindow() = default;

CNativeWindow::~CNativeWindow() {
  if (handle_ != kNoWindow) DestroyWindow();
}

bool CNativeWindow::Create(WindowHandle owner, const std::wstring& class_name,
                           const std::wstring& title, uint32_t style, uint32_t ex_style, int x,
                           int y, int cx, int cy, WindowKind kind) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_classes.insert(class_name).second) {
      WNDCLASSEXW wc{};
      wc.cbSize = sizeof wc;
      wc.style = kind == WindowKind::kShadow ? (CS_HREDRAW | CS_VREDRAW) : CS_DBLCLKS;
      wc.lpfnWndProc = Backend::WindowProc;
      wc.hInstance = instance;
      wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
      wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(145));
      wc.lpszClassName = class_name.c_str();
      RegisterClassExW(&wc);
    }
  }
  style_ = style;
  ex_style_ = ex_style;
  owner_ = owner;
  // Borderless: a popup that keeps the system menu (Alt+F4) and minimising.
  DWORD win_style = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX;
  DWORD win_ex = ex_style;
  if (kind == WindowKind::kShadow) {
    win_style = WS_POPUP;
    win_ex = WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW;
  }
  if (cx <= 0) cx = 400;
  if (cy <= 0) cy = 300;
  if (x == -1 || y == -1) {
    x = (GetSystemMetrics(SM_CXSCREEN) - cx) / 2;
    y = (GetSystemMetrics(SM_CYSCREEN) - cy) / 2;
  }
  HWND hwnd = CreateWindowExW(win_ex, class_name.c_str(), title.c_str(), win_style, x, y, cx, cy,
                              H(owner), nullptr, instance, this);
  if (hwnd == nullptr) return false;
  if (style & kWsVisible) ShowWindow(true);
  return handle_ != kNoWindow;
}

void CNativeWindow::DestroyWindow() {
  if (handle_ != kNoWindow) ::DestroyWindow(H(handle_));
}

void CNativeWindow::ShowWindow(bool show, bool activate) {
  if (handle_ == kNoWindow) return;
  if (show) {
    style_ |= kWsVisible;
    ::ShowWindow(H(handle_), activate ? SW_SHOW : SW_SHOWNA);
  } else {
    style_ &= ~kWsVisible;
    ::ShowWindow(H(handle_), SW_HIDE);
  }
}

bool CNativeWindow::IsVisible() const { return handle_ != kNoWindow && IsWindowVisible(H(handle_)); }

void CNativeWindow::Minimize() {
  if (handle_ != kNoWindow) ::ShowWindow(H(handle_), SW_MINIMIZE);
}

bool CNativeWindow::IsMinimized() const { return handle_ != kNoWindow && IsIconic(H(handle_)); }

void CNativeWindow::Restore() {
  if (handle_ != kNoWindow) ::ShowWindow(H(handle_), SW_RESTORE);
}

void CNativeWindow::SetForeground() {
  if (handle_ != kNoWindow) {
    SetForegroundWindow(H(handle_));
    SetFocus(H(handle_));
  }
}

void CNativeWindow::PlaceBelow(WindowHandle above) {
  if (handle_ == kNoWindow || above == kNoWindow) return;
  ::SetWindowPos(H(handle_), H(above), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void CNativeWindow::SetWindowPos(int x, int y, int cx, int cy) {
  if (handle_ == kNoWindow) return;
  ::SetWindowPos(H(handle_), nullptr, x, y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CNativeWindow::MoveTo(int x, int y) {
  if (handle_ == kNoWindow) return;
  ::SetWindowPos(H(handle_), nullptr, x, y, 0, 0, SWP_NOZORDER | SWP_NOSIZE | SWP_NOACTIVATE);
}

Rect CNativeWindow::GetWindowRect() const {
  RECT r{};
  if (handle_ != kNoWindow) ::GetWindowRect(H(handle_), &r);
  return Rect{r.left, r.top, r.right, r.bottom};
}

Size CNativeWindow::GetClientSize() const {
  RECT r{};
  if (handle_ != kNoWindow) ::GetClientRect(H(handle_), &r);
  return Size{r.right - r.left, r.bottom - r.top};
}

Rect CNativeWindow::GetWorkArea() const {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  HMONITOR monitor = MonitorFromWindow(H(handle_), MONITOR_DEFAULTTONEAREST);
  if (!GetMonitorInfoW(monitor, &info)) {
    RECT r{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
    return Rect{r.left, r.top, r.right, r.bottom};
  }
  return Rect{info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom};
}

void CNativeWindow::SetRegion(const std::vector<RowSpan>& spans) {
  region_ = spans;
  if (handle_ == kNoWindow) return;
  if (spans.empty()) {
    SetWindowRgn(H(handle_), nullptr, TRUE);
    return;
  }
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  for (size_t y = 0; y < spans.size();) {
    size_t end = y + 1;
    while (end < spans.size() && spans[end].start == spans[y].start && spans[end].end == spans[y].end) {
      ++end;
    }
    if (spans[y].end > spans[y].start) {
      HRGN band = CreateRectRgn(spans[y].start, static_cast<int>(y), spans[y].end, static_cast<int>(end));
      CombineRgn(region, region, band, RGN_OR);
      DeleteObject(band);
    }
    y = end;
  }
  SetWindowRgn(H(handle_), region, TRUE);  // the system owns the region now
}

void CNativeWindow::EnableWindow(bool enable) {
  if (handle_ != kNoWindow) ::EnableWindow(H(handle_), enable ? TRUE : FALSE);
}

bool CNativeWindow::IsWindowEnabled() const {
  return handle_ != kNoWindow && ::IsWindowEnabled(H(handle_));
}

void CNativeWindow::Invalidate() {
  if (handle_ != kNoWindow) InvalidateRect(H(handle_), nullptr, FALSE);
}

void CNativeWindow::Present(const Bitmap& frame) {
  if (handle_ == kNoWindow || frame.empty()) return;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = frame.width();
  info.bmiHeader.biHeight = -frame.height();
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HWND hwnd = H(handle_);
  if (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED) {
    // A layered window takes premultiplied pixels with per-pixel alpha.
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dib != nullptr) {
      std::memcpy(bits, frame.data(), static_cast<size_t>(frame.width()) * frame.height() * 4);
      HGDIOBJ old = SelectObject(memory, dib);
      RECT r;
      ::GetWindowRect(hwnd, &r);
      POINT dst{r.left, r.top}, src{0, 0};
      SIZE size{frame.width(), frame.height()};
      BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
      UpdateLayeredWindow(hwnd, screen, &dst, &size, memory, &src, 0, &blend, ULW_ALPHA);
      SelectObject(memory, old);
      DeleteObject(dib);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return;
  }
  HDC dc = GetDC(hwnd);
  SetDIBitsToDevice(dc, 0, 0, frame.width(), frame.height(), 0, 0, 0, frame.height(), frame.data(),
                    &info, DIB_RGB_COLORS);
  ReleaseDC(hwnd, dc);
}

bool CNativeWindow::SetTimer(uintptr_t id, uint32_t interval_ms) {
  return handle_ != kNoWindow && ::SetTimer(H(handle_), id, interval_ms, nullptr) != 0;
}

void CNativeWindow::KillTimer(uintptr_t id) {
  if (handle_ != kNoWindow) ::KillTimer(H(handle_), id);
}

std::wstring CNativeWindow::GetClipboardText() {
  std::wstring text;
  if (!OpenClipboard(H(handle_))) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const wchar_t* p = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = p;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

intptr_t CNativeWindow::HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return DefWindowProc(message, wParam, lParam);
}

intptr_t CNativeWindow::DefWindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (handle_ == kNoWindow) return 0;
  return ::DefWindowProcW(H(handle_), message, wParam, lParam);
}

}  // namespace skinui
