#include "test_process.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vantelo_testing::internal {

int FreeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port = ntohs(address.sin_port);
  ::close(fd);
  return port;
}

intptr_t SpawnProcess(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  if (::posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return 0;
  return pid;
}

bool EndProcess(intptr_t process) {
  if (process <= 0) return true;
  ::kill(static_cast<pid_t>(process), SIGTERM);
  int status = 0;
  ::waitpid(static_cast<pid_t>(process), &status, 0);
  return true;
}

void ReleaseProcess(intptr_t process) {}

std::string ServerPath(const std::string& path) { return path; }

std::string LocalPath(const std::string& unix_path) { return unix_path; }

bool UnderWine() { return false; }

}  // namespace vantelo_testing::internal
