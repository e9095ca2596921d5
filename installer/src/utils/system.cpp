// The parts of the system helpers that are the same on every platform.
#include "utils/system.h"

#include <cstdio>

#include "utils/path.h"

namespace Utils {

const wchar_t kMutexPrefix[] = L"D1A547DB89C0BC61_";
const wchar_t kTempFolderName[] = L"~KavrinTemp.92482B06FB471E17";

std::wstring WindowsVersionNameFromNumbers(uint32_t major, uint32_t minor, uint32_t build, bool server_r2) {
  build &= 0xFFFF;
  if (major <= 4) return L"XP-";
  if (major == 5) {
    if (minor == 0) return L"2K";
    if (minor == 1) return L"XP";
    if (minor == 2) return server_r2 ? L"Server 2003 R2" : L"Server 2003";
    return L"XP+";
  }
  if (major == 6) {
    switch (minor) {
      case 0: return L"Vista";
      case 1: return L"7";
      case 2: return L"8";
      case 3: return L"8.1";
      default: return L"8.1+";
    }
  }
  if (major == 10) return minor == 0 ? L"10" : L"10+";
  return std::to_wstring(major) + L"." + std::to_wstring(minor) + L"." + std::to_wstring(build);
}

std::wstring FormatGuid(uint32_t data1, uint16_t data2, uint16_t data3, const uint8_t data4[8]) {
  char text[40];
  std::snprintf(text, sizeof text, "%08X%04X%04x%02X%02X%02X%02X%02X%02X%02X%02X",
                static_cast<unsigned>(data1), static_cast<unsigned>(data2), static_cast<unsigned>(data3),
                data4[0], data4[1], data4[2], data4[3], data4[4], data4[5], data4[6], data4[7]);
  return std::wstring(text, text + 32);
}

void ElapsedTimer::Start() {
  start_tick_ = TickCount();
  started_ = true;
}

float ElapsedTimer::Seconds() const {
  if (!started_) return 0.0f;
  const uint32_t elapsed = TickCount() - start_tick_;  // unsigned: a wrap is harmless
  return static_cast<float>(elapsed) / 1000.0f;
}

namespace internal {
bool MakeDirectory(const std::wstring& path);  // per platform
}

bool CreateDirectories(const std::wstring& path) {
  if (path.size() > 260) return false;
  size_t last = 0;
  for (size_t i = 0; i < path.size(); ++i) {
#ifdef _WIN32
    const bool separator = path[i] == L'\\';
#else
    const bool separator = path[i] == L'/';
#endif
    if (!separator) continue;
    last = i + 1;
    const std::wstring prefix = path.substr(0, i + 1);
    if (!FileExists(prefix) && !internal::MakeDirectory(prefix)) return false;
  }
  if (last < path.size() && !FileExists(path) && !internal::MakeDirectory(path)) return false;
  return true;
}

}  // namespace Utils
