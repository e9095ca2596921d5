// The queue of finished records, its staging file and the batched upload.
//
// Any thread may add records at any time. The queue lock guards every change
// of the queue; the flush lock makes flush steps strictly one at a time (a
// thread holding both took the flush lock first). The request runs with only
// the flush lock held, so records added meanwhile join the back of the queue.
#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "record_sender.h"

namespace usage_collect {

constexpr size_t kQueueCapacity = 1024;
constexpr size_t kBatchSize = 30;

class RecordStore {
 public:
  RecordStore(std::string staging_path, std::string server_url);

  // Appends one record (finished JSON text); beyond the capacity the oldest
  // record is dropped.
  void Add(std::string record);

  enum class StepResult { kQueueEmpty, kSent, kFailed };
  // Sends up to 30 records from the front. After a failure the batch goes
  // back to the front as far as there is room (its newest records first).
  StepResult FlushStep();

  // Flush steps until the queue is empty (true) or a step fails (false).
  bool Flush();

  // Loads the staging file when still pending, then rewrites it with the
  // whole queue, one record per line.
  void Persist();

  std::vector<std::string> Snapshot() const;
  size_t size() const;

 private:
  void LoadStagingLocked();
  void RequeueLocked(std::vector<std::string>& batch);

  const std::string staging_path_;
  const RecordSender sender_;
  const std::string cookie_;
  mutable std::mutex queue_lock_;
  std::mutex flush_lock_;
  std::deque<std::string> queue_;
  bool load_pending_ = true;
};

}  // namespace usage_collect
