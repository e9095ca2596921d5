// POSIX threads have no suspended state: the new thread waits at a gate until
// Resume opens it, or until the owner gives it up without running the body.
#include "utils/thread.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "utils/debug_log.h"
#include "utils/text.h"

namespace Utils {

class Thread::Impl {
 public:
  pthread_t handle{};
  // Read by Resume and the destructor, cleared by Wait: owners may resume
  // and wait from different threads.
  std::atomic<bool> joinable{false};
  std::mutex mutex;
  std::condition_variable gate;
  enum class Gate { kClosed, kRun, kCancel } state = Gate::kClosed;
  bool id_known = false;
  uint32_t id = 0;
};

namespace {

void* Entry(void* raw) {
  Thread* self = static_cast<Thread*>(raw);
  Thread::CallBack(self);
  return nullptr;
}

}  // namespace

uint32_t CurrentThreadId() { return static_cast<uint32_t>(::syscall(SYS_gettid)); }
uint32_t CurrentProcessId() { return static_cast<uint32_t>(::getpid()); }

Thread::Thread(void* argument, const std::wstring& name, Body body)
    : body_(std::move(body)), argument_(argument), name_(name), impl_(std::make_unique<Impl>()) {
  if (::pthread_create(&impl_->handle, nullptr, Entry, this) != 0) return;
  impl_->joinable = true;
  std::unique_lock<std::mutex> lock(impl_->mutex);
  impl_->gate.wait(lock, [&] { return impl_->id_known; });
  id_ = impl_->id;
  // Debuggers show at most 15 bytes of a thread name.
  std::string narrow = name_.empty() ? "t" + std::to_string(id_) : ToMultiByte(name_, kCodePageAnsi);
  if (narrow.size() > 15) narrow.resize(15);
  ::pthread_setname_np(impl_->handle, narrow.c_str());
}

Thread::~Thread() {
  if (impl_->joinable) {
    {
      std::lock_guard<std::mutex> lock(impl_->mutex);
      if (impl_->state == Impl::Gate::kClosed) impl_->state = Impl::Gate::kCancel;
    }
    impl_->gate.notify_all();
  }
  Wait();
  name_.clear();
  body_ = nullptr;
}

bool Thread::Resume() {
  if (!impl_->joinable) return false;
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    if (impl_->state != Impl::Gate::kClosed) return impl_->state == Impl::Gate::kRun;
    impl_->state = Impl::Gate::kRun;
  }
  impl_->gate.notify_all();
  return true;
}

void Thread::Wait() {
  // exchange: of two concurrent waits only one joins.
  if (!impl_->joinable.exchange(false)) return;
  ::pthread_join(impl_->handle, nullptr);
  id_ = kNoId;
}

void Thread::CallBack(Thread* self) {
  Impl* impl = self->impl_.get();
  {
    std::unique_lock<std::mutex> lock(impl->mutex);
    impl->id = CurrentThreadId();
    impl->id_known = true;
    impl->gate.notify_all();
    impl->gate.wait(lock, [&] { return impl->state != Impl::Gate::kClosed; });
    if (impl->state == Impl::Gate::kCancel) return;
  }
  DEBUG_LOG(L"THREAD BEGIN");
  if (self->body_) self->body_(self->argument_);
  DEBUG_LOG(L"THREAD END");
}

}  // namespace Utils
