// Sequencing of the one worker a downloader runs per Start.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "utils/thread.h"

namespace download_internal {

// Holds the worker of the latest Start. Launch waits for the previous worker
// first, except when it is called from that worker itself (the owner restarts
// a downloader from inside its callback): a thread cannot wait for itself, so
// the old thread is handed to the new one, which waits for it before its body
// runs. Join (and the destructor) waits for every worker; it must not be
// called from a worker.
class WorkerSlot {
 public:
  WorkerSlot() = default;
  ~WorkerSlot() { Join(); }
  WorkerSlot(const WorkerSlot&) = delete;
  WorkerSlot& operator=(const WorkerSlot&) = delete;

  void Launch(const std::wstring& name, std::function<void()> body);
  void Join();

 private:
  void WaitForRetired();

  std::mutex mutex_;
  std::unique_ptr<Utils::Thread> current_;
  std::vector<std::unique_ptr<Utils::Thread>> retired_;
};

}  // namespace download_internal
