#include "../platform_info.h"

#include <dlfcn.h>
#include <sys/utsname.h>

#include <cstdio>
#include <cstdlib>

#include "utils/text.h"

namespace kavrin::usage::platform {

std::wstring TrackerBaseFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && *data == '/') return Utils::Utf8ToWide(data);
  const char* home = std::getenv("HOME");
  if (!home || !*home) return std::wstring();
  return Utils::Utf8ToWide(std::string(home) + "/.local/share");
}

std::string OsFamily() {
  struct utsname name {};
  if (uname(&name) == 0 && name.sysname[0]) return name.sysname;
  return "Linux";
}

std::string OsVersionName() {
  struct utsname name {};
  if (uname(&name) != 0) return std::string();
  return name.release;
}

void ScreenSize(int64_t& width, int64_t& height) {
  width = 0;
  height = 0;
  const char* display_name = std::getenv("DISPLAY");
  if (!display_name || !*display_name) return;
  // X11 is loaded only when there is a display to ask, so the tracker has no
  // link-time dependency on it.
  void* x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
  if (!x11) return;
  using OpenDisplay = void* (*)(const char*);
  using CloseDisplay = int (*)(void*);
  using DefaultScreen = int (*)(void*);
  using Dimension = int (*)(void*, int);
  auto open = reinterpret_cast<OpenDisplay>(dlsym(x11, "XOpenDisplay"));
  auto close = reinterpret_cast<CloseDisplay>(dlsym(x11, "XCloseDisplay"));
  auto screen = reinterpret_cast<DefaultScreen>(dlsym(x11, "XDefaultScreen"));
  auto display_width = reinterpret_cast<Dimension>(dlsym(x11, "XDisplayWidth"));
  auto display_height = reinterpret_cast<Dimension>(dlsym(x11, "XDisplayHeight"));
  if (open && close && screen && display_width && display_height) {
    if (void* display = open(nullptr)) {
      const int number = screen(display);
      width = display_width(display, number);
      height = display_height(display, number);
      close(display);
    }
  }
  dlclose(x11);
}

bool UserLocaleNames(std::string& language, std::string& country) {
  // The same precedence as the C library: LC_ALL, LC_MESSAGES, LANG.
  std::string locale;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value) {
      locale = value;
      break;
    }
  }
  locale = locale.substr(0, locale.find_first_of(".@"));
  const size_t underscore = locale.find('_');
  if (underscore == std::string::npos || underscore == 0 || underscore + 1 >= locale.size())
    return false;
  language = locale.substr(0, underscore);
  country = locale.substr(underscore + 1);
  return true;
}

bool CreateGuidBytes(uint8_t bytes[16]) {
  FILE* random = std::fopen("/dev/urandom", "rb");
  if (!random) return false;
  const bool read = std::fread(bytes, 1, 16, random) == 16;
  std::fclose(random);
  if (!read) return false;
  bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
  return true;
}

}  // namespace kavrin::usage::platform
