#include "download/worker_slot.h"

namespace download_internal {

void WorkerSlot::Launch(const std::wstring& name, std::function<void()> body) {
  std::unique_ptr<Utils::Thread> previous;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    previous = std::move(current_);
  }
  if (previous && previous->id() == Utils::CurrentThreadId()) {
    std::lock_guard<std::mutex> lock(mutex_);
    retired_.push_back(std::move(previous));
  }
  previous.reset();  // waits for a previous worker that is another thread

  auto thread = std::make_unique<Utils::Thread>(nullptr, name, [this, body](void*) -> uint32_t {
    WaitForRetired();
    body();
    return 0;
  });
  Utils::Thread* raw = thread.get();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    current_ = std::move(thread);
  }
  raw->Resume();
}

void WorkerSlot::WaitForRetired() {
  std::vector<std::unique_ptr<Utils::Thread>> old;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    old.swap(retired_);
  }
  old.clear();  // each destructor waits for its thread
}

void WorkerSlot::Join() {
  for (;;) {
    std::unique_ptr<Utils::Thread> current;
    std::vector<std::unique_ptr<Utils::Thread>> old;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      current = std::move(current_);
      old.swap(retired_);
    }
    if (!current && old.empty()) return;
    current.reset();
    old.clear();
  }
}

}  // namespace download_internal
