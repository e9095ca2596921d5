#include "track_logger.h"

#include <filesystem>

namespace kavrin::usage {

bool NativeTrackLogger::open(const std::wstring& path) {
  std::lock_guard<std::mutex> guard(lock_);
  if (file_.is_open()) file_.close();
  path_ = path;
  const std::filesystem::path file(path);
  std::error_code error;
  if (!std::filesystem::exists(file, error)) std::ofstream create(file, std::ios::binary);
  file_.open(file, std::ios::in | std::ios::out | std::ios::binary | std::ios::app);
  return file_.is_open();
}

void NativeTrackLogger::close() {
  std::lock_guard<std::mutex> guard(lock_);
  if (file_.is_open()) file_.close();
}

std::vector<std::string> NativeTrackLogger::readEntries() {
  std::lock_guard<std::mutex> guard(lock_);
  std::vector<std::string> entries;
  if (!file_.is_open()) return entries;
  file_.flush();
  file_.clear();
  file_.seekg(0);
  std::string line;
  while (std::getline(file_, line)) entries.push_back(line);
  file_.clear();
  return entries;
}

void NativeTrackLogger::writeEntry(const std::string& entry) {
  std::lock_guard<std::mutex> guard(lock_);
  if (!file_.is_open()) return;
  file_ << entry << '\n';
  file_.flush();
}

}  // namespace kavrin::usage
