// The skin package: a 7z archive of the skin files and their images, opened
// once from the executable's resource and kept in memory for the whole run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SkinArchiveEntry {
  std::wstring path;             // as stored, "/" as separator
  uint32_t path_length = 0;      // characters including the terminator
  uint32_t index = 0;            // position in the archive
  uint64_t size = 0;             // uncompressed size as stored
  std::vector<uint8_t> content;  // the whole uncompressed content
};

class SkinArchive {
 public:
  // Reads every file entry (folders are not listed) in archive order. When an
  // entry cannot be extracted the entries read so far stay and reading stops
  // there; the archive still counts as opened. False when the data is not a
  // readable 7z archive at all.
  bool Open(const uint8_t* data, size_t size);
  // The first entry whose name equals |path| ignoring case, after every "\"
  // became "/"; nullptr when the package has no such file.
  const SkinArchiveEntry* Find(const std::wstring& path) const;
  const std::vector<SkinArchiveEntry>& entries() const { return entries_; }

 private:
  std::vector<SkinArchiveEntry> entries_;
};

// The process-wide package.
namespace SkinPackage {

// Limits of a skin file.
constexpr uint64_t kMaxSkinFileSize = 4194304;

// Opens the package from the executable's resource ("ZIPRES", 147) the first
// time it is called; later calls reuse it. False when the resource is
// missing or empty.
bool Open();
// Replaces the package with one read from |data| (tools and tests that load
// a package from a file). Returns what SkinArchive::Open returns.
bool OpenFromMemory(const uint8_t* data, size_t size);
// The opened package, nullptr before Open succeeded.
const SkinArchive* Get();

// Loads a skin file from the package: false with |error| set to "Error
// opening zip file" (no package), "Could not find ziped file" (no entry),
// "File is empty", "File too large" (over 4 MiB) or "Could not unzip file".
bool LoadSkinFile(const std::wstring& name, std::vector<uint8_t>& bytes, std::wstring& error);
// The last refusal of LoadSkinFile.
std::wstring LastError();

// Reads an image or other file named by a skin: from the package, else from
// the disk (absolute, or relative to the current folder).
bool ReadSkinFile(const std::wstring& path, std::vector<uint8_t>& bytes);

}  // namespace SkinPackage
