// Test support: a private folder (its name holds a blank) with copies of the
// scriptable fake child, and a recorder of stage reports.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "pipeline/stage_callback.h"
#include "utils/path.h"
#include "utils/text.h"
#include "utils/thread.h"

namespace testing_support {

// The fake child, copied beside every test program by the build.
inline std::filesystem::path FakeChildProgram() {
  const std::filesystem::path folder = std::filesystem::path(Utils::ExecutablePath()).parent_path();
  for (const char* name : {"fake_child.exe", "fake_child"}) {
    if (std::filesystem::exists(folder / name)) return folder / name;
  }
  return {};
}

inline std::wstring Wide(const std::filesystem::path& path) { return Utils::ToWide(path.string(), 0); }

class FakeChildFolder {
 public:
  explicit FakeChildFolder(const std::string& label) {
    static std::atomic<int> counter{0};
    path_ = std::filesystem::temp_directory_path() /
            (label + " " + std::to_string(Utils::CurrentProcessId()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~FakeChildFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  FakeChildFolder(const FakeChildFolder&) = delete;
  FakeChildFolder& operator=(const FakeChildFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // Copies the fake child to |name| in this folder with |script| beside it
  // and returns the copy's path.
  std::filesystem::path Install(const std::string& name, const std::string& script) const {
    const std::filesystem::path program = path_ / name;
    std::filesystem::copy_file(FakeChildProgram(), program, std::filesystem::copy_options::overwrite_existing);
    WriteScript(program, script);
    return program;
  }

  static void WriteScript(const std::filesystem::path& program, const std::string& script) {
    std::ofstream(program.string() + ".script", std::ios::binary | std::ios::trunc) << script;
  }

  // The arguments the copy received, one per element; empty when it never ran.
  static std::vector<std::wstring> Arguments(const std::filesystem::path& program) {
    std::ifstream in(program.string() + ".args", std::ios::binary);
    std::vector<std::wstring> arguments;
    std::string line;
    while (std::getline(in, line)) arguments.push_back(Utils::Utf8ToWide(line));
    return arguments;
  }

  void Touch(const std::string& name) const { std::ofstream(path_ / name).close(); }

  // Waits up to 20 seconds for a file the child creates; true when it came.
  bool WaitForFile(const std::string& name) const {
    for (int i = 0; i < 2000 && !std::filesystem::exists(path_ / name); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return std::filesystem::exists(path_ / name);
  }

  // A program the child leaves running with the child's output: it waits for
  // "release", then says so in "grand-done" and only then writes a line.
  void InstallLingeringProgram() const {
    Install("grand.exe", "waitfile release\ntouch grand-done\nline State=Fail\n");
  }

 private:
  std::filesystem::path path_;
};

// The calling thread's name where the system shows it (Linux); empty elsewhere.
inline std::string CurrentThreadName() {
  std::ifstream in("/proc/self/task/" + std::to_string(Utils::CurrentThreadId()) + "/comm");
  std::string name;
  std::getline(in, name);
  return name;
}

struct Report {
  int32_t code;
  double value;
  std::wstring text;
  uint32_t thread;
  std::string thread_name;
};

inline std::string Describe(const std::vector<Report>& reports) {
  std::ostringstream out;
  for (const Report& r : reports)
    out << "  " << r.code << " " << r.value << " \"" << Utils::WideToUtf8(r.text) << "\"\n";
  return out.str();
}

// Collects reports from any thread; |on_report| runs on the reporting thread.
class Recorder {
 public:
  StageCallback callback() {
    return [this](int32_t code, double value, const wchar_t* text) {
      Report report{code, value, text ? text : L"", Utils::CurrentThreadId(), CurrentThreadName()};
      std::function<void(const Report&)> hook;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        reports_.push_back(report);
        hook = on_report;
      }
      if (hook) hook(report);
    };
  }
  std::vector<Report> reports() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return reports_;
  }
  std::vector<Report> WithCode(int32_t code) const {
    std::vector<Report> out;
    for (const Report& r : reports())
      if (r.code == code) out.push_back(r);
    return out;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    reports_.clear();
  }

  std::function<void(const Report&)> on_report;

 private:
  mutable std::mutex mutex_;
  std::vector<Report> reports_;
};

}  // namespace testing_support
