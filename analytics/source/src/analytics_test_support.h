// Shared by the tracker's tests: one collector for the whole test program,
// unique app names (each gets its own data folder), stream capture.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <random>
#include <sstream>
#include <string>

#include "collector/collector_client.h"

namespace analytics_test {

// The collector of this test program, started before the first test.
testing_support::Collector& SharedCollector();

// Starts every test from a collector that accepts and holds nothing.
void ResetCollector();

// "Prefix" plus a random suffix, so that every tracker has its own folder.
std::string UniqueName(const std::string& prefix);

class StreamCapture {
 public:
  explicit StreamCapture(std::ostream& stream) : stream_(stream), old_(stream.rdbuf(text_.rdbuf())) {}
  ~StreamCapture() { stream_.rdbuf(old_); }
  std::string text() const { return text_.str(); }

 private:
  std::ostream& stream_;
  std::ostringstream text_;
  std::streambuf* old_;
};

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& content);

}  // namespace analytics_test
