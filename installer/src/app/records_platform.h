// The few system services the install records need beyond utils: well-known
// folders, folder comparison and the shell's "open". Windows: environment,
// shell folders, PathRelativePathToW, ShellExecuteW. POSIX: the XDG folders,
// /opt, a lexical comparison, xdg-open or a direct start.
#pragma once

#include <string>

namespace records_platform {

// The per-user application-data folder (APPDATA); empty when it cannot be read.
std::wstring AppDataFolder();
// The all-users documents folder (CSIDL_COMMON_DOCUMENTS); empty when unknown.
std::wstring CommonDocumentsFolder();
// The 32-bit program files folder, else the program files folder.
std::wstring ProgramFilesFolder();

// True when the relative path from folder |a| to folder |b| is exactly ".".
bool SameFolder(const std::wstring& a, const std::wstring& b);

// Opens a URL or a file with the shell's "open" verb, shown maximised or
// normally; a program file is started. Returns at once; false when nothing
// could be started.
enum class Show { kNormal, kMaximised };
bool ShellOpen(const std::wstring& target, Show show);

}  // namespace records_platform
