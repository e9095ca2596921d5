#include "analytics_test_support.h"

#include <fstream>

namespace analytics_test {

namespace {

testing_support::Collector* g_collector = nullptr;

class CollectorEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { g_collector = new testing_support::Collector; }
  void TearDown() override {
    delete g_collector;
    g_collector = nullptr;
  }
};

const auto* const g_environment =
    ::testing::AddGlobalTestEnvironment(new CollectorEnvironment);

}  // namespace

testing_support::Collector& SharedCollector() { return *g_collector; }

void ResetCollector() {
  ASSERT_TRUE(g_collector->ok()) << g_collector->error();
  ASSERT_TRUE(g_collector->SetMode("ok"));
  ASSERT_TRUE(g_collector->Clear());
}

std::string UniqueName(const std::string& prefix) {
  static std::mt19937 engine{std::random_device{}()};
  return prefix + std::to_string(engine() % 100000000);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

}  // namespace analytics_test
