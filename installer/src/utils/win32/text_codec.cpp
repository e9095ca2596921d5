#include <windows.h>

#include "utils/text.h"

namespace Utils {

std::wstring ToWide(const std::string& input, unsigned code_page) {
  const std::string text = input.substr(0, input.find('\0'));
  if (text.empty()) return {};
  const int needed = MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (needed <= 0) return {};
  std::wstring out(static_cast<size_t>(needed), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), out.data(), needed);
  return out;
}

std::string ToMultiByte(const std::wstring& input, unsigned code_page) {
  const std::wstring text = input.substr(0, input.find(L'\0'));
  if (text.empty()) return {};
  const int needed = WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string out(static_cast<size_t>(needed), '\0');
  WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()), out.data(), needed, nullptr, nullptr);
  return out;
}

}  // namespace Utils
