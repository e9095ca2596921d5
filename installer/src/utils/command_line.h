// Command lines by the Windows rules, on every platform.
//
// A command line is one text; a child or this process gets its arguments by
// splitting it the way the Windows shell's splitter does (quotes, and
// backslashes before quotes). Both backends use this one splitter, so a child
// started on POSIX sees exactly the arguments Windows would give it.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace Utils {

// Splits a command line. The first element (the program) follows the
// program-name rules: it ends at the first blank, or at the closing quote
// when it starts with a quote, and backslashes are literal. The rest follow
// the argument rules: 2n backslashes before a quote give n backslashes and
// the quote opens or closes a quoted part; 2n+1 give n backslashes and a
// literal quote; backslashes elsewhere are literal; inside a quoted part
// two quotes give a literal quote.
std::vector<std::wstring> SplitCommandLine(const std::wstring& command_line);

// Quotes one argument so that SplitCommandLine gives it back unchanged
// (used when we build a command line from an argument vector).
std::wstring QuoteArgument(const std::wstring& argument);

// The command line this process was started with: GetCommandLineW on
// Windows; on POSIX the argument vector joined with QuoteArgument.
std::wstring ProcessCommandLine();

// The switches of a command line. Every element, the program included, is
// examined: one that begins with "-" and holds "=" gives a key (text before
// the first "=", with the "-") and a value; any other element is a key with an
// empty value. Keys are case-sensitive; the first occurrence of a key wins.
class CommandLine {
 public:
  explicit CommandLine(const std::wstring& command_line);

  bool Has(const std::wstring& key) const;
  // Empty when missing.
  std::wstring GetString(const std::wstring& key) const;
  // Decimal value; 0 when missing, no number, or out of range for 32 bits.
  int GetInt(const std::wstring& key) const;
  // True only when the value is exactly "true".
  bool GetBool(const std::wstring& key) const;
  // Decimal value; |default_value| when missing, no number, or out of range.
  double GetDouble(const std::wstring& key, double default_value) const;

  const std::map<std::wstring, std::wstring>& switches() const { return switches_; }

 private:
  std::map<std::wstring, std::wstring> switches_;
};

}  // namespace Utils
