// What the tracker asks of the system: its folders, version, screen, locale
// and fresh device ids. One implementation per platform (posix/, win32/).
#pragma once

#include <cstdint>
#include <string>

namespace kavrin::usage::platform {

// The folder under which the tracker keeps its per-user files: on Windows the
// short form of the local application-data folder (the all-users documents
// folder before 6.1 or when the version is unknown); on POSIX
// $XDG_DATA_HOME, else $HOME/.local/share. Empty when it cannot be found.
std::wstring TrackerBaseFolder();

struct OsVersion {
  bool known = false;
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;  // low 16 bits
  bool is_64bit = false;
  bool server_r2 = false;
};

// "Windows" or "Linux": the "$os" text and the platform named in the user
// agent.
std::string OsFamily();

// The "$os_version" text: the Windows name from the version table, or the
// kernel release on Linux.
std::string OsVersionName();

// The primary screen in pixels; 0 and 0 without a display.
void ScreenSize(int64_t& width, int64_t& height);

// The user locale's ISO 639 language and ISO 3166 country names; false when
// either cannot be told.
bool UserLocaleNames(std::string& language, std::string& country);

// Sixteen bytes of a freshly created GUID; false when the system could not
// create one.
bool CreateGuidBytes(uint8_t bytes[16]);

}  // namespace kavrin::usage::platform

namespace kavrin::usage {

// The Windows version table as a pure function (portable, for tests).
std::string WindowsVersionName(const platform::OsVersion& version);

}  // namespace kavrin::usage
