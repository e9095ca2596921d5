// The developer trace: one line per notable step, sent to the debugger output
// channel (OutputDebugStringW on Windows, standard error on POSIX).
//
//   DEBUG_LOG(L"CurlDownLoader Code=%d", code);      // adds "\r\n"
//   DEBUG_LOG_RAW(L"DL_TYPE=%d\r\n", type);          // message as it stands
//
// Every line starts with the prefix
//   <P%05d><T%05d><%04d-%02d-%02d %02d:%02d:%02d.%03d>(%s)<%04d>: 
// holding process id, thread id, local date and time with milliseconds, the
// qualified name of the enclosing function and the source line.
//
// The format language is printf's, formatted by our own code so that both
// platforms agree: flags "-+ 0#", width and precision (also "*"), length
// modifiers (h, l, ll, z, j, t, I64 are accepted and ignored; the argument's
// C++ type decides), conversions d i u x X o c s f F e E g G p and "%%".
// "%s" takes wide text (const wchar_t*, std::wstring) and also narrow text,
// which is converted from the ANSI code page. A mismatched argument never
// crashes: it prints what it can (a string for %d prints as a string).
//
// Any thread may log at any time; each line reaches the system in one call.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace Utils {

namespace log_internal {

// One formatting argument, captured by value (texts by pointer: they live
// until the statement ends).
struct Arg {
  enum class Kind { kSigned, kUnsigned, kDouble, kWide, kNarrow, kPointer } kind;
  union {
    long long i;
    unsigned long long u;
    double d;
    const wchar_t* ws;
    const char* s;
    const void* p;
  };
};

template <typename T>
Arg MakeArg(const T& value) {
  using D = std::decay_t<T>;
  Arg a{};
  if constexpr (std::is_same_v<D, bool>) {
    a.kind = Arg::Kind::kSigned;
    a.i = value ? 1 : 0;
  } else if constexpr (std::is_same_v<D, wchar_t>) {
    a.kind = Arg::Kind::kUnsigned;
    a.u = static_cast<unsigned long long>(value);
  } else if constexpr (std::is_enum_v<D>) {
    a.kind = Arg::Kind::kSigned;
    a.i = static_cast<long long>(value);
  } else if constexpr (std::is_integral_v<D> && std::is_signed_v<D>) {
    a.kind = Arg::Kind::kSigned;
    a.i = value;
  } else if constexpr (std::is_integral_v<D>) {
    a.kind = Arg::Kind::kUnsigned;
    a.u = value;
  } else if constexpr (std::is_floating_point_v<D>) {
    a.kind = Arg::Kind::kDouble;
    a.d = static_cast<double>(value);
  } else if constexpr (std::is_same_v<D, std::wstring>) {
    a.kind = Arg::Kind::kWide;
    a.ws = value.data();
  } else if constexpr (std::is_same_v<D, std::string>) {
    a.kind = Arg::Kind::kNarrow;
    a.s = value.c_str();
  } else if constexpr (std::is_same_v<D, const wchar_t*> || std::is_same_v<D, wchar_t*>) {
    a.kind = Arg::Kind::kWide;
    a.ws = value;
  } else if constexpr (std::is_same_v<D, const char*> || std::is_same_v<D, char*>) {
    a.kind = Arg::Kind::kNarrow;
    a.s = value;
  } else if constexpr (std::is_pointer_v<D>) {
    a.kind = Arg::Kind::kPointer;
    a.p = static_cast<const void*>(value);
  } else {
    static_assert(std::is_pointer_v<D>, "DEBUG_LOG: unsupported argument type");
  }
  return a;
}

// Formats |format| with |args|. Throws std::bad_alloc when memory runs out.
std::wstring Format(const wchar_t* format, const Arg* args, size_t count);

// Hands one finished line to the platform's debugger channel in one call.
void WriteDebugString(const std::wstring& line);

// Extracts "Class::Function" from a compiler's pretty function signature.
std::string QualifiedFunctionName(const char* pretty_function);

struct Now {
  unsigned long process_id;
  unsigned long thread_id;
  int year, month, day, hour, minute, second, millisecond;
};
Now CurrentStamp();

}  // namespace log_internal

// Formats one line and sends it. A line that cannot be allocated is dropped
// silently; the call never throws.
template <typename... Args>
void DebugLog(const wchar_t* format, const Args&... args) {
  try {
    const log_internal::Arg packed[] = {log_internal::MakeArg(args)..., log_internal::Arg{}};
    log_internal::WriteDebugString(log_internal::Format(format, packed, sizeof...(Args)));
  } catch (...) {
    // Out of memory while logging: drop the line, never disturb the caller.
  }
}

// Formats printf-style into a wide string with the same rules as the trace.
template <typename... Args>
std::wstring FormatWide(const wchar_t* format, const Args&... args) {
  const log_internal::Arg packed[] = {log_internal::MakeArg(args)..., log_internal::Arg{}};
  return log_internal::Format(format, packed, sizeof...(Args));
}

}  // namespace Utils

#define VANTELO_LOG_PREFIX L"<P%05d><T%05d><%04d-%02d-%02d %02d:%02d:%02d.%03d>(%s)<%04d>: "

#define VANTELO_LOG_EMIT(FORMAT, ...)                                                          \
  do {                                                                                         \
    const ::Utils::log_internal::Now vantelo_now_ = ::Utils::log_internal::CurrentStamp();     \
    const std::string vantelo_fn_ =                                                            \
        ::Utils::log_internal::QualifiedFunctionName(__PRETTY_FUNCTION__);                     \
    ::Utils::DebugLog(FORMAT, vantelo_now_.process_id, vantelo_now_.thread_id,                 \
                      vantelo_now_.year, vantelo_now_.month, vantelo_now_.day,                 \
                      vantelo_now_.hour, vantelo_now_.minute, vantelo_now_.second,             \
                      vantelo_now_.millisecond, vantelo_fn_.c_str(),                           \
                      static_cast<int>(__LINE__) __VA_OPT__(, ) __VA_ARGS__);                  \
  } while (0)

#define DEBUG_LOG(MESSAGE, ...) VANTELO_LOG_EMIT(VANTELO_LOG_PREFIX MESSAGE L"\r\n" __VA_OPT__(, ) __VA_ARGS__)
#define DEBUG_LOG_RAW(MESSAGE, ...) VANTELO_LOG_EMIT(VANTELO_LOG_PREFIX MESSAGE __VA_OPT__(, ) __VA_ARGS__)
