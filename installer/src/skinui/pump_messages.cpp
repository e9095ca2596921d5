// Utils::PumpMessages lives with the message loop it drives; utils only
// declares it, so the lowest layer does not depend on the window system.
#include "utils/pump_messages.h"

#include "skinui/native_window.h"
#include "utils/system.h"

namespace Utils {

bool PumpMessages(uintptr_t window) {
  const uint32_t start = TickCount();
  skinui::Message msg;
  while (window == 0 || skinui::IsWindow(window)) {
    if (!skinui::GetMessage(msg)) {
      // Let the main loop see the quit message too.
      skinui::PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    skinui::DispatchMessage(msg);
    if (TickCount() - start > 100) return true;
  }
  return false;
}

}  // namespace Utils
