#include "utils/debug_log.h"

#include <cstdio>
#include <cstring>

#include "utils/text.h"

namespace Utils::log_internal {
namespace {

struct Spec {
  bool left = false, plus = false, space = false, zero = false, alt = false;
  int width = -1;
  int precision = -1;
  wchar_t conversion = 0;
};

void Pad(std::wstring& out, const std::wstring& body, const Spec& spec, bool numeric) {
  const int length = static_cast<int>(body.size());
  if (spec.width <= length) {
    out += body;
    return;
  }
  const size_t fill = static_cast<size_t>(spec.width - length);
  if (spec.left) {
    out += body;
    out.append(fill, L' ');
  } else if (spec.zero && numeric) {
    // Zeros go after a sign or a "0x" prefix.
    size_t prefix = 0;
    if (!body.empty() && (body[0] == L'-' || body[0] == L'+' || body[0] == L' ')) prefix = 1;
    if (body.size() >= prefix + 2 && body[prefix] == L'0' &&
        (body[prefix + 1] == L'x' || body[prefix + 1] == L'X'))
      prefix += 2;
    out += body.substr(0, prefix);
    out.append(fill, L'0');
    out += body.substr(prefix);
  } else {
    out.append(fill, L' ');
    out += body;
  }
}

std::wstring Widen(const char* text) {
  std::wstring out;
  for (; *text; ++text) out += static_cast<wchar_t>(static_cast<unsigned char>(*text));
  return out;
}

// Integers, floats and pointers go through the narrow C formatter with a
// rebuilt spec; the "C" locale's digits are ASCII on every platform.
std::wstring FormatNumber(const Spec& spec, const Arg& arg) {
  char format[32];
  char* f = format;
  *f++ = '%';
  if (spec.plus) *f++ = '+';
  if (spec.space) *f++ = ' ';
  if (spec.alt) *f++ = '#';
  if (spec.precision >= 0) f += std::snprintf(f, 12, ".%d", spec.precision);
  wchar_t c = spec.conversion;
  char buffer[512];
  switch (c) {
    case L'd': case L'i': {
      long long v = arg.kind == Arg::Kind::kUnsigned ? static_cast<long long>(arg.u)
                  : arg.kind == Arg::Kind::kDouble   ? static_cast<long long>(arg.d)
                                                     : arg.i;
      std::strcpy(f, "lld");
      std::snprintf(buffer, sizeof buffer, format, v);
      break;
    }
    case L'u': case L'x': case L'X': case L'o': {
      unsigned long long v = arg.kind == Arg::Kind::kSigned   ? static_cast<unsigned long long>(arg.i)
                           : arg.kind == Arg::Kind::kDouble   ? static_cast<unsigned long long>(arg.d)
                           : arg.kind == Arg::Kind::kPointer  ? reinterpret_cast<uintptr_t>(arg.p)
                                                              : arg.u;
      // A negative 32-bit value printed with %x/%u shows its 32-bit pattern,
      // as the C formatter does with an int argument.
      if (arg.kind == Arg::Kind::kSigned && arg.i < 0 && arg.i >= INT32_MIN) v &= 0xFFFFFFFFull;
      f[0] = 'l'; f[1] = 'l'; f[2] = static_cast<char>(c); f[3] = 0;
      std::snprintf(buffer, sizeof buffer, format, v);
      break;
    }
    case L'p': {
      std::snprintf(buffer, sizeof buffer, "%p", arg.kind == Arg::Kind::kPointer ? arg.p : nullptr);
      break;
    }
    default: {  // f F e E g G
      double v = arg.kind == Arg::Kind::kSigned   ? static_cast<double>(arg.i)
               : arg.kind == Arg::Kind::kUnsigned ? static_cast<double>(arg.u)
               : arg.kind == Arg::Kind::kDouble   ? arg.d
                                                  : 0.0;
      f[0] = static_cast<char>(c); f[1] = 0;
      std::snprintf(buffer, sizeof buffer, format, v);
      break;
    }
  }
  return Widen(buffer);
}

std::wstring TextOf(const Arg& arg) {
  switch (arg.kind) {
    case Arg::Kind::kWide: return arg.ws ? std::wstring(arg.ws) : L"(null)";
    case Arg::Kind::kNarrow: return arg.s ? ToWide(arg.s, kCodePageAnsi) : L"(null)";
    default: {
      Spec spec;
      spec.conversion = arg.kind == Arg::Kind::kDouble ? L'f' : arg.kind == Arg::Kind::kUnsigned ? L'u' : L'd';
      if (arg.kind == Arg::Kind::kPointer) spec.conversion = L'p';
      return FormatNumber(spec, arg);
    }
  }
}

}  // namespace

std::wstring Format(const wchar_t* format, const Arg* args, size_t count) {
  std::wstring out;
  size_t next = 0;
  auto take = [&]() -> const Arg* { return next < count ? &args[next++] : nullptr; };
  for (const wchar_t* p = format; *p; ++p) {
    if (*p != L'%') {
      out += *p;
      continue;
    }
    const wchar_t* start = p++;
    if (*p == L'%') {
      out += L'%';
      continue;
    }
    Spec spec;
    for (;; ++p) {
      if (*p == L'-') spec.left = true;
      else if (*p == L'+') spec.plus = true;
      else if (*p == L' ') spec.space = true;
      else if (*p == L'0') spec.zero = true;
      else if (*p == L'#') spec.alt = true;
      else break;
    }
    if (*p == L'*') {
      const Arg* a = take();
      spec.width = a ? static_cast<int>(a->kind == Arg::Kind::kUnsigned ? a->u : a->i) : 0;
      if (spec.width < 0) { spec.left = true; spec.width = -spec.width; }
      ++p;
    } else {
      for (spec.width = 0; *p >= L'0' && *p <= L'9'; ++p) spec.width = std::min(spec.width * 10 + (*p - L'0'), 4096);
      if (spec.width == 0) spec.width = -1;
    }
    if (*p == L'.') {
      ++p;
      if (*p == L'*') {
        const Arg* a = take();
        spec.precision = a ? static_cast<int>(a->kind == Arg::Kind::kUnsigned ? a->u : a->i) : 0;
        ++p;
      } else {
        for (spec.precision = 0; *p >= L'0' && *p <= L'9'; ++p) spec.precision = std::min(spec.precision * 10 + (*p - L'0'), 4096);
      }
    }
    // Length modifiers say nothing here: the argument's own type decides.
    while (*p == L'h' || *p == L'l' || *p == L'L' || *p == L'q' || *p == L'j' || *p == L'z' ||
           *p == L't' || *p == L'w')
      ++p;
    if (p[0] == L'I' && p[1] == L'6' && p[2] == L'4') p += 3;
    else if (p[0] == L'I' && p[1] == L'3' && p[2] == L'2') p += 3;
    else if (*p == L'I') ++p;
    spec.conversion = *p;
    if (!*p) {  // a lone "%" at the end is printed as it stands
      out.append(start);
      break;
    }
    const Arg* arg = nullptr;
    switch (spec.conversion) {
      case L'd': case L'i': case L'u': case L'x': case L'X': case L'o':
      case L'f': case L'F': case L'e': case L'E': case L'g': case L'G': case L'p':
        arg = take();
        if (!arg) break;
        if (arg->kind == Arg::Kind::kWide || arg->kind == Arg::Kind::kNarrow) Pad(out, TextOf(*arg), spec, false);
        else Pad(out, FormatNumber(spec, *arg), spec, !spec.left && spec.precision < 0);
        break;
      case L'c': case L'C':
        arg = take();
        if (!arg) break;
        if (arg->kind == Arg::Kind::kSigned || arg->kind == Arg::Kind::kUnsigned)
          Pad(out, std::wstring(1, static_cast<wchar_t>(arg->kind == Arg::Kind::kSigned ? arg->i : arg->u)), spec, false);
        else Pad(out, TextOf(*arg), spec, false);
        break;
      case L's': case L'S': {
        arg = take();
        if (!arg) break;
        std::wstring text = TextOf(*arg);
        if (spec.precision >= 0 && text.size() > static_cast<size_t>(spec.precision)) text.resize(spec.precision);
        Pad(out, text, spec, false);
        break;
      }
      default:  // unknown conversion: print it as it stands
        out.append(start, p + 1);
        break;
    }
  }
  return out;
}

std::string QualifiedFunctionName(const char* pretty) {
  // "void ns::Class::Function(int) const" -> "ns::Class::Function". Find the
  // parameter list's "(" at template depth 0 (the last one that is not inside
  // a lambda's "<...>" or a return type's brackets), then walk back to the
  // blank that ends the return type.
  const std::string text(pretty);
  int depth = 0;
  size_t open = std::string::npos;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '<') ++depth;
    else if (c == '>' && depth > 0) --depth;
    else if (c == '(' && depth == 0) {
      // "operator()" keeps its own parentheses.
      if (i >= 8 && text.compare(i - 8, 8, "operator") == 0 && i + 1 < text.size() && text[i + 1] == ')') {
        ++i;
        continue;
      }
      open = i;
      break;
    }
  }
  if (open == std::string::npos) return text;
  size_t begin = open;
  depth = 0;
  while (begin > 0) {
    const char c = text[begin - 1];
    if (c == '>') ++depth;
    else if (c == '<') --depth;
    else if (c == ' ' && depth == 0) break;
    --begin;
  }
  return text.substr(begin, open - begin);
}

}  // namespace Utils::log_internal
