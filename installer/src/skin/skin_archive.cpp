#include "skin/skin_archive.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cstdio>
#include <cwctype>
#include <memory>

#include "skin/skin_resource.h"
#include "utils/debug_log.h"
#include "utils/path.h"
#include "utils/text.h"

namespace {

std::wstring EntryName(archive_entry* entry) {
  if (const wchar_t* w = archive_entry_pathname_w(entry)) return w;
  if (const char* utf8 = archive_entry_pathname_utf8(entry)) return Utils::Utf8ToWide(utf8);
  if (const char* narrow = archive_entry_pathname(entry)) return Utils::Utf8ToWide(narrow);
  return {};
}

// No file of a skin package is anywhere near this.
constexpr uint32_t kMaxEntrySize = 16u << 20;

bool EqualsNoCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  }
  return true;
}

}  // namespace

bool SkinArchive::Open(const uint8_t* data, size_t size) {
  entries_.clear();
  if (data == nullptr || size == 0) return false;
  std::unique_ptr<archive, int (*)(archive*)> reader(archive_read_new(), archive_read_free);
  archive_read_support_format_7zip(reader.get());
  if (archive_read_open_memory(reader.get(), data, size) != ARCHIVE_OK) {
    DEBUG_LOG(L"SkinArchive::Open: not an archive");
    return false;
  }
  archive_entry* entry = nullptr;
  uint32_t index = 0;
  for (;; ++index) {
    int r = archive_read_next_header(reader.get(), &entry);
    if (r == ARCHIVE_EOF) break;
    if (r != ARCHIVE_OK && r != ARCHIVE_WARN) {
      // A damaged database: nothing (more) can be listed.
      if (index == 0) return false;
      break;
    }
    if (archive_entry_filetype(entry) == AE_IFDIR) continue;
    SkinArchiveEntry e;
    e.path = EntryName(entry);
    e.path_length = static_cast<uint32_t>(e.path.size() + 1);
    e.index = index;
    e.size = archive_entry_size_is_set(entry) ? static_cast<uint64_t>(archive_entry_size(entry)) : 0;
    // Only the low 32 bits of the size count. A damaged header may claim
    // gigabytes: no entry of a skin package comes near the limit, so such an
    // entry ends reading like a failed extraction, and memory grows only
    // with bytes actually decoded.
    const uint32_t wanted = static_cast<uint32_t>(e.size);
    bool failed = wanted > kMaxEntrySize;
    uint8_t block[65536];
    while (!failed && e.content.size() < wanted) {
      const size_t ask = std::min<size_t>(sizeof block, wanted - e.content.size());
      la_ssize_t n = archive_read_data(reader.get(), block, ask);
      if (n <= 0) {
        failed = true;
        break;
      }
      e.content.insert(e.content.end(), block, block + n);
    }
    if (failed) {
      DEBUG_LOG(L"SkinArchive::Open: extraction failed at entry %d", static_cast<int>(index));
      break;
    }
    entries_.push_back(std::move(e));
  }
  return true;
}

const SkinArchiveEntry* SkinArchive::Find(const std::wstring& path) const {
  std::wstring wanted = path;
  for (wchar_t& c : wanted) {
    if (c == L'\\') c = L'/';
  }
  for (const SkinArchiveEntry& e : entries_) {
    if (EqualsNoCase(e.path, wanted)) return &e;
  }
  return nullptr;
}

namespace SkinPackage {
namespace {

struct State {
  std::vector<uint8_t> resource_copy;
  std::unique_ptr<SkinArchive> archive;
  std::wstring last_error;
};

State& state() {
  static State s;
  return s;
}

}  // namespace

bool Open() {
  State& s = state();
  if (s.archive != nullptr) return true;
  const uint8_t* data = nullptr;
  size_t size = 0;
  if (!FindSkinResource(kSkinResourceId, kSkinResourceType, &data, &size)) {
    DEBUG_LOG(L"SkinPackage::Open: no skin resource");
    return false;
  }
  // The package keeps its own copy of the resource for the whole run.
  s.resource_copy.assign(data, data + size);
  auto archive = std::make_unique<SkinArchive>();
  if (!archive->Open(s.resource_copy.data(), s.resource_copy.size())) return false;
  s.archive = std::move(archive);
  return true;
}

bool OpenFromMemory(const uint8_t* data, size_t size) {
  State& s = state();
  auto archive = std::make_unique<SkinArchive>();
  bool ok = archive->Open(data, size);
  s.archive = ok ? std::move(archive) : nullptr;
  return ok;
}

const SkinArchive* Get() { return state().archive.get(); }

bool LoadSkinFile(const std::wstring& name, std::vector<uint8_t>& bytes, std::wstring& error) {
  State& s = state();
  auto refuse = [&](const wchar_t* text) {
    error = text;
    s.last_error = text;
    return false;
  };
  if (s.archive == nullptr) return refuse(L"Error opening zip file");
  const SkinArchiveEntry* entry = s.archive->Find(name);
  if (entry == nullptr) return refuse(L"Could not find ziped file");
  const uint32_t size = static_cast<uint32_t>(entry->size);
  if (size == 0) return refuse(L"File is empty");
  if (size > kMaxSkinFileSize) return refuse(L"File too large");
  if (entry->content.size() < size) return refuse(L"Could not unzip file");
  bytes.assign(entry->content.begin(), entry->content.begin() + size);
  error.clear();
  return true;
}

std::wstring LastError() { return state().last_error; }

bool ReadSkinFile(const std::wstring& path, std::vector<uint8_t>& bytes) {
  if (const SkinArchive* archive = Get()) {
    if (const SkinArchiveEntry* entry = archive->Find(path)) {
      bytes = entry->content;
      return true;
    }
  }
  std::wstring local = path;
  for (wchar_t& c : local) {
    if (c == L'\\' || c == L'/') c = Utils::kPathSeparator;
  }
  FILE* f = std::fopen(Utils::NarrowPath(local).c_str(), "rb");
  if (f == nullptr) return false;
  bytes.clear();
  uint8_t buffer[65536];
  size_t n;
  // Skin images are small; refuse anything absurd instead of reading it all.
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0 && bytes.size() < (64u << 20)) {
    bytes.insert(bytes.end(), buffer, buffer + n);
  }
  std::fclose(f);
  return !bytes.empty();
}

}  // namespace SkinPackage
