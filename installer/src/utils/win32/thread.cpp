#include "utils/thread.h"

#include <windows.h>
#include <process.h>

#include "utils/debug_log.h"
#include "utils/text.h"

namespace Utils {

class Thread::Impl {
 public:
  HANDLE handle = nullptr;
  bool resumed = false;
};

namespace {

constexpr DWORD kNameThreadException = 0x406D1388;

// The debugger learns a thread's name from an exception it sees first; with
// no debugger attached this handler swallows it, which is what the __try /
// __except of other compilers does.
LONG CALLBACK SwallowThreadName(EXCEPTION_POINTERS* info) {
  if (info->ExceptionRecord->ExceptionCode == kNameThreadException) return EXCEPTION_CONTINUE_EXECUTION;
  return EXCEPTION_CONTINUE_SEARCH;
}

#pragma pack(push, 8)
struct ThreadNameInfo {
  DWORD type;        // 0x1000
  LPCSTR name;
  DWORD thread_id;
  DWORD flags;
};
#pragma pack(pop)

void AnnounceName(const std::string& name, DWORD thread_id) {
  ThreadNameInfo info{0x1000, name.c_str(), thread_id, 0};
  PVOID handler = AddVectoredExceptionHandler(1, SwallowThreadName);
  RaiseException(kNameThreadException, 0, sizeof(info) / sizeof(ULONG_PTR), reinterpret_cast<const ULONG_PTR*>(&info));
  RemoveVectoredExceptionHandler(handler);
}

unsigned __stdcall Entry(void* raw) {
  Thread::CallBack(static_cast<Thread*>(raw));
  return 0;
}

}  // namespace

uint32_t CurrentThreadId() { return GetCurrentThreadId(); }
uint32_t CurrentProcessId() { return GetCurrentProcessId(); }

Thread::Thread(void* argument, const std::wstring& name, Body body)
    : body_(std::move(body)), argument_(argument), name_(name), impl_(std::make_unique<Impl>()) {
  unsigned id = 0;
  impl_->handle = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Entry, this, CREATE_SUSPENDED, &id));
  if (!impl_->handle) return;
  id_ = id;
  AnnounceName(name_.empty() ? "t" + std::to_string(id_) : ToMultiByte(name_, kCodePageAnsi), id_);
}

Thread::~Thread() {
  if (impl_->handle && !impl_->resumed) {
    // Never resumed: the body must not run; end the thread before it starts.
    TerminateThread(impl_->handle, 0);
  }
  Wait();
  name_.clear();
  body_ = nullptr;
}

bool Thread::Resume() {
  if (!impl_->handle) return false;
  if (ResumeThread(impl_->handle) == static_cast<DWORD>(-1)) return false;
  impl_->resumed = true;
  return true;
}

void Thread::Wait() {
  if (!impl_->handle) return;
  WaitForSingleObject(impl_->handle, INFINITE);
  CloseHandle(impl_->handle);
  impl_->handle = nullptr;
  id_ = kNoId;
}

void Thread::CallBack(Thread* self) {
  DEBUG_LOG(L"THREAD BEGIN");
  if (self->body_) self->body_(self->argument_);
  DEBUG_LOG(L"THREAD END");
  _endthreadex(0);
}

}  // namespace Utils
