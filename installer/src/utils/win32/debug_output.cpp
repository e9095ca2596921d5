#include <windows.h>

#include "utils/debug_log.h"

namespace Utils::log_internal {

void WriteDebugString(const std::wstring& line) { OutputDebugStringW(line.c_str()); }

Now CurrentStamp() {
  SYSTEMTIME local{};
  GetLocalTime(&local);
  Now now{};
  now.process_id = GetCurrentProcessId();
  now.thread_id = GetCurrentThreadId();
  now.year = local.wYear;
  now.month = local.wMonth;
  now.day = local.wDay;
  now.hour = local.wHour;
  now.minute = local.wMinute;
  now.second = local.wSecond;
  now.millisecond = local.wMilliseconds;
  return now;
}

}  // namespace Utils::log_internal
