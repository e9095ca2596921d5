#include "record_store.h"

#include <filesystem>
#include <fstream>
#include <iostream>

#include "upload_body.h"

namespace usage_collect {

namespace {

// The staging path is UTF-8; the path type hands it to the system in its own
// encoding (wide on Windows).
std::filesystem::path StagingFile(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

bool IsRecordLine(const std::string& line) {
  return !line.empty() && line.front() == '{' && line.back() == '}';
}

}  // namespace

RecordStore::RecordStore(std::string staging_path, std::string server_url)
    : staging_path_(std::move(staging_path)), sender_(std::move(server_url)) {}

void RecordStore::Add(std::string record) {
  std::lock_guard<std::mutex> guard(queue_lock_);
  queue_.push_back(std::move(record));
  if (queue_.size() > kQueueCapacity) queue_.pop_front();
}

void RecordStore::LoadStagingLocked() {
  if (!load_pending_) return;
  load_pending_ = false;
  if (staging_path_.empty()) return;
  const size_t room = kQueueCapacity - std::min(queue_.size(), kQueueCapacity);
  std::error_code error;
  const auto path = StagingFile(staging_path_);
  if (std::filesystem::is_directory(path, error)) return;
  std::deque<std::string> collected;
  if (room != 0) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return;
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!IsRecordLine(line)) continue;
      collected.push_back(std::move(line));
      if (collected.size() > room) collected.pop_front();
    }
  } else if (!std::filesystem::exists(path, error)) {
    return;
  }
  queue_.insert(queue_.begin(), std::make_move_iterator(collected.begin()),
                std::make_move_iterator(collected.end()));
  std::ofstream truncate(path, std::ios::binary | std::ios::trunc);
}

void RecordStore::RequeueLocked(std::vector<std::string>& batch) {
  const size_t room = kQueueCapacity - std::min(queue_.size(), kQueueCapacity);
  const size_t keep = std::min(room, batch.size());
  queue_.insert(queue_.begin(), std::make_move_iterator(batch.end() - keep),
                std::make_move_iterator(batch.end()));
}

RecordStore::StepResult RecordStore::FlushStep() {
  std::lock_guard<std::mutex> flush_guard(flush_lock_);
  std::vector<std::string> batch;
  {
    std::lock_guard<std::mutex> guard(queue_lock_);
    LoadStagingLocked();
    const size_t count = std::min(queue_.size(), kBatchSize);
    if (count == 0) return StepResult::kQueueEmpty;
    batch.assign(std::make_move_iterator(queue_.begin()),
                 std::make_move_iterator(queue_.begin() + count));
    queue_.erase(queue_.begin(), queue_.begin() + count);
  }
  bool sent = false;
  try {
    std::string json = "[";
    for (size_t i = 0; i < batch.size(); ++i) {
      if (i) json += ',';
      json += batch[i];
    }
    json += ']';
    std::string body;
    sent = BuildUploadBody(json, body) && sender_.Send(body, cookie_);
  } catch (const std::exception& error) {
    std::cerr << "Exception when flush failed: (" << error.what() << ") " << std::endl;
    return StepResult::kFailed;
  }
  if (sent) return StepResult::kSent;
  std::lock_guard<std::mutex> guard(queue_lock_);
  RequeueLocked(batch);
  return StepResult::kFailed;
}

bool RecordStore::Flush() {
  for (;;) {
    switch (FlushStep()) {
      case StepResult::kQueueEmpty: return true;
      case StepResult::kFailed: return false;
      case StepResult::kSent: break;
    }
  }
}

void RecordStore::Persist() {
  std::lock_guard<std::mutex> flush_guard(flush_lock_);
  std::lock_guard<std::mutex> guard(queue_lock_);
  LoadStagingLocked();
  if (staging_path_.empty()) return;
  const auto path = StagingFile(staging_path_);
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) return;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return;
  for (const auto& record : queue_) out << record << '\n';
}

std::vector<std::string> RecordStore::Snapshot() const {
  std::lock_guard<std::mutex> guard(queue_lock_);
  return {queue_.begin(), queue_.end()};
}

size_t RecordStore::size() const {
  std::lock_guard<std::mutex> guard(queue_lock_);
  return queue_.size();
}

}  // namespace usage_collect
