// A named worker thread that is created suspended, resumed once and waited
// for by its owner. The owner must never wait from the thread itself.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace Utils {

class Thread {
 public:
  using Body = std::function<uint32_t(void*)>;
  static constexpr uint32_t kNoId = 0xFFFFFFFF;

  // Creates the thread suspended and names it (|name|, or "t<id>" when empty).
  // The body runs only after Resume. When the system cannot create a thread,
  // id() is kNoId and Resume returns false.
  Thread(void* argument, const std::wstring& name, Body body);
  // Waits without time limit for a resumed thread; a thread that was never
  // resumed is released without running its body.
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  bool Resume();
  // Blocks until the thread ends; afterwards id() is kNoId.
  void Wait();

  uint32_t id() const { return id_; }
  const std::wstring& name() const { return name_; }

  // The thread entry: logs "THREAD BEGIN", runs the body, logs "THREAD END".
  static void CallBack(Thread* self);

  class Impl;

 private:
  uint32_t id_ = kNoId;
  Body body_;
  void* const argument_;
  std::wstring name_;
  std::unique_ptr<Impl> impl_;
};

// The id the system gives the calling thread (as the trace prints it).
uint32_t CurrentThreadId();
uint32_t CurrentProcessId();

}  // namespace Utils
