#include "collector_client.h"

#include <curl/curl.h>

#include <atomic>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <sstream>

#include "collector_process.h"

namespace testing_support {

struct Collector::Process {
  void* handle = nullptr;
};

namespace {

size_t Append(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

std::string PercentDecode(const std::string& text) {
  if (text == "-") return std::string();
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      out += static_cast<char>(std::strtol(text.substr(i + 1, 2).c_str(), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string ScriptPath() {
  const char* source = std::getenv("VANTELO_SOURCE_DIR");
  std::string root = source && *source ? source : ".";
  return root + "/testing/collector/collector.py";
}

// The raw JSON value that starts at |at| in |text|; strings, objects and
// arrays are balanced, anything else runs to the next "," or "}".
std::string ValueAt(const std::string& text, size_t at) {
  size_t end = at;
  int depth = 0;
  bool in_string = false;
  for (; end < text.size(); ++end) {
    const char c = text[end];
    if (in_string) {
      if (c == '\\') ++end;
      else if (c == '"') {
        in_string = false;
        if (depth == 0) return text.substr(at, end + 1 - at);
      }
      continue;
    }
    if (c == '"') in_string = true;
    else if (c == '{' || c == '[') ++depth;
    else if (c == '}' || c == ']') {
      if (depth == 0) break;
      if (--depth == 0) return text.substr(at, end + 1 - at);
    } else if (c == ',' && depth == 0) {
      break;
    }
  }
  return text.substr(at, end - at);
}

// Finds "key": at nesting depth 1 of the object that starts at |begin|.
std::string KeyValue(const std::string& text, size_t begin, const std::string& key) {
  int depth = 0;
  bool in_string = false;
  const std::string needle = "\"" + key + "\":";
  for (size_t i = begin; i < text.size(); ++i) {
    const char c = text[i];
    if (in_string) {
      if (c == '\\') ++i;
      else if (c == '"') in_string = false;
      continue;
    }
    if (c == '{' || c == '[') {
      ++depth;
      continue;
    }
    if (c == '}' || c == ']') {
      if (--depth == 0) break;
      continue;
    }
    if (c == '"') {
      if (depth == 1 && text.compare(i, needle.size(), needle) == 0)
        return ValueAt(text, i + needle.size());
      in_string = true;
    }
  }
  return std::string();
}

}  // namespace

std::vector<std::string> CollectorState::AllRecords() const {
  std::vector<std::string> all;
  for (const auto& batch : batches) all.insert(all.end(), batch.records.begin(), batch.records.end());
  return all;
}

Collector::Collector() {
  static std::atomic<int> serial{0};
  std::ostringstream name;
  name << CollectorScratchFolder() << "/collector-" << CurrentProcessNumber() << "-" << serial++
       << ".port";
  const std::string port_file = name.str();
  RemoveCollectorFile(port_file);
  process_ = new Process;
  process_->handle = StartCollectorProcess(ScriptPath(), port_file);
  if (!process_->handle) {
    error_ = "cannot start python3 with " + ScriptPath();
    return;
  }
  // python3 may take a few seconds to start on a loaded machine.
  std::string content;
  for (int i = 0; i < 3000 && !ReadCollectorFile(port_file, content); ++i) SleepMilliseconds(10);
  RemoveCollectorFile(port_file);
  std::istringstream ports(content);
  int upload = 0, control = 0;
  if (!(ports >> upload >> control)) {
    error_ = "the collector wrote no ports to " + port_file;
    return;
  }
  upload_port_ = upload;
  control_port_ = control;
}

Collector::~Collector() {
  if (control_port_) Control("POST", "/quit", nullptr);
  if (process_) WaitCollectorProcess(process_->handle);
  delete process_;
}

std::string Collector::url() const {
  return "http://127.0.0.1:" + std::to_string(upload_port_) + "/sa?project=pc";
}

bool Collector::Control(const std::string& method, const std::string& path, std::string* answer) {
  CURL* curl = curl_easy_init();
  if (!curl) return false;
  std::string body;
  const std::string address = "http://127.0.0.1:" + std::to_string(control_port_) + path;
  curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 20L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Append);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  if (method == "POST") curl_easy_setopt(curl, CURLOPT_POSTFIELDS, "");
  long status = 0;
  const bool done = curl_easy_perform(curl) == CURLE_OK &&
                    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK &&
                    status == 200;
  curl_easy_cleanup(curl);
  if (answer) *answer = body;
  return done;
}

bool Collector::SetMode(const std::string& mode) { return Control("POST", "/mode/" + mode, nullptr); }

bool Collector::Clear() { return Control("POST", "/clear", nullptr); }

CollectorState Collector::State() {
  CollectorState state;
  std::string text;
  if (!Control("GET", "/state.txt", &text)) {
    state.attempts = -1;
    return state;
  }
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("attempts ", 0) == 0) {
      state.attempts = std::atoi(line.c_str() + 9);
    } else if (line.rfind("errors ", 0) == 0) {
      state.decode_errors = std::atoi(line.c_str() + 7);
    } else if (line.rfind("error ", 0) == 0) {
      state.errors.push_back(line.substr(6));
    } else if (line.rfind("batch ", 0) == 0) {
      std::istringstream fields(line.substr(6));
      int count = 0;
      std::string agent, type, path;
      fields >> count >> agent >> type >> path;
      state.batches.push_back({PercentDecode(agent), PercentDecode(type), PercentDecode(path), {}});
    } else if (line.rfind("record ", 0) == 0 && !state.batches.empty()) {
      state.batches.back().records.push_back(line.substr(7));
    }
  }
  return state;
}

std::string WithoutVaryingFields(const std::string& record) {
  std::string out = record;
  for (const char* key : {"\"_track_id\":", "\"time\":"}) {
    const size_t at = out.find(key);
    if (at == std::string::npos) continue;
    const size_t begin = at + std::string(key).size();
    size_t end = begin;
    while (end < out.size() && (std::isdigit(static_cast<unsigned char>(out[end])) || out[end] == '-'))
      ++end;
    out.replace(begin, end - begin, "0");
  }
  return out;
}

std::string FieldText(const std::string& record, const std::string& key) {
  return KeyValue(record, 0, key);
}

std::string PropertyText(const std::string& record, const std::string& key) {
  const std::string properties = FieldText(record, "properties");
  if (properties.empty()) return std::string();
  return KeyValue(properties, 0, key);
}

}  // namespace testing_support
