// On Linux the packed skin archive is linked into the executable as a data
// object (skin_package.S, built from the archive at build time). Programs
// that do not link it have no skin resource: the weak symbols stay null.
#include "skin/skin_resource.h"

#include <cwchar>

extern "C" {
extern const uint8_t vantelo_zipres_147[] __attribute__((weak));
extern const uint8_t vantelo_zipres_147_end[] __attribute__((weak));
}

bool FindSkinResource(int id, const wchar_t* type, const uint8_t** data, size_t* size) {
  if (id != kSkinResourceId || type == nullptr || std::wcscmp(type, kSkinResourceType) != 0) {
    return false;
  }
  if (vantelo_zipres_147 == nullptr || vantelo_zipres_147_end == nullptr) return false;
  const size_t n = static_cast<size_t>(vantelo_zipres_147_end - vantelo_zipres_147);
  if (n == 0) return false;
  *data = vantelo_zipres_147;
  *size = n;
  return true;
}
