// The child runs through CreateProcessW with its standard handles on three
// anonymous pipes, hidden. Anonymous pipes have no overlapped reads, so a
// read with a wait looks at the pipe with PeekNamedPipe first.
#include "utils/piped_process.h"

#include <windows.h>

#include <cwchar>
#include <mutex>
#include <vector>

#include "utils/debug_log.h"

namespace Utils {

namespace {

// Owns one handle.
class ScopedHandle {
 public:
  ScopedHandle() = default;
  ~ScopedHandle() { Reset(); }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  HANDLE get() const { return handle_; }
  HANDLE* receive() {
    Reset();
    return &handle_;
  }
  bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  void Reset(HANDLE handle = nullptr) {
    if (valid()) ::CloseHandle(handle_);
    handle_ = handle;
  }

 private:
  HANDLE handle_ = nullptr;
};

// Bytes waiting in a pipe; false when the pipe is broken or closed.
bool BytesWaiting(HANDLE pipe, DWORD& available) {
  available = 0;
  return ::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) != FALSE;
}

// CreateProcessW hands a child every inheritable handle of this process, not
// only its own pipes. Between the making of one child's pipes and the closing
// of their child ends no other child may start here, or it would keep those
// pipes open and the first child's output would never end.
std::mutex& InheritableHandlesMutex() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

class PipedProcess::Impl {
 public:
  std::unique_lock<std::mutex> inheritable_handles;
  ScopedHandle error_read, error_write;
  ScopedHandle output_read, output_write;
  ScopedHandle input_read, input_write;
  ScopedHandle process, thread;
  DWORD process_id = 0;
  DWORD thread_id = 0;
  wchar_t command_line[kCommandLineCapacity] = {};

  // Reads and drops what waits in the error pipe, at most 64 KB a call so a
  // child that floods it cannot keep us from its output.
  void DrainErrors() {
    if (!error_read.valid()) return;
    char sink[4096];
    DWORD available = 0;
    for (int round = 0; BytesWaiting(error_read.get(), available); ++round) {
      if (available == 0 || round == 16) return;
      DWORD got = 0;
      const DWORD want = available < sizeof sink ? available : static_cast<DWORD>(sizeof sink);
      if (!::ReadFile(error_read.get(), sink, want, &got, nullptr) || got == 0) break;
    }
    error_read.Reset();
  }
};

PipedProcess::PipedProcess() : impl_(std::make_unique<Impl>()) {}

PipedProcess::~PipedProcess() { Close(); }

void PipedProcess::CreatePipes() {
  SECURITY_ATTRIBUTES attributes{};
  attributes.nLength = sizeof attributes;
  attributes.bInheritHandle = TRUE;
  attributes.lpSecurityDescriptor = nullptr;
  Impl& d = *impl_;
  // Held until Start has closed the child's ends (or Close, if it never runs).
  d.inheritable_handles = std::unique_lock<std::mutex>(InheritableHandlesMutex());
  if (!::CreatePipe(d.error_read.receive(), d.error_write.receive(), &attributes, 0) ||
      !::CreatePipe(d.output_read.receive(), d.output_write.receive(), &attributes, 0) ||
      !::CreatePipe(d.input_read.receive(), d.input_write.receive(), &attributes, 0)) {
    DEBUG_LOG(L"CreatePipe failed, error=%u", static_cast<unsigned>(::GetLastError()));
    throw Exception();
  }
  // Our own ends must not leak into the child, or the pipes never break.
  if (!::SetHandleInformation(d.output_read.get(), HANDLE_FLAG_INHERIT, 0) ||
      !::SetHandleInformation(d.error_read.get(), HANDLE_FLAG_INHERIT, 0) ||
      !::SetHandleInformation(d.input_write.get(), HANDLE_FLAG_INHERIT, 0)) {
    DEBUG_LOG(L"SetHandleInformation failed, error=%u", static_cast<unsigned>(::GetLastError()));
    throw Exception();
  }
}

void PipedProcess::Start(const std::wstring& command_line) {
  Impl& d = *impl_;
  // Released on every way out of here.
  const std::unique_lock<std::mutex> held = std::move(d.inheritable_handles);
  if (!d.output_write.valid() || !d.error_write.valid() || !d.input_read.valid()) throw Exception();
  if (command_line.size() >= kCommandLineCapacity || command_line.empty()) {
    DEBUG_LOG(L"command line of %d characters does not fit", static_cast<int>(command_line.size()));
    throw Exception();
  }
  std::wmemset(d.command_line, 0, kCommandLineCapacity);
  std::wmemcpy(d.command_line, command_line.c_str(), command_line.size());

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  startup.hStdInput = d.input_read.get();
  startup.hStdOutput = d.output_write.get();
  startup.hStdError = d.error_write.get();
  PROCESS_INFORMATION info{};
  // A program written a moment ago may still be held open by a scanner for
  // a short while; that clears by itself.
  DWORD error = ERROR_SUCCESS;
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (::CreateProcessW(nullptr, d.command_line, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
      error = ERROR_SUCCESS;
      break;
    }
    error = ::GetLastError();
    DEBUG_LOG(L"CreateProcessW failed, error=%u", static_cast<unsigned>(error));
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) break;
    ::Sleep(20);
  }
  if (error != ERROR_SUCCESS) throw Exception();
  d.process.Reset(info.hProcess);
  d.thread.Reset(info.hThread);
  d.process_id = info.dwProcessId;
  d.thread_id = info.dwThreadId;
  // The child holds its own copies now; ours would keep the pipes open.
  d.output_write.Reset();
  d.error_write.Reset();
  d.input_read.Reset();
  DEBUG_LOG(L"child %u started", static_cast<unsigned>(d.process_id));
}

PipedProcess::ReadResult PipedProcess::Read(std::string& bytes, size_t max_bytes, uint32_t wait_ms) {
  Impl& d = *impl_;
  if (!d.output_read.valid()) return ReadResult::kEnd;
  const DWORD start = ::GetTickCount();
  for (;;) {
    d.DrainErrors();
    DWORD available = 0;
    if (!BytesWaiting(d.output_read.get(), available)) {
      d.output_read.Reset();
      return ReadResult::kEnd;
    }
    if (available > 0) {
      const DWORD want = available < max_bytes ? available : static_cast<DWORD>(max_bytes);
      std::vector<char> buffer(want);
      DWORD got = 0;
      if (!::ReadFile(d.output_read.get(), buffer.data(), want, &got, nullptr) || got == 0) {
        d.output_read.Reset();
        return ReadResult::kEnd;
      }
      bytes.append(buffer.data(), got);
      return ReadResult::kData;
    }
    const DWORD elapsed = ::GetTickCount() - start;
    if (elapsed >= wait_ms) return ReadResult::kNoData;
    const DWORD left = wait_ms - elapsed;
    ::Sleep(left < 5 ? left : 5);
  }
}

uint32_t PipedProcess::ExitCode() {
  if (!impl_->process.valid()) return kStillActive;
  DWORD code = kStillActive;
  if (!::GetExitCodeProcess(impl_->process.get(), &code)) return kStillActive;
  return code;
}

bool PipedProcess::HasEnded() {
  return !impl_->process.valid() || ::WaitForSingleObject(impl_->process.get(), 0) == WAIT_OBJECT_0;
}

void PipedProcess::Wait() {
  if (impl_->process.valid()) ::WaitForSingleObject(impl_->process.get(), INFINITE);
}

void PipedProcess::Close() {
  Impl& d = *impl_;
  d.error_read.Reset();
  d.error_write.Reset();
  d.output_read.Reset();
  d.output_write.Reset();
  d.input_read.Reset();
  d.input_write.Reset();
  d.process.Reset();
  d.thread.Reset();
  if (d.inheritable_handles.owns_lock()) d.inheritable_handles.unlock();
}

bool PipedProcess::started() const { return impl_->process.valid(); }

}  // namespace Utils
