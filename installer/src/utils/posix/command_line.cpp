#include <fstream>
#include <iterator>

#include "utils/command_line.h"
#include "utils/text.h"

namespace Utils {

std::wstring ProcessCommandLine() {
  // The kernel keeps the argument vector NUL-separated; join it back into the
  // one text Windows would hand us.
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::wstring line;
  size_t start = 0;
  bool first = true;
  while (start < bytes.size()) {
    size_t end = bytes.find('\0', start);
    if (end == std::string::npos) end = bytes.size();
    const std::wstring argument = ToWide(bytes.substr(start, end - start), kCodePageAnsi);
    if (!first) line += L' ';
    // The program name has no escapes: quote it only when it holds a blank.
    if (first) line += argument.find_first_of(L" \t") == std::wstring::npos && !argument.empty() ? argument : L"\"" + argument + L"\"";
    else line += QuoteArgument(argument);
    first = false;
    start = end + 1;
  }
  return line;
}

}  // namespace Utils
