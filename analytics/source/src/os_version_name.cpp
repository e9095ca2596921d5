#include "platform_info.h"

namespace kavrin::usage {

std::string WindowsVersionName(const platform::OsVersion& v) {
  if (!v.known || v.major <= 4) return "XP-";
  if (v.major == 5) {
    switch (v.minor) {
      case 0: return "2K";
      case 1: return "XP";
      case 2:
        if (v.is_64bit) return "XP64";
        return v.server_r2 ? "Server 2003 R2" : "Server 2003";
      default: return "XP+";
    }
  }
  if (v.major == 6) {
    switch (v.minor) {
      case 0: return v.is_64bit ? "Vista64" : "Vista";
      case 1: return v.is_64bit ? "7" : "7-32";
      case 2: return v.is_64bit ? "8" : "8-32";
      case 3: return "8.1";
      default: return "8.1+";
    }
  }
  if (v.major == 10) {
    if (v.minor == 0) return v.build < 22000 ? "10" : "11";
    return "11+";
  }
  return std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.build);
}

}  // namespace kavrin::usage
