#include "utils/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

TEST(Thread, BodyRunsOnlyAfterResumeOnItsOwnThread) {
  std::atomic<int> runs{0};
  std::atomic<uint32_t> body_thread{0};
  int argument = 41;
  {
    Utils::Thread thread(&argument, L"ABDEF", [&](void* arg) -> uint32_t {
      ++*static_cast<int*>(arg);
      body_thread = Utils::CurrentThreadId();
      ++runs;
      return 7;
    });
    EXPECT_NE(Utils::Thread::kNoId, thread.id());
    EXPECT_EQ(0, runs.load());
    EXPECT_TRUE(thread.Resume());
    thread.Wait();
    EXPECT_EQ(Utils::Thread::kNoId, thread.id());
    EXPECT_EQ(1, runs.load());
    EXPECT_EQ(42, argument);
    EXPECT_NE(Utils::CurrentThreadId(), body_thread.load());
  }
  EXPECT_EQ(1, runs.load());
}

TEST(Thread, NeverResumedThreadIsReleasedWithoutRunning) {
  std::atomic<int> runs{0};
  {
    Utils::Thread thread(nullptr, L"", [&](void*) -> uint32_t { return ++runs; });
  }
  EXPECT_EQ(0, runs.load());
}

TEST(Thread, DestructionWaitsForTheBody) {
  std::atomic<bool> finished{false};
  {
    Utils::Thread thread(nullptr, L"UnInstaller", [&](void*) -> uint32_t {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      finished = true;
      return 0;
    });
    thread.Resume();
  }
  EXPECT_TRUE(finished.load());
}

}  // namespace
