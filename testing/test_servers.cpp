#include "test_servers.h"

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "test_process.h"
#include "utils/md5.h"

namespace fs = std::filesystem;

namespace vantelo_testing {
namespace {

constexpr char kNginx[] = "/usr/sbin/nginx";
constexpr char kPython[] = "/usr/bin/python3";

size_t Collect(char* data, size_t size, size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

// GET |url|; the status (0 when nothing answered) and the body.
long HttpGet(const std::string& url, std::string* body, long timeout_ms) {
  CURL* handle = curl_easy_init();
  if (!handle) return 0;
  std::string ignored;
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &Collect);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, body ? body : &ignored);
  curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, timeout_ms);
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  long status = 0;
  if (curl_easy_perform(handle) == CURLE_OK) curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
  curl_easy_cleanup(handle);
  return status;
}

// Waits until something answers HTTP on |port|.
bool WaitUntilServing(int port) {
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/_ready";
  for (int i = 0; i < 200; ++i) {
    if (HttpGet(url, nullptr, 500) != 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  return false;
}

// Waits until nothing answers on |port| any more.
void WaitUntilGone(int port) {
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/_ready";
  for (int i = 0; i < 200 && HttpGet(url, nullptr, 300) != 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

std::string U8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

fs::path P(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

void Fill(char* out, size_t size, uint64_t& state) {
  for (size_t i = 0; i < size; ++i) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    out[i] = static_cast<char>(state >> 56);
  }
}

// Waits for a file that a Linux process writes, and returns the number in it.
int ReadPortFile(const std::string& path) {
  for (int i = 0; i < 400; ++i) {
    std::ifstream in(P(path));
    int port = 0;
    if (in >> port && port > 0) {
      in.close();
      std::error_code ignored;
      fs::remove(P(path), ignored);
      return port;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  return 0;
}

std::string PortFilePath() {
  static std::atomic<int> serial{0};
  return U8(fs::temp_directory_path() / ("vantelo-port-" + std::to_string(serial++) + "-" +
                                         std::to_string(std::random_device()())));
}

std::string FaultScript();

// A free port, from the platform or else from the fault server's helper mode.
int PickPort() {
  if (const int port = internal::FreeLoopbackPort()) return port;
  const std::string file = PortFilePath();
  internal::ReleaseProcess(internal::SpawnProcess(
      {kPython, internal::ServerPath(FaultScript()), "--free-port", internal::ServerPath(file)}));
  return ReadPortFile(file);
}

}  // namespace

bool UnderWine() { return internal::UnderWine(); }

namespace {
std::string FaultScript() { return SourceDir() + "/testing/fault_server/fault_server.py"; }
}  // namespace

std::string SourceDir() {
  const char* dir = std::getenv("VANTELO_SOURCE_DIR");
  return dir ? internal::LocalPath(dir) : "";
}

std::unique_ptr<NginxServer> NginxServer::Start(const std::string& root, const Options& options,
                                                std::string* error) {
  std::string template_text = ReadFileBytes(SourceDir() + "/testing/nginx/nginx.conf.in");
  if (template_text.empty()) {
    if (error) *error = "no nginx.conf.in (is VANTELO_SOURCE_DIR set?)";
    return nullptr;
  }
  // A port picked now may be taken before nginx binds it: try a few.
  for (int attempt = 0; attempt < 5; ++attempt) {
    std::unique_ptr<NginxServer> server(new NginxServer());
    server->port_ = PickPort();
    static std::atomic<int> serial{0};
    server->prefix_ = U8(fs::temp_directory_path() / ("vantelo-nginx-" + std::to_string(server->port_) +
                                                      "-" + std::to_string(serial++)));
    fs::remove_all(server->prefix_);
    fs::create_directories(server->prefix_);
    const std::string prefix = internal::ServerPath(server->prefix_);
    std::string text = template_text;
    text = ReplaceAll(text, "@PREFIX@", prefix);
    text = ReplaceAll(text, "@ROOT@", internal::ServerPath(root));
    text = ReplaceAll(text, "@PORT@", std::to_string(server->port_));
    text = ReplaceAll(text, "@RATE@", options.limit_rate.empty() ? "0" : options.limit_rate);
    text = ReplaceAll(text, "@REDIRECT@",
                      options.redirect_target.empty() ? "return 404;"
                                                      : "return 302 " + options.redirect_target + ";");
    server->config_ = prefix + "/nginx.conf";
    std::ofstream(P(server->prefix_) / "nginx.conf") << text;
    server->process_ = internal::SpawnProcess(
        {kNginx, "-p", prefix, "-c", server->config_, "-e", prefix + "/error.log"});
    if (server->process_ && WaitUntilServing(server->port_)) return server;
    if (error) *error = "nginx did not start: " + ReadFileBytes(server->prefix_ + "/error.log");
    server->Stop();
  }
  return nullptr;
}

NginxServer::~NginxServer() { Stop(); }

void NginxServer::Stop() {
  if (!process_) return;
  if (!internal::EndProcess(process_)) {
    const intptr_t stopper = internal::SpawnProcess({kNginx, "-p", internal::ServerPath(prefix_),
                                                     "-c", config_, "-s", "stop"});
    internal::ReleaseProcess(stopper);
    WaitUntilGone(port_);
  }
  internal::ReleaseProcess(process_);
  process_ = 0;
  std::error_code ignored;
  fs::remove_all(P(prefix_), ignored);
}

std::string NginxServer::BaseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }

std::vector<std::string> NginxServer::RequestLog() const {
  std::vector<std::string> lines;
  for (const std::string& line : Lines(ReadFileBytes(prefix_ + "/access.log")))
    if (line.find(" /_ready ") == std::string::npos) lines.push_back(line);
  return lines;
}

std::unique_ptr<FaultServer> FaultServer::Start(const std::string& root, std::string* error) {
  std::unique_ptr<FaultServer> server(new FaultServer());
  server->folder_ = root;
  // The server picks its own port and names it in a file: no race for it.
  for (int attempt = 0; attempt < 3; ++attempt) {
    const std::string file = PortFilePath();
    server->process_ = internal::SpawnProcess({kPython, internal::ServerPath(FaultScript()), "--root",
                                               internal::ServerPath(root), "--port", "0", "--port-file",
                                               internal::ServerPath(file)});
    server->port_ = server->process_ ? ReadPortFile(file) : 0;
    if (server->port_ && WaitUntilServing(server->port_)) return server;
    server->Stop();
  }
  if (error) *error = "the fault server did not start";
  return nullptr;
}

FaultServer::~FaultServer() { Stop(); }

void FaultServer::Stop() {
  if (!process_) return;
  if (!internal::EndProcess(process_)) {
    HttpGet(BaseUrl() + "/_quit", nullptr, 2000);
    WaitUntilGone(port_);
  }
  internal::ReleaseProcess(process_);
  process_ = 0;
}

std::string FaultServer::BaseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }

std::string FaultServer::Url(const std::string& faults, const std::string& digest,
                             const std::string& name) const {
  return BaseUrl() + "/" + (faults.empty() ? "-" : faults) + "/" + digest + "/" + name;
}

std::vector<std::string> FaultServer::RequestLog() const {
  std::string body;
  HttpGet(BaseUrl() + "/_log", &body, 5000);
  std::vector<std::string> lines;
  for (const std::string& line : Lines(body))
    if (line.find(" /_ready ") == std::string::npos) lines.push_back(line);
  return lines;
}

std::string PackageBytes(int64_t size, uint32_t seed) {
  std::string bytes(static_cast<size_t>(size), '\0');
  uint64_t state = seed * 0x9E3779B97F4A7C15ULL + 1;
  Fill(bytes.data(), bytes.size(), state);
  return bytes;
}

std::string WritePackage(const std::string& path, int64_t size, uint32_t seed) {
  fs::create_directories(P(path).parent_path());
  std::ofstream out(P(path), std::ios::binary | std::ios::trunc);
  uint64_t state = seed * 0x9E3779B97F4A7C15ULL + 1;
  std::vector<char> block(1 << 20);
  for (int64_t left = size; left > 0;) {
    const size_t n = static_cast<size_t>(std::min<int64_t>(left, block.size()));
    Fill(block.data(), n, state);
    out.write(block.data(), n);
    left -= n;
  }
  out.close();
  return Utils::FileMd5(path);
}

TempFolder::TempFolder(const std::string& tag) {
  static std::atomic<int> serial{0};
  std::random_device random;
  for (;;) {
    const fs::path candidate = fs::temp_directory_path() /
                               (tag + "-" + std::to_string(random()) + "-" + std::to_string(serial++));
    std::error_code ignored;
    if (fs::create_directory(candidate, ignored)) {
      path_ = U8(candidate);
      return;
    }
  }
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  fs::remove_all(P(path_), ignored);
}

std::string TempFolder::File(const std::string& name) const {
  return U8(P(path_) / P(name));
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(P(path), std::ios::binary);
  if (!in) return {};
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

int64_t FileSizeOf(const std::string& path) {
  std::error_code error;
  const auto size = fs::file_size(P(path), error);
  return error ? -1 : static_cast<int64_t>(size);
}

}  // namespace vantelo_testing
