// Finds a resource linked into the executable. On Windows this is the
// resource section (FindResource/LoadResource); on Linux the same bytes are
// linked in as a data object and found through this same call.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int kSkinResourceId = 147;
constexpr const wchar_t* kSkinResourceType = L"ZIPRES";

// Points |data| and |size| at the resource; false when it is missing or empty.
// The bytes live as long as the process.
bool FindSkinResource(int id, const wchar_t* type, const uint8_t** data, size_t* size);
