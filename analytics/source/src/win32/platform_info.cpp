#include "../platform_info.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

namespace kavrin::usage::platform {

namespace {

// The version as the system reports it, without the compatibility shims of
// GetVersionEx.
OsVersion QueryVersion() {
  OsVersion version;
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  auto rtl_get_version =
      ntdll ? reinterpret_cast<RtlGetVersionFn>(
                  reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
            : nullptr;
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (rtl_get_version && rtl_get_version(&info) == 0) {
    version.known = true;
    version.major = info.dwMajorVersion;
    version.minor = info.dwMinorVersion;
    version.build = info.dwBuildNumber & 0xFFFF;
  }
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  SYSTEM_INFO system{};
  GetNativeSystemInfo(&system);
  version.is_64bit = wow64 || system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
                     system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
  version.server_r2 = GetSystemMetrics(SM_SERVERR2) != 0;
  return version;
}

}  // namespace

std::wstring TrackerBaseFolder() {
  const OsVersion version = QueryVersion();
  const bool modern = version.known && (version.major > 6 || (version.major == 6 && version.minor >= 1));
  wchar_t folder[MAX_PATH] = {};
  const int which = modern ? CSIDL_LOCAL_APPDATA : CSIDL_COMMON_DOCUMENTS;
  if (FAILED(SHGetFolderPathW(nullptr, which | CSIDL_FLAG_CREATE, nullptr, 0, folder)))
    return std::wstring();
  wchar_t short_form[MAX_PATH] = {};
  const DWORD length = GetShortPathNameW(folder, short_form, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return folder;
  return short_form;
}

std::string OsFamily() { return "Windows"; }

std::string OsVersionName() { return WindowsVersionName(QueryVersion()); }

void ScreenSize(int64_t& width, int64_t& height) {
  width = GetSystemMetrics(SM_CXSCREEN);
  height = GetSystemMetrics(SM_CYSCREEN);
}

bool UserLocaleNames(std::string& language, std::string& country) {
  char language_name[16] = {};
  char country_name[16] = {};
  if (!GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SISO639LANGNAME, language_name, 16) ||
      !GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SISO3166CTRYNAME, country_name, 16))
    return false;
  language = language_name;
  country = country_name;
  return true;
}

bool CreateGuidBytes(uint8_t bytes[16]) {
  GUID guid{};
  if (FAILED(CoCreateGuid(&guid))) return false;
  bytes[0] = static_cast<uint8_t>(guid.Data1 >> 24);
  bytes[1] = static_cast<uint8_t>(guid.Data1 >> 16);
  bytes[2] = static_cast<uint8_t>(guid.Data1 >> 8);
  bytes[3] = static_cast<uint8_t>(guid.Data1);
  bytes[4] = static_cast<uint8_t>(guid.Data2 >> 8);
  bytes[5] = static_cast<uint8_t>(guid.Data2);
  bytes[6] = static_cast<uint8_t>(guid.Data3 >> 8);
  bytes[7] = static_cast<uint8_t>(guid.Data3);
  for (int i = 0; i < 8; ++i) bytes[8 + i] = guid.Data4[i];
  return true;
}

}  // namespace kavrin::usage::platform
