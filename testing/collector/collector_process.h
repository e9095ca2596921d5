// Starting and stopping the collector process: one implementation per
// platform, in posix/ and win32/.
#pragma once

#include <string>

namespace testing_support {

// Starts "python3 <script> --port-file <port_file>" (paths in the form the
// python side understands). Returns an opaque handle, or nullptr.
void* StartCollectorProcess(const std::string& script, const std::string& port_file);
// Waits for the process to end (after it was told to quit) and releases it.
void WaitCollectorProcess(void* handle);
// Reads a whole file given in the python side's form; false when missing.
bool ReadCollectorFile(const std::string& path, std::string& content);
void RemoveCollectorFile(const std::string& path);
// A folder for the port file in the python side's form.
std::string CollectorScratchFolder();
void SleepMilliseconds(int milliseconds);
// The id of this test process, to keep the port files of parallel tests apart.
unsigned long CurrentProcessNumber();

}  // namespace testing_support
