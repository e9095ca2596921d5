// Small system services: connectivity, disk space, OS version, admin and user
// queries, single instance, private temp folder, folder creation, GUIDs,
// elapsed time.
#pragma once

#include <cstdint>
#include <string>

namespace Utils {

// Connectivity probe: low 16 bits the connectivity flags (NLM_CONNECTIVITY
// values), high 16 bits the verdict: 0 connected to the internet,
// 1 disconnected, 2 connected without internet. 0 when no probe is possible.
// Windows asks the network list manager (COM must be initialised on the
// calling thread); POSIX reads the routing tables.
int CheckNetwork();

class HardDiskManager {
 public:
  virtual ~HardDiskManager() = default;
  // Fills the three byte counts for the volume holding |folder|; false (and
  // a trace line) when the system cannot tell.
  bool CheckFreeSpace(const std::wstring& folder);

  uint64_t free_bytes_for_caller() const { return free_bytes_for_caller_; }
  uint64_t total_bytes() const { return total_bytes_; }
  uint64_t total_free_bytes() const { return total_free_bytes_; }

 private:
  uint64_t free_bytes_for_caller_ = 0;
  uint64_t total_bytes_ = 0;
  uint64_t total_free_bytes_ = 0;
};

// The Windows version-name table as a pure function of the version numbers
// (build keeps its low 16 bits): "XP-", "2K", "XP", "Server 2003",
// "Server 2003 R2", "XP+", "Vista", "7", "8", "8.1", "8.1+", "10", "10+",
// or "major.minor.build".
std::wstring WindowsVersionNameFromNumbers(uint32_t major, uint32_t minor, uint32_t build,
                                           bool server_r2);

// family: "Windows" on Windows (name from the table above), "Linux" on Linux
// (name: the kernel release).
void GetWindowsVersionName(std::wstring& family, std::wstring& name);

bool Is64BitSystem();

// 32 hexadecimal digits of a new random GUID: the groups of 8, 4, 4 and 16
// digits in upper case but the third (13th to 16th digit), which is lower case.
std::wstring CreateGuidString();

// Formats GUID fields the way CreateGuidString does.
std::wstring FormatGuid(uint32_t data1, uint16_t data2, uint16_t data3, const uint8_t data4[8]);

// The private temp folder (user temp path + "~KavrinTemp.92482B06FB471E17" +
// separator), created when missing; empty on failure.
std::wstring GetTempFolder();

// Creates every folder of |path|; the last component counts as a folder even
// without a trailing separator. False for a path over 260 characters or when
// a folder cannot be created.
bool CreateDirectories(const std::wstring& path);

// Administrator rights of this process (POSIX: effective uid 0).
bool IsRunAsAdmin();
// Whether the named account is an administrator (POSIX: uid 0 or member of
// sudo, wheel or admin).
bool IsUserAdmin(const std::wstring& user_name);
// The user of the console / active graphical session.
bool GetConsoleUserName(std::wstring& name);

// One running copy per name: Create takes a system-wide lock named
// "D1A547DB89C0BC61_" + name. Held() is false afterwards when another
// process holds it. The lock is released on destruction.
class SingleInstance {
 public:
  explicit SingleInstance(const std::wstring& name);
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  void Create();
  bool Held() const;
  void Release();

  class Impl;

 private:
  const std::wstring name_;
  Impl* impl_ = nullptr;
};

extern const wchar_t kMutexPrefix[];
extern const wchar_t kTempFolderName[];

// Seconds since Start, from a 32-bit millisecond tick (a wrap is harmless);
// 0 when not started.
class ElapsedTimer {
 public:
  void Start();
  float Seconds() const;
  bool started() const { return started_; }

 private:
  uint32_t start_tick_ = 0;
  bool started_ = false;
};

// Milliseconds of a 32-bit system tick counter.
uint32_t TickCount();

}  // namespace Utils
