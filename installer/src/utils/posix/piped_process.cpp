// The child runs through posix_spawn with three pipes. The single command-line
// text is split by the Windows rules so that the child's arguments match what
// a Windows child would get from the same text.
#include "utils/piped_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

#include "utils/command_line.h"
#include "utils/debug_log.h"
#include "utils/path.h"

extern char** environ;

namespace Utils {

namespace {

// Owns one file descriptor.
class ScopedFd {
 public:
  ScopedFd() = default;
  ~ScopedFd() { Reset(); }
  ScopedFd(const ScopedFd&) = delete;
  ScopedFd& operator=(const ScopedFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  void Reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

// A pipe whose both ends are close-on-exec: the child's ends reach the child
// only through the dup2 of the spawn, which clears the flag on the copy.
// Descriptors 0 to 2 are the ones the child's ends are copied onto; when this
// process runs with one of them closed, a pipe end could land there and be
// overwritten by another copy before its own. Such an end moves above 2.
int AboveStandard(int fd) {
  if (fd > 2) return fd;
  const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
  ::close(fd);
  return moved;
}

bool MakePipe(ScopedFd& read_end, ScopedFd& write_end) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return false;
  read_end.Reset(AboveStandard(fds[0]));
  write_end.Reset(AboveStandard(fds[1]));
  return read_end.valid() && write_end.valid();
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The program file of a command line, found the way CreateProcessW finds it
// without an application name: a quoted first token is the program; an
// unquoted one that holds blanks is tried prefix by prefix, each prefix as it
// stands and with ".exe" added when it has no extension.
std::string ResolveProgram(const std::wstring& command_line, const std::wstring& first_argument) {
  const auto candidate = [](const std::wstring& name) -> std::string {
    std::string narrow = NarrowPath(name);
    if (IsRegularFile(narrow)) return narrow;
    const std::wstring file = FileNamePart(name);
    if (file.find(L'.') == std::wstring::npos) {
      narrow = NarrowPath(name + L".exe");
      if (IsRegularFile(narrow)) return narrow;
    }
    return {};
  };
  if (command_line.empty() || command_line[0] == L'"') return candidate(first_argument);
  const size_t end = command_line.find_first_of(L"\t");
  const std::wstring head = command_line.substr(0, end);
  for (size_t blank = head.find(L' '); blank != std::wstring::npos; blank = head.find(L' ', blank + 1)) {
    const std::string found = candidate(head.substr(0, blank));
    if (!found.empty()) return found;
  }
  return candidate(head);
}

// A downloaded package or copied uninstaller arrives without execute
// permission; whoever may read it may now run it.
void MakeExecutable(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return;
  mode_t mode = st.st_mode & 07777;
  if (mode & S_IRUSR) mode |= S_IXUSR;
  if (mode & S_IRGRP) mode |= S_IXGRP;
  if (mode & S_IROTH) mode |= S_IXOTH;
  if (mode != (st.st_mode & 07777)) ::chmod(path.c_str(), mode);
}

}  // namespace

class PipedProcess::Impl {
 public:
  ScopedFd error_read, error_write;
  ScopedFd output_read, output_write;
  ScopedFd input_read, input_write;
  pid_t pid = -1;
  bool reaped = false;
  uint32_t exit_code = kStillActive;

  void Reaped(int status) {
    reaped = true;
    if (WIFEXITED(status))
      exit_code = static_cast<uint32_t>(WEXITSTATUS(status));
    else if (WIFSIGNALED(status))
      exit_code = 128u + static_cast<uint32_t>(WTERMSIG(status));
    else
      exit_code = 1;
  }

  bool Poll(bool block) {
    if (pid < 0 || reaped) return reaped;
    int status = 0;
    pid_t r;
    do {
      r = ::waitpid(pid, &status, block ? 0 : WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == pid) {
      Reaped(status);
    } else if (r < 0) {
      // Reaped elsewhere (SIGCHLD ignored): it has ended, its code is lost.
      reaped = true;
      exit_code = 0;
    }
    return reaped;
  }

  // Reads and drops what waits in the error pipe, at most 64 KB a call so a
  // child that floods it cannot keep us from its output.
  void DrainErrors() {
    if (!error_read.valid()) return;
    char sink[4096];
    for (int round = 0; round < 16; ++round) {
      pollfd p{error_read.get(), POLLIN, 0};
      if (::poll(&p, 1, 0) <= 0 || !(p.revents & (POLLIN | POLLHUP))) return;
      const ssize_t n = ::read(error_read.get(), sink, sizeof sink);
      if (n <= 0) {
        if (n < 0 && errno == EINTR) continue;
        error_read.Reset();
        return;
      }
    }
  }
};

PipedProcess::PipedProcess() : impl_(std::make_unique<Impl>()) {}

PipedProcess::~PipedProcess() {
  Close();
  impl_->Poll(false);
}

void PipedProcess::CreatePipes() {
  if (!MakePipe(impl_->error_read, impl_->error_write) ||
      !MakePipe(impl_->output_read, impl_->output_write) ||
      !MakePipe(impl_->input_read, impl_->input_write)) {
    DEBUG_LOG(L"pipe failed, errno=%d", errno);
    throw Exception();
  }
}

void PipedProcess::Start(const std::wstring& command_line) {
  if (!impl_->output_write.valid() || !impl_->error_write.valid() || !impl_->input_read.valid()) throw Exception();
  if (command_line.size() >= kCommandLineCapacity) {
    DEBUG_LOG(L"command line of %d characters does not fit", static_cast<int>(command_line.size()));
    throw Exception();
  }
  const std::vector<std::wstring> arguments = SplitCommandLine(command_line);
  if (arguments.empty() || arguments[0].empty()) throw Exception();
  const std::string program = ResolveProgram(command_line, arguments[0]);
  if (program.empty()) {
    DEBUG_LOG(L"no program file for %s", arguments[0]);
    throw Exception();
  }
  MakeExecutable(program);

  std::vector<std::string> narrow;
  narrow.reserve(arguments.size());
  for (const std::wstring& argument : arguments) narrow.push_back(NarrowPath(argument));
  std::vector<char*> argv;
  for (std::string& argument : narrow) argv.push_back(argument.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawnattr_init(&attributes);
  ::posix_spawn_file_actions_adddup2(&actions, impl_->input_read.get(), 0);
  ::posix_spawn_file_actions_adddup2(&actions, impl_->output_write.get(), 1);
  ::posix_spawn_file_actions_adddup2(&actions, impl_->error_write.get(), 2);
  // The child starts with default signal handling and no blocked signals,
  // whatever this process has set up for itself.
  sigset_t defaults, empty;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigemptyset(&empty);
  ::posix_spawnattr_setsigdefault(&attributes, &defaults);
  ::posix_spawnattr_setsigmask(&attributes, &empty);
  ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

  pid_t pid = -1;
  int error = 0;
  // A program file written a moment ago may still be open for writing in a
  // child that another thread is starting; that clears within milliseconds.
  for (int attempt = 0; attempt < 50; ++attempt) {
    error = ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    if (error != ETXTBSY) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ::posix_spawn_file_actions_destroy(&actions);
  ::posix_spawnattr_destroy(&attributes);
  if (error != 0) {
    DEBUG_LOG(L"posix_spawn failed, error=%d", error);
    throw Exception();
  }
  impl_->pid = pid;
  impl_->reaped = false;
  impl_->exit_code = kStillActive;
  // The child holds its own copies now; ours would keep the pipes open.
  impl_->output_write.Reset();
  impl_->error_write.Reset();
  impl_->input_read.Reset();
  DEBUG_LOG(L"child %d started", static_cast<int>(pid));
}

PipedProcess::ReadResult PipedProcess::Read(std::string& bytes, size_t max_bytes, uint32_t wait_ms) {
  if (!impl_->output_read.valid()) return ReadResult::kEnd;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
  for (;;) {
    pollfd fds[2] = {{impl_->output_read.get(), POLLIN, 0}, {impl_->error_read.get(), POLLIN, 0}};
    const nfds_t count = impl_->error_read.valid() ? 2 : 1;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    const int r = ::poll(fds, count, left.count() > 0 ? static_cast<int>(left.count()) : 0);
    if (r < 0 && errno != EINTR) return ReadResult::kEnd;
    if (count == 2 && fds[1].revents) impl_->DrainErrors();
    if (r > 0 && fds[0].revents) {
      std::string buffer(max_bytes, '\0');
      ssize_t n;
      do {
        n = ::read(impl_->output_read.get(), buffer.data(), max_bytes);
      } while (n < 0 && errno == EINTR);
      if (n <= 0) {
        impl_->output_read.Reset();
        return ReadResult::kEnd;
      }
      bytes.append(buffer.data(), static_cast<size_t>(n));
      return ReadResult::kData;
    }
    if (std::chrono::steady_clock::now() >= deadline) return ReadResult::kNoData;
  }
}

uint32_t PipedProcess::ExitCode() {
  impl_->Poll(false);
  return impl_->reaped ? impl_->exit_code : kStillActive;
}

bool PipedProcess::HasEnded() { return impl_->pid < 0 || impl_->Poll(false); }

void PipedProcess::Wait() {
  if (impl_->pid < 0) return;
  impl_->Poll(true);
}

void PipedProcess::Close() {
  impl_->error_read.Reset();
  impl_->error_write.Reset();
  impl_->output_read.Reset();
  impl_->output_write.Reset();
  impl_->input_read.Reset();
  impl_->input_write.Reset();
}

bool PipedProcess::started() const { return impl_->pid >= 0; }

}  // namespace Utils
