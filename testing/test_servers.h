// Real servers for tests, on ephemeral 127.0.0.1 ports: nginx serving a
// folder (HEAD, byte ranges, the "/software/222" redirect, a rate limit per
// connection) and the fault-injecting server of fault_server/ for what nginx
// cannot do. Each server is stopped when its object goes.
//
//   auto nginx = vantelo_testing::NginxServer::Start(folder, {.redirect_target = "/" + md5 + "/x.exe"});
//   std::string url = nginx->BaseUrl() + "/software/222";
//
// Works natively and from a Windows test program under Wine (which can start
// the Linux servers); folders are given as the test program sees them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vantelo_testing {

class NginxServer {
 public:
  struct Options {
    // nginx's limit_rate per connection ("512k", "20m"); empty for none.
    std::string limit_rate;
    // Where "/software/222" redirects to (302), e.g. "/<md5>/name.exe";
    // empty: that path answers 404.
    std::string redirect_target;
  };

  // Starts nginx serving |root|. nullptr (and a reason in |error|) when it
  // cannot start.
  static std::unique_ptr<NginxServer> Start(const std::string& root, const Options& options,
                                            std::string* error = nullptr);
  static std::unique_ptr<NginxServer> Start(const std::string& root) { return Start(root, Options{}); }
  ~NginxServer();
  NginxServer(const NginxServer&) = delete;
  NginxServer& operator=(const NginxServer&) = delete;

  void Stop();
  std::string BaseUrl() const;  // "http://127.0.0.1:<port>"
  int port() const { return port_; }
  // One line per finished request: METHOD URI "RANGE" STATUS BYTES.
  std::vector<std::string> RequestLog() const;

 private:
  NginxServer() = default;
  int port_ = 0;
  intptr_t process_ = 0;
  std::string prefix_;  // private folder for configuration, logs, temp files
  std::string config_;
};

class FaultServer {
 public:
  // Starts the fault server serving the files of |root| by name.
  static std::unique_ptr<FaultServer> Start(const std::string& root, std::string* error = nullptr);
  ~FaultServer();
  FaultServer(const FaultServer&) = delete;
  FaultServer& operator=(const FaultServer&) = delete;

  void Stop();
  std::string BaseUrl() const;
  // "<base>/<faults>/<digest>/<name>" ("-" for no faults).
  std::string Url(const std::string& faults, const std::string& digest, const std::string& name) const;
  // One line per request: METHOD PATH RANGE ("-" without a Range header).
  std::vector<std::string> RequestLog() const;

 private:
  FaultServer() = default;
  int port_ = 0;
  intptr_t process_ = 0;
  std::string folder_;
};

// Writes |size| bytes of reproducible pseudo-random content (different for
// each |seed|) to |path| and returns their MD5 (lower-case hex).
std::string WritePackage(const std::string& path, int64_t size, uint32_t seed = 1);
// The same bytes in memory (for small sizes).
std::string PackageBytes(int64_t size, uint32_t seed = 1);

// A new empty folder under the system temp folder; removed by the object.
class TempFolder {
 public:
  explicit TempFolder(const std::string& tag = "vt");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const;

 private:
  std::string path_;
};

// Reads a whole file; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
// Size of a file, -1 when it does not exist.
int64_t FileSizeOf(const std::string& path);
// True for a Windows test program running under Wine (tests skip, with a
// reason, what Wine does differently from Windows).
bool UnderWine();
// The folder holding the test fixtures of the source tree (VANTELO_SOURCE_DIR).
std::string SourceDir();

}  // namespace vantelo_testing
