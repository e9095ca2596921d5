#include "utils/system.h"

#include <windows.h>
#include <lm.h>
#include <netlistmgr.h>
#include <objbase.h>
#include <wtsapi32.h>

#include "utils/debug_log.h"
#include "utils/path.h"
#include "utils/text.h"

namespace Utils {
namespace {

const CLSID kNetworkListManager = {0xDCB00C01, 0x570F, 0x4A9B, {0x8D, 0x69, 0x19, 0x9F, 0xDB, 0xA5, 0x72, 0x3B}};
const IID kINetworkListManager = {0xDCB00000, 0x570F, 0x4A9B, {0x8D, 0x69, 0x19, 0x9F, 0xDB, 0xA5, 0x72, 0x3B}};

}  // namespace

int CheckNetwork() {
  INetworkListManager* manager = nullptr;
  if (FAILED(CoCreateInstance(kNetworkListManager, nullptr, CLSCTX_ALL, kINetworkListManager,
                              reinterpret_cast<void**>(&manager))) || !manager)
    return 0;
  NLM_CONNECTIVITY connectivity = NLM_CONNECTIVITY_DISCONNECTED;
  manager->GetConnectivity(&connectivity);
  int verdict = 0;
  if (connectivity == 0) {
    DEBUG_LOG_RAW(L"GetConnectivity %d", static_cast<int>(connectivity));
    verdict = 1;
  } else {
    VARIANT_BOOL connected = VARIANT_FALSE;
    // mingw's header names the property getter without its get_ prefix.
    manager->IsConnectedToInternet(&connected);
    if (!connected) {
      DEBUG_LOG_RAW(L"get_IsConnectedToInternet:%d", static_cast<int>(connected));
      verdict = 2;
    }
  }
  manager->Release();
  CoFreeUnusedLibraries();
  return static_cast<int>(connectivity) | (verdict << 16);
}

bool HardDiskManager::CheckFreeSpace(const std::wstring& folder) {
  ULARGE_INTEGER caller{}, total{}, free{};
  if (!GetDiskFreeSpaceExW(folder.c_str(), &caller, &total, &free)) {
    DEBUG_LOG_RAW(L"HardDiskManager::CheckFreeSpace FAIL code=%ld\r\n", static_cast<long>(GetLastError()));
    return false;
  }
  free_bytes_for_caller_ = caller.QuadPart;
  total_bytes_ = total.QuadPart;
  total_free_bytes_ = free.QuadPart;
  return true;
}

void GetWindowsVersionName(std::wstring& family, std::wstring& name) {
  family = L"Windows";
  HMODULE ntdll = LoadLibraryW(L"ntdll.dll");
  if (!ntdll) {
    name = L"XP-";
    return;
  }
  using GetNumbers = void(WINAPI*)(DWORD*, DWORD*, DWORD*);
  auto get = reinterpret_cast<GetNumbers>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetNtVersionNumbers")));
  DWORD major = 0, minor = 0, build = 0;
  if (get) get(&major, &minor, &build);
  FreeLibrary(ntdll);
  name = WindowsVersionNameFromNumbers(major, minor, build & 0xFFFF, GetSystemMetrics(SM_SERVERR2) != 0);
}

bool Is64BitSystem() {
  using IsWow64 = BOOL(WINAPI*)(HANDLE, PBOOL);
  auto is_wow64 = reinterpret_cast<IsWow64>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "IsWow64Process")));
  if (!is_wow64) return false;
  BOOL answer = FALSE;
  if (is_wow64(GetCurrentProcess(), &answer)) {
    // A 64-bit program is never under WOW64; its system is 64-bit all the same.
    if (sizeof(void*) == 8) return true;
    return answer != FALSE;
  }
  SYSTEM_INFO info{};
  GetNativeSystemInfo(&info);
  return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
         info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
}

std::wstring CreateGuidString() {
  GUID guid{};
  if (FAILED(CoCreateGuid(&guid))) return {};
  return FormatGuid(guid.Data1, guid.Data2, guid.Data3, guid.Data4);
}

std::wstring GetTempFolder() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathW(MAX_PATH, buffer);
  if (n == 0 || n > MAX_PATH) return {};
  std::wstring folder(buffer, n);
  folder += kTempFolderName;
  folder += L'\\';
  if (folder.size() > MAX_PATH) return {};
  if (IsDirectory(folder) || CreateDirectoryW(folder.c_str(), nullptr)) return folder;
  return {};
}

bool IsRunAsAdmin() {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID admins = nullptr;
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &admins))
    return false;
  BOOL member = FALSE;
  const BOOL ok = CheckTokenMembership(nullptr, admins, &member);
  FreeSid(admins);
  return ok && member;
}

bool IsUserAdmin(const std::wstring& user_name) {
  USER_INFO_1* info = nullptr;
  if (NetUserGetInfo(nullptr, user_name.c_str(), 1, reinterpret_cast<LPBYTE*>(&info)) != NERR_Success || !info)
    return false;
  const bool admin = info->usri1_priv == USER_PRIV_ADMIN;
  NetApiBufferFree(info);
  return admin;
}

bool GetConsoleUserName(std::wstring& name) {
  LPWSTR buffer = nullptr;
  DWORD bytes = 0;
  if (!WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, WTSGetActiveConsoleSessionId(), WTSUserName, &buffer, &bytes))
    return false;
  name = buffer ? buffer : L"";
  WTSFreeMemory(buffer);
  return true;
}

class SingleInstance::Impl {
 public:
  HANDLE mutex = nullptr;
};

SingleInstance::SingleInstance(const std::wstring& name) : name_(name) {}
SingleInstance::~SingleInstance() { Release(); }

void SingleInstance::Create() {
  if (impl_) return;
  const std::wstring full = std::wstring(kMutexPrefix) + name_;
  HANDLE mutex = CreateMutexW(nullptr, TRUE, full.c_str());
  if (!mutex) return;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return;
  }
  impl_ = new Impl{mutex};
}

bool SingleInstance::Held() const { return impl_ != nullptr; }

void SingleInstance::Release() {
  if (!impl_) return;
  ReleaseMutex(impl_->mutex);
  CloseHandle(impl_->mutex);
  delete impl_;
  impl_ = nullptr;
}

uint32_t TickCount() { return GetTickCount(); }

}  // namespace Utils
