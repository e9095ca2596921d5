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

// When the standard error is a terminal and the trace goes there (POSIX),
// sends the trace to |trace_path| instead, so the terminal shows only the
// progress line and the messages; WriteStderr keeps writing to the terminal.
// Returns true when the trace was moved. Windows: the trace goes to the
// debugger channel anyway; nothing to do.
bool MoveTraceOffTerminal(const std::wstring& trace_path);

// |path| made absolute against the current folder (records must not hold a
// relative folder); unchanged when it already is absolute or empty.
std::wstring AbsolutePath(const std::wstring& path);

// Utils::CheckNetwork on the calling thread, with COM set up around it.
int CheckNetwork();

// Whether a process whose program file is named |name| is running
// (case-sensitive).
bool IsProcessRunning(const std::wstring& name);

}  // namespace silent_platform
