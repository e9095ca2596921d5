// Notifications that controls raise and windows receive, and the interfaces
// through which a window takes part in them.
#pragma once

#include <cstdint>
#include <string>

#include "skinui/geometry.h"

class CControlUI;

struct SkinNotify {
  std::wstring type;            // e.g. "click", "selectchanged", "tabselect", "timer"
  std::wstring virtual_window;  // always empty in this program
  CControlUI* sender = nullptr;
  uint32_t timestamp = 0;       // tick count when sent
  skinui::Point mouse;          // last mouse position in the window
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};

class ISkinNotifier {
 public:
  virtual ~ISkinNotifier() = default;
  virtual void Notify(SkinNotify& msg) = 0;
};

// Sees every window message before the control manager does; setting
// |handled| consumes it.
class ISkinMessageFilter {
 public:
  virtual ~ISkinMessageFilter() = default;
  virtual intptr_t MessageFilter(uint32_t message, uintptr_t wParam, intptr_t lParam,
                                 bool& handled) = 0;
};

// Asked by the markup builder for element names it does not know; nullptr
// skips the element with its subtree. The caller owns the result.
class ISkinBuilderCallback {
 public:
  virtual ~ISkinBuilderCallback() = default;
  virtual CControlUI* CreateSkinControl(const std::wstring& element_name) = 0;
};
