// The one error type of the tracker. It never leaves the tracker: the wrapper
// catches every exception of a track operation and creation swallows those of
// init.
#pragma once

#include <stdexcept>
#include <string>

namespace kavrin::usage {

class KvException : public std::exception {
 public:
  KvException(std::string message, std::string file, std::string function, int line)
      : message_(std::move(message)),
        file_(std::move(file)),
        function_(std::move(function)),
        line_(line) {}

  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& message() const { return message_; }
  const std::string& file() const { return file_; }
  const std::string& function() const { return function_; }
  int line() const { return line_; }

 private:
  std::string message_;
  std::string file_;
  std::string function_;
  int line_;
};

}  // namespace kavrin::usage
