// The skin archive is resource 147 of type "ZIPRES" (skin_package.rc).
#include "skin/skin_resource.h"

#include <windows.h>

bool FindSkinResource(int id, const wchar_t* type, const uint8_t** data, size_t* size) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type);
  if (found == nullptr) return false;
  HGLOBAL loaded = LoadResource(module, found);
  if (loaded == nullptr) return false;
  const DWORD n = SizeofResource(module, found);
  const void* bytes = LockResource(loaded);
  if (bytes == nullptr || n == 0) return false;
  *data = static_cast<const uint8_t*>(bytes);
  *size = n;
  return true;
}
