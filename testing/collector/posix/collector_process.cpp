#include "../collector_process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace testing_support {

void* StartCollectorProcess(const std::string& script, const std::string& port_file) {
  std::string python = "python3";
  std::string flag = "--port-file";
  std::string limit_flag = "--life-limit";
  std::string limit = "300";
  char* argv[] = {python.data(), const_cast<char*>(script.c_str()), flag.data(),
                  const_cast<char*>(port_file.c_str()), limit_flag.data(), limit.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, "python3", nullptr, nullptr, argv, environ) != 0) return nullptr;
  return new pid_t(pid);
}

void WaitCollectorProcess(void* handle) {
  auto* pid = static_cast<pid_t*>(handle);
  if (!pid) return;
  // The server ends by itself on /quit; a hung one is stopped after a while.
  for (int i = 0; i < 500; ++i) {
    int status = 0;
    if (waitpid(*pid, &status, WNOHANG) == *pid) {
      delete pid;
      return;
    }
    SleepMilliseconds(10);
  }
  kill(*pid, SIGKILL);
  waitpid(*pid, nullptr, 0);
  delete pid;
}

bool ReadCollectorFile(const std::string& path, std::string& content) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  content = text.str();
  return true;
}

void RemoveCollectorFile(const std::string& path) { unlink(path.c_str()); }

std::string CollectorScratchFolder() {
  const char* temp = std::getenv("TMPDIR");
  return temp && *temp ? temp : "/tmp";
}

unsigned long CurrentProcessNumber() { return static_cast<unsigned long>(getpid()); }

void SleepMilliseconds(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace testing_support
