// The tracker's own log file. The tracker writes to it only in debug mode,
// which nothing turns on, so in practice the file is only created.
#pragma once

#include <fstream>
#include <mutex>
#include <string>
#include <vector>

namespace kavrin::usage {

class TrackLogger {
 public:
  virtual ~TrackLogger() = default;
  virtual std::vector<std::string> readEntries() = 0;
  virtual void writeEntry(const std::string& entry) = 0;
};

// One entry per line in a text file, guarded by its own mutex.
class NativeTrackLogger : public TrackLogger {
 public:
  // Closes any open file, creates |path| empty when missing, opens it.
  bool open(const std::wstring& path);
  void close();
  std::vector<std::string> readEntries() override;
  void writeEntry(const std::string& entry) override;

 private:
  std::mutex lock_;
  std::wstring path_;
  std::fstream file_;
};

}  // namespace kavrin::usage
