// Lets a window handle its pending messages for a short while, e.g. before a
// slow action that would otherwise freeze it. Implemented by the control
// library (installer/src/skinui/pump_messages.cpp), which owns the message
// loop; link vantelo_skinui to use it.
#pragma once

#include <cstdint>

namespace Utils {

// Takes and dispatches the thread's messages (waiting when there are none)
// while |window| (a window handle, 0 for none) still exists. Stops when more
// than 100 ms have passed since the start (answers true), when the window is
// gone, or at the quit message, which is posted again for the main loop
// (both answer false). There is no time limit on the wait for the next
// message: a caller that needs a hard bound posts itself a message.
bool PumpMessages(uintptr_t window);

}  // namespace Utils
