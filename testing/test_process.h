// The platform part of the test servers: ports, processes, paths.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantelo_testing::internal {

// A TCP port on 127.0.0.1 that was free a moment ago; 0 on failure or when
// this platform leaves the choice to a Linux helper.
int FreeLoopbackPort();
// Starts a Linux program (argv[0] is its full path); 0 on failure.
intptr_t SpawnProcess(const std::vector<std::string>& argv);
// Ends a process started by SpawnProcess and waits for it. False when this
// platform cannot end it by itself (the caller then asks the server to stop).
bool EndProcess(intptr_t process);
// Releases what SpawnProcess returned without ending the process.
void ReleaseProcess(intptr_t process);
// |path| as the Linux servers see it (a Windows path under Wine becomes the
// Unix path it stands for).
std::string ServerPath(const std::string& path);
// A Unix path from the environment as this program opens it (under Wine,
// "/x/y" is "Z:\x\y").
std::string LocalPath(const std::string& unix_path);
// True for a Windows program running under Wine.
bool UnderWine();

}  // namespace vantelo_testing::internal
