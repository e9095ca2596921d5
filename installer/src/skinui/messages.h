// Window message numbers, key codes and style bits of the native window
// interface. They keep the values the Windows API gives them, so the Win32
// backend passes them straight through and the X11 backend produces the same
// numbers from its own events.
#pragma once

#include <cstdint>

namespace skinui {

// Messages.
constexpr uint32_t kWmCreate = 0x0001;
constexpr uint32_t kWmDestroy = 0x0002;
constexpr uint32_t kWmMove = 0x0003;
constexpr uint32_t kWmSize = 0x0005;
constexpr uint32_t kWmActivate = 0x0006;
constexpr uint32_t kWmSetFocus = 0x0007;
constexpr uint32_t kWmKillFocus = 0x0008;
constexpr uint32_t kWmEnable = 0x000A;
constexpr uint32_t kWmPaint = 0x000F;
constexpr uint32_t kWmClose = 0x0010;
constexpr uint32_t kWmQuit = 0x0012;
constexpr uint32_t kWmShowWindow = 0x0018;
constexpr uint32_t kWmNcDestroy = 0x0082;
constexpr uint32_t kWmNcHitTest = 0x0084;
constexpr uint32_t kWmKeyDown = 0x0100;
constexpr uint32_t kWmKeyUp = 0x0101;
constexpr uint32_t kWmChar = 0x0102;
constexpr uint32_t kWmSysKeyDown = 0x0104;
constexpr uint32_t kWmSysKeyUp = 0x0105;
constexpr uint32_t kWmSysCommand = 0x0112;
constexpr uint32_t kWmTimer = 0x0113;
constexpr uint32_t kWmMouseMove = 0x0200;
constexpr uint32_t kWmLButtonDown = 0x0201;
constexpr uint32_t kWmLButtonUp = 0x0202;
constexpr uint32_t kWmLButtonDblClk = 0x0203;
constexpr uint32_t kWmMouseLeave = 0x02A3;
constexpr uint32_t kWmExitSizeMove = 0x0232;
constexpr uint32_t kWmUser = 0x0400;
constexpr uint32_t kWmApp = 0x8000;

// Queued skin notifications are delivered when the window takes this message.
constexpr uint32_t kWmSkinNotifyQueued = kWmApp + 0x101;

// System commands (wParam of kWmSysCommand).
constexpr uintptr_t kScMinimize = 0xF020;
constexpr uintptr_t kScMaximize = 0xF030;
constexpr uintptr_t kScClose = 0xF060;
constexpr uintptr_t kScRestore = 0xF120;

// kWmSize wParam.
constexpr uintptr_t kSizeRestored = 0;
constexpr uintptr_t kSizeMinimized = 1;
constexpr uintptr_t kSizeMaximized = 2;

// Hit-test results.
constexpr intptr_t kHtClient = 1;
constexpr intptr_t kHtCaption = 2;

// Virtual keys.
constexpr uint32_t kVkBack = 0x08;
constexpr uint32_t kVkTab = 0x09;
constexpr uint32_t kVkReturn = 0x0D;
constexpr uint32_t kVkShift = 0x10;
constexpr uint32_t kVkControl = 0x11;
constexpr uint32_t kVkMenu = 0x12;
constexpr uint32_t kVkEscape = 0x1B;
constexpr uint32_t kVkSpace = 0x20;
constexpr uint32_t kVkEnd = 0x23;
constexpr uint32_t kVkHome = 0x24;
constexpr uint32_t kVkLeft = 0x25;
constexpr uint32_t kVkUp = 0x26;
constexpr uint32_t kVkRight = 0x27;
constexpr uint32_t kVkDown = 0x28;
constexpr uint32_t kVkDelete = 0x2E;
constexpr uint32_t kVkF4 = 0x73;

// Window styles.
constexpr uint32_t kWsOverlappedWindow = 0x00CF0000;
constexpr uint32_t kWsCaption = 0x00C00000;
constexpr uint32_t kWsMaximizeBox = 0x00010000;
constexpr uint32_t kWsMinimize = 0x20000000;
constexpr uint32_t kWsMaximize = 0x01000000;
constexpr uint32_t kWsVisible = 0x10000000;
constexpr uint32_t kWsClipSiblings = 0x04000000;
constexpr uint32_t kWsClipChildren = 0x02000000;
constexpr uint32_t kWsPopup = 0x80000000;
constexpr uint32_t kWsExTopmost = 0x00000008;

// Coordinates packed into lParam the way the Windows API packs them.
inline intptr_t MakeLParam(int x, int y) {
  return static_cast<intptr_t>((static_cast<uint32_t>(y & 0xFFFF) << 16) |
                               static_cast<uint32_t>(x & 0xFFFF));
}
inline int LParamX(intptr_t l) { return static_cast<int16_t>(l & 0xFFFF); }
inline int LParamY(intptr_t l) { return static_cast<int16_t>((l >> 16) & 0xFFFF); }

// Modifier state carried in the high bits of key messages' lParam is not
// portable; the backends report modifiers through this helper instead.
struct KeyModifiers {
  bool shift = false;
  bool control = false;
  bool alt = false;
};

}  // namespace skinui
