#include "utils/command_line.h"

#include "utils/text.h"

namespace Utils {

std::vector<std::wstring> SplitCommandLine(const std::wstring& command_line) {
  std::vector<std::wstring> args;
  const wchar_t* s = command_line.c_str();
  auto blank = [](wchar_t c) { return c == L' ' || c == L'\t'; };

  // The program name: up to the closing quote, or up to the first blank.
  // Backslashes are plain characters here.
  std::wstring program;
  if (*s == L'"') {
    ++s;
    while (*s && *s != L'"') program += *s++;
    if (*s == L'"') ++s;
  } else {
    while (*s && !blank(*s)) program += *s++;
  }
  args.push_back(program);
  while (blank(*s)) ++s;
  if (!*s) return args;

  std::wstring current;
  int quote_count = 0;       // 1 while inside a quoted part
  int backslash_count = 0;
  for (; *s;) {
    if (blank(*s) && quote_count == 0) {
      args.push_back(current);
      current.clear();
      backslash_count = 0;
      while (blank(*s)) ++s;
      if (!*s) return args;
    } else if (*s == L'\\') {
      current += *s++;
      ++backslash_count;
    } else if (*s == L'"') {
      if (backslash_count % 2 == 0) {
        // 2n backslashes and a quote: n backslashes, the quote toggles.
        current.resize(current.size() - backslash_count / 2);
        ++quote_count;
      } else {
        // 2n+1 backslashes and a quote: n backslashes and a literal quote.
        current.resize(current.size() - backslash_count / 2 - 1);
        current += L'"';
      }
      ++s;
      backslash_count = 0;
      // Runs of quotes: every third quote of a run is a literal one.
      while (*s == L'"') {
        if (++quote_count == 3) {
          current += L'"';
          quote_count = 0;
        }
        ++s;
      }
      if (quote_count == 2) quote_count = 0;
    } else {
      current += *s++;
      backslash_count = 0;
    }
  }
  args.push_back(current);
  return args;
}

std::wstring QuoteArgument(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
    } else if (c == L'"') {
      // The n backslashes already written become 2n+1 in front of the quote.
      out.append(backslashes + 1, L'\\');
      out += L'"';
      backslashes = 0;
      continue;
    } else {
      backslashes = 0;
    }
    out += c;
  }
  // Backslashes before the closing quote must be doubled.
  out.append(backslashes, L'\\');
  out += L'"';
  return out;
}

CommandLine::CommandLine(const std::wstring& command_line) {
  for (const std::wstring& element : SplitCommandLine(command_line)) {
    const size_t equals = element.find(L'=');
    if (!element.empty() && element[0] == L'-' && equals != std::wstring::npos)
      switches_.emplace(element.substr(0, equals), element.substr(equals + 1));
    else
      switches_.emplace(element, std::wstring());
  }
}

bool CommandLine::Has(const std::wstring& key) const { return switches_.count(key) != 0; }

std::wstring CommandLine::GetString(const std::wstring& key) const {
  const auto it = switches_.find(key);
  return it == switches_.end() ? std::wstring() : it->second;
}

int CommandLine::GetInt(const std::wstring& key) const {
  const auto it = switches_.find(key);
  if (it == switches_.end()) return 0;
  return static_cast<int>(ParseLong(it->second).value_or(0));
}

bool CommandLine::GetBool(const std::wstring& key) const {
  const auto it = switches_.find(key);
  return it != switches_.end() && it->second == L"true";
}

double CommandLine::GetDouble(const std::wstring& key, double default_value) const {
  const auto it = switches_.find(key);
  if (it == switches_.end()) return default_value;
  return ParseDouble(it->second).value_or(default_value);
}

}  // namespace Utils
