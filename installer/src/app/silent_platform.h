// System services of the silent mode: the terminal, the network check with
// its COM set-up, and the process list. Windows: console API, COM and the
// network list manager, Toolhelp. POSIX: isatty, the routing tables, /proc.
#pragma once

#include <string>

namespace silent_platform {

// True when the standard output is a terminal (a live progress line makes sense).
bool StdoutIsTerminal();
// Writes text as it stands (UTF-8 on POSIX; the console's own wide output on Windows).
void WriteStdout(const std::wstring& text);
void WriteStderr(const std::wstring& text);

// Utils::CheckNetwork on the calling thread, with COM set up around it.
int CheckNetwork();

// Whether a process whose program file is named |name| is running
// (case-sensitive).
bool IsProcessRunning(const std::wstring& name);

}  // namespace silent_platform
