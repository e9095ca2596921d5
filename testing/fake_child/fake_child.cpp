// A scriptable child for tests: it plays the package installer or the old
// uninstaller under whatever name a test copies it to.
//
// On start it writes the arguments it received, one per line in UTF-8, to
// "<its own path>.args", then follows "<its own path>.script" line by line:
//
//   out TEXT            writes TEXT to standard output in one write
//   line TEXT           writes TEXT and "\n" in one write
//   err TEXT            writes TEXT to standard error
//   repeat COUNT TEXT   writes TEXT COUNT times to standard output
//   errrepeat COUNT TEXT  the same to standard error
//   sleep MS            pauses
//   closeout            closes standard output and keeps running
//   waitfile NAME       waits until a file NAME exists beside the program
//                       (at most 60 seconds, then exits with 98)
//   touch NAME          creates an empty file NAME beside the program
//   spawn NAME          starts the program NAME beside this one, handing it
//                       this program's standard handles, and does not wait
//   exit CODE           ends with CODE
//   crash               ends with a crash signal
//
// TEXT takes the escapes \n \r \t \\ \0 and \xHH, so any bytes can be sent.
// Lines starting with "#" and empty lines are skipped. The end of the script
// ends the program with 0; a missing script is an empty one.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
#include <unistd.h>
extern char** environ;
#endif

#include "utils/command_line.h"
#include "utils/path.h"
#include "utils/text.h"

namespace {

enum class Stream { kOut, kErr };

void WriteAll(Stream stream, const std::string& bytes) {
#ifdef _WIN32
  HANDLE handle = ::GetStdHandle(stream == Stream::kOut ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD wrote = 0;
    if (!::WriteFile(handle, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &wrote, nullptr)) return;
    done += wrote;
  }
#else
  const int fd = stream == Stream::kOut ? 1 : 2;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (wrote <= 0) return;
    done += static_cast<size_t>(wrote);
  }
#endif
}

void CloseOutput() {
#ifdef _WIN32
  ::CloseHandle(::GetStdHandle(STD_OUTPUT_HANDLE));
  ::SetStdHandle(STD_OUTPUT_HANDLE, INVALID_HANDLE_VALUE);
#else
  ::close(1);
#endif
}

// Starts |program| with this program's standard handles, as an installer
// that starts the product at its end would.
void Spawn(const std::filesystem::path& program) {
#ifdef _WIN32
  std::wstring command = L"\"" + program.wstring() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION info{};
  if (::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
    ::CloseHandle(info.hProcess);
    ::CloseHandle(info.hThread);
  }
#else
  std::string path = program.string();
  char* argv[] = {path.data(), nullptr};
  pid_t pid;
  ::posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ);
#endif
}

std::vector<std::wstring> ReceivedArguments(int argc, char** argv) {
#ifdef _WIN32
  (void)argc;
  (void)argv;
  return Utils::SplitCommandLine(Utils::ProcessCommandLine());
#else
  std::vector<std::wstring> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(Utils::Utf8ToWide(argv[i]));
  return arguments;
#endif
}

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    switch (c) {
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case '0': out += '\0'; break;
      case 'x':
        if (i + 2 < text.size() && Hex(text[i + 1]) >= 0 && Hex(text[i + 2]) >= 0) {
          out += static_cast<char>(Hex(text[i + 1]) * 16 + Hex(text[i + 2]));
          i += 2;
        } else {
          out += 'x';
        }
        break;
      default: out += c; break;
    }
  }
  return out;
}

void Repeat(Stream stream, long count, const std::string& text) {
  if (text.empty()) return;
  // Large writes keep a 10 MB flood quick without one system call per copy.
  std::string block;
  while (count > 0) {
    block.clear();
    while (count > 0 && block.size() < 64 * 1024) {
      block += text;
      --count;
    }
    WriteAll(stream, block);
  }
}

std::filesystem::path Beside(const std::filesystem::path& self, const std::string& name) {
  return self.parent_path() / std::filesystem::u8path(name);
}

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path self(Utils::ExecutablePath());
  {
    std::ofstream args(std::filesystem::path(self.native() + std::filesystem::path(".args").native()),
                       std::ios::binary | std::ios::trunc);
    for (const std::wstring& argument : ReceivedArguments(argc, argv)) args << Utils::WideToUtf8(argument) << '\n';
  }
  std::ifstream script(std::filesystem::path(self.native() + std::filesystem::path(".script").native()),
                       std::ios::binary);
  std::string line;
  while (std::getline(script, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const size_t blank = line.find(' ');
    const std::string command = line.substr(0, blank);
    const std::string rest = blank == std::string::npos ? std::string() : line.substr(blank + 1);
    if (command == "out") {
      WriteAll(Stream::kOut, Unescape(rest));
    } else if (command == "line") {
      WriteAll(Stream::kOut, Unescape(rest) + "\n");
    } else if (command == "err") {
      WriteAll(Stream::kErr, Unescape(rest));
    } else if (command == "repeat" || command == "errrepeat") {
      const size_t space = rest.find(' ');
      const long count = std::strtol(rest.substr(0, space).c_str(), nullptr, 10);
      const std::string text = space == std::string::npos ? std::string() : Unescape(rest.substr(space + 1));
      Repeat(command == "repeat" ? Stream::kOut : Stream::kErr, count, text);
    } else if (command == "sleep") {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::strtol(rest.c_str(), nullptr, 10)));
    } else if (command == "closeout") {
      CloseOutput();
    } else if (command == "waitfile") {
      const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
      while (!std::filesystem::exists(Beside(self, rest))) {
        if (std::chrono::steady_clock::now() > give_up) return 98;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    } else if (command == "spawn") {
      Spawn(Beside(self, rest));
    } else if (command == "touch") {
      std::ofstream(Beside(self, rest)).close();
    } else if (command == "exit") {
      return static_cast<int>(std::strtol(rest.c_str(), nullptr, 10));
    } else if (command == "crash") {
      std::raise(SIGSEGV);
      return 97;
    } else {
      std::fprintf(stderr, "fake_child: unknown command %s\n", command.c_str());
      return 99;
    }
  }
  return 0;
}
