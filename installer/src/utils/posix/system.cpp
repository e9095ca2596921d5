#include "utils/system.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/utsname.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "utils/debug_log.h"
#include "utils/path.h"
#include "utils/text.h"

namespace Utils {
namespace {

// NLM_CONNECTIVITY flags, so that callers read the same numbers everywhere.
constexpr int kIpv4LocalNetwork = 0x20;
constexpr int kIpv4Internet = 0x40;
constexpr int kIpv6LocalNetwork = 0x200;
constexpr int kIpv6Internet = 0x400;

// Looks at the kernel's routing tables: a default route means a way out; any
// other route on an interface other than loopback means a local network.
void ReadRoutes(int& flags) {
  std::ifstream v4("/proc/net/route");
  std::string line;
  std::getline(v4, line);  // header
  while (std::getline(v4, line)) {
    std::istringstream fields(line);
    std::string iface, destination, gateway, flags_text, refcnt, use, metric, mask;
    fields >> iface >> destination >> gateway >> flags_text >> refcnt >> use >> metric >> mask;
    if (iface.empty() || iface == "lo") continue;
    flags |= (destination == "00000000" && mask == "00000000") ? kIpv4Internet : kIpv4LocalNetwork;
  }
  std::ifstream v6("/proc/net/ipv6_route");
  while (std::getline(v6, line)) {
    std::istringstream fields(line);
    std::string destination, prefix, source, source_prefix, next_hop, metric, refcnt, use, route_flags, iface;
    fields >> destination >> prefix >> source >> source_prefix >> next_hop >> metric >> refcnt >> use >> route_flags >> iface;
    if (iface.empty() || iface == "lo") continue;
    if (destination.rfind("fe80", 0) == 0 || destination.rfind("ff", 0) == 0) continue;  // link-local, multicast
    flags |= (destination == std::string(32, '0') && prefix == "00") ? kIpv6Internet : kIpv6LocalNetwork;
  }
}

std::string EnvOr(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value && *value ? value : fallback;
}

}  // namespace

int CheckNetwork() {
  int connectivity = 0;
  ReadRoutes(connectivity);
  int verdict = 0;
  if (connectivity == 0) {
    DEBUG_LOG_RAW(L"GetConnectivity %d", connectivity);
    verdict = 1;
  } else if (!(connectivity & (kIpv4Internet | kIpv6Internet))) {
    DEBUG_LOG_RAW(L"get_IsConnectedToInternet:%d", 0);
    verdict = 2;
  }
  return connectivity | (verdict << 16);
}

bool HardDiskManager::CheckFreeSpace(const std::wstring& folder) {
  struct statvfs st {};
  if (::statvfs(NarrowPath(folder).c_str(), &st) != 0) {
    DEBUG_LOG_RAW(L"HardDiskManager::CheckFreeSpace FAIL code=%ld\r\n", static_cast<long>(errno));
    return false;
  }
  free_bytes_for_caller_ = static_cast<uint64_t>(st.f_bavail) * st.f_frsize;
  total_bytes_ = static_cast<uint64_t>(st.f_blocks) * st.f_frsize;
  total_free_bytes_ = static_cast<uint64_t>(st.f_bfree) * st.f_frsize;
  return true;
}

void GetWindowsVersionName(std::wstring& family, std::wstring& name) {
  family = L"Linux";
  utsname u{};
  name = ::uname(&u) == 0 ? ToWide(u.release, kCodePageAnsi) : L"";
}

bool Is64BitSystem() {
  utsname u{};
  if (::uname(&u) != 0) return sizeof(void*) == 8;
  const std::string machine = u.machine;
  return machine == "x86_64" || machine == "aarch64" || machine == "ppc64le" || machine == "s390x" ||
         machine == "riscv64" || machine == "ia64";
}

std::wstring CreateGuidString() {
  uint8_t bytes[16];
  size_t got = 0;
  while (got < sizeof bytes) {
    const ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);  // variant
  const uint32_t data1 = (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) | bytes[3];
  const uint16_t data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
  const uint16_t data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
  return FormatGuid(data1, data2, data3, bytes + 8);
}

std::wstring GetTempFolder() {
  std::wstring folder = ToWide(EnvOr("TMPDIR", "/tmp"), kCodePageAnsi);
  if (folder.empty() || folder.back() != L'/') folder += L'/';
  folder += kTempFolderName;
  folder += L'/';
  if (folder.size() > 260) return {};
  if (IsDirectory(folder)) return folder;
  if (::mkdir(NarrowPath(folder).c_str(), 0700) == 0) return folder;
  return {};
}

bool IsRunAsAdmin() { return ::geteuid() == 0; }

bool IsUserAdmin(const std::wstring& user_name) {
  const std::string name = ToMultiByte(user_name, kCodePageAnsi);
  const passwd* pw = name.empty() ? nullptr : ::getpwnam(name.c_str());
  if (!pw) return false;
  if (pw->pw_uid == 0) return true;
  int count = 64;
  std::vector<gid_t> groups(count);
  if (::getgrouplist(name.c_str(), pw->pw_gid, groups.data(), &count) < 0) {
    groups.resize(count);
    if (::getgrouplist(name.c_str(), pw->pw_gid, groups.data(), &count) < 0) return false;
  }
  groups.resize(count);
  for (gid_t gid : groups) {
    const group* g = ::getgrgid(gid);
    if (!g) continue;
    if (!std::strcmp(g->gr_name, "sudo") || !std::strcmp(g->gr_name, "wheel") || !std::strcmp(g->gr_name, "admin"))
      return true;
  }
  return false;
}

bool GetConsoleUserName(std::wstring& name) {
  // The owner of the graphical session's display socket, else the login user.
  uid_t uid = ::getuid();
  const std::string display = EnvOr("DISPLAY", "");
  const size_t colon = display.find(':');
  if (colon != std::string::npos) {
    std::string number = display.substr(colon + 1);
    number = number.substr(0, number.find('.'));
    struct stat st {};
    if (!number.empty() && ::stat(("/tmp/.X11-unix/X" + number).c_str(), &st) == 0) uid = st.st_uid;
  }
  const passwd* pw = ::getpwuid(uid);
  if (pw && pw->pw_name) {
    name = ToWide(pw->pw_name, kCodePageAnsi);
    return true;
  }
  char login[256];
  if (::getlogin_r(login, sizeof login) == 0) {
    name = ToWide(login, kCodePageAnsi);
    return true;
  }
  return false;
}

// A lock file named after the mutex, held with flock while the process runs;
// the system drops the lock when the process dies.
class SingleInstance::Impl {
 public:
  int fd = -1;
};

SingleInstance::SingleInstance(const std::wstring& name) : name_(name) {}
SingleInstance::~SingleInstance() { Release(); }

void SingleInstance::Create() {
  if (impl_) return;
  const std::string folder = EnvOr("XDG_RUNTIME_DIR", EnvOr("TMPDIR", "/tmp"));
  const std::string path = folder + "/" + ToMultiByte(kMutexPrefix + name_, kCodePageUtf8) + ".lock";
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return;
  }
  impl_ = new Impl{fd};
}

bool SingleInstance::Held() const { return impl_ != nullptr; }

void SingleInstance::Release() {
  if (!impl_) return;
  ::close(impl_->fd);
  delete impl_;
  impl_ = nullptr;
}

uint32_t TickCount() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000);
}

}  // namespace Utils
