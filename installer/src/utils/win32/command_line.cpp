#include <windows.h>

#include "utils/command_line.h"

namespace Utils {

std::wstring ProcessCommandLine() { return GetCommandLineW(); }

}  // namespace Utils
