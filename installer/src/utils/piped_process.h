// A hidden child process whose standard input, output and error are pipes.
//
// The child is started from one command-line text, as Windows starts it: the
// first token names the program and the child gets the arguments the Windows
// splitter gives for the text. On POSIX the text is split with
// SplitCommandLine, so the child sees exactly what Windows would give it.
//
//   Utils::PipedProcess child;
//   child.CreatePipes();                 // throws Utils::Exception
//   child.Start(L"\"C:\\T\\p.exe\" /S"); // throws Utils::Exception
//   std::string bytes;
//   while (child.Read(bytes, 1024, 100) != Utils::PipedProcess::ReadResult::kEnd) ...
//   child.Wait();
//
// One thread uses an object at a time. The destructor closes every handle and
// reaps a child that has already ended; it does not wait for a running child.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>

namespace Utils {

// Raised when pipes cannot be made or a child cannot be started. It carries
// no message: the callers turn it into a report code.
class Exception : public std::exception {
 public:
  const char* what() const noexcept override { return ""; }
};

class PipedProcess {
 public:
  // The exit code of a child that is still running.
  static constexpr uint32_t kStillActive = 259;
  // The command-line buffer holds this many wide characters, the terminating
  // zero included: a text of kCommandLineCapacity characters or more is refused.
  static constexpr size_t kCommandLineCapacity = 1024;

  enum class ReadResult {
    kData,    // bytes were appended
    kNoData,  // nothing arrived within the wait
    kEnd,     // the output pipe is closed and empty: no more bytes will come
  };

  PipedProcess();
  ~PipedProcess();
  PipedProcess(const PipedProcess&) = delete;
  PipedProcess& operator=(const PipedProcess&) = delete;

  // Creates the error, output and input pipes. The child's ends are
  // inheritable, the parent's ends are not. Call Start right after: until
  // Start (or Close) no other PipedProcess of this process can start a child,
  // so no other child inherits these pipes.
  void CreatePipes();

  // Starts the child hidden, with its standard handles on the pipes, then
  // closes the parent's copies of the child's ends. Throws Utils::Exception
  // when the pipes are missing, the text does not fit the buffer, names no
  // program, or the system cannot start it. On POSIX a program file gets its
  // execute permission first, and an unquoted first token holding blanks is
  // resolved the way CreateProcessW resolves it (the shortest blank-delimited
  // prefix that names a file).
  void Start(const std::wstring& command_line);

  // Waits up to |wait_ms| milliseconds (0: only look) for output, then
  // appends at most |max_bytes| bytes of the child's standard output to
  // |bytes|. Whatever the child wrote to its standard error meanwhile is read
  // and dropped, so a child never blocks on a full error pipe.
  ReadResult Read(std::string& bytes, size_t max_bytes, uint32_t wait_ms);

  // kStillActive while the child runs, else its exit code (POSIX: the exit
  // status, or 128 + the signal number of a child killed by a signal).
  uint32_t ExitCode();
  // True once the child has ended; unlike ExitCode this is not fooled by a
  // child whose own exit code is 259.
  bool HasEnded();
  // Waits without a time limit for the child to end. Returns at once when no
  // child was started.
  void Wait();
  // Closes the pipes and the process handles.
  void Close();

  bool started() const;

  class Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace Utils
