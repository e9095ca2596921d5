#include "utils/path.h"

namespace Utils {
namespace {

bool IsSeparator(wchar_t c) {
#ifdef _WIN32
  return c == L'\\' || c == L'/';
#else
  return c == L'/';
#endif
}

}  // namespace

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
  if (folder.empty()) return name;
  size_t start = 0;
  while (start < name.size() && IsSeparator(name[start])) ++start;
  std::wstring out = folder;
  if (!IsSeparator(out.back())) out += kPathSeparator;
  out.append(name, start, std::wstring::npos);
  return out;
}

std::wstring FileNamePart(const std::wstring& path) {
  for (size_t i = path.size(); i > 0; --i)
    if (IsSeparator(path[i - 1])) return path.substr(i);
  return path;
}

std::wstring FolderPart(const std::wstring& path) {
  for (size_t i = path.size(); i > 0; --i)
    if (IsSeparator(path[i - 1])) return path.substr(0, i == 1 ? 1 : i - 1);
  return {};
}

}  // namespace Utils
