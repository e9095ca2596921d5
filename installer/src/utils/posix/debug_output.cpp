#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "utils/debug_log.h"
#include "utils/text.h"

namespace Utils::log_internal {

void WriteDebugString(const std::wstring& line) {
  // Standard error stands in for the debugger channel: one write per line,
  // so lines of different threads never mix.
  const std::string bytes = WideToUtf8(line);
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(STDERR_FILENO, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

Now CurrentStamp() {
  timeval tv{};
  ::gettimeofday(&tv, nullptr);
  tm local{};
  const time_t seconds = tv.tv_sec;
  ::localtime_r(&seconds, &local);
  Now now{};
  now.process_id = static_cast<unsigned long>(::getpid());
  now.thread_id = static_cast<unsigned long>(::syscall(SYS_gettid));
  now.year = local.tm_year + 1900;
  now.month = local.tm_mon + 1;
  now.day = local.tm_mday;
  now.hour = local.tm_hour;
  now.minute = local.tm_min;
  now.second = local.tm_sec;
  now.millisecond = static_cast<int>(tv.tv_usec / 1000);
  return now;
}

}  // namespace Utils::log_internal
