// Test side of the analytics collector (collector.py): starts the server as a
// child process on 127.0.0.1, switches its answer mode and reads back what it
// received, then stops it. The Windows build starts the same python3 server
// on the Linux side when the tests run under Wine.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

struct CollectedBatch {
  std::string user_agent;
  std::string content_type;
  std::string path;
  std::vector<std::string> records;  // each record's bytes exactly as sent
};

struct CollectorState {
  int attempts = 0;    // every upload request, accepted or not
  int decode_errors = 0;
  std::vector<std::string> errors;
  std::vector<CollectedBatch> batches;

  std::vector<std::string> AllRecords() const;
};

class Collector {
 public:
  Collector();
  ~Collector();
  Collector(const Collector&) = delete;
  Collector& operator=(const Collector&) = delete;

  // False when the server did not come up; error() says why.
  bool ok() const { return upload_port_ != 0; }
  const std::string& error() const { return error_; }

  // The upload endpoint, "http://127.0.0.1:<port>/sa?project=pc".
  std::string url() const;
  int upload_port() const { return upload_port_; }

  // "ok", "fail", "slow", "huge", "garbage" or "refuse".
  bool SetMode(const std::string& mode);
  bool Clear();
  CollectorState State();

 private:
  bool Control(const std::string& method, const std::string& path, std::string* answer);

  std::string error_;
  int upload_port_ = 0;
  int control_port_ = 0;
  struct Process;
  Process* process_ = nullptr;
};

// The record with the values of "_track_id" and "time" replaced by 0, so
// that two records can be compared byte for byte.
std::string WithoutVaryingFields(const std::string& record);

// The raw JSON text of a top-level key of "properties" in |record|
// ("\"text\"", "true", "12.5"), or "" when the key is absent.
std::string PropertyText(const std::string& record, const std::string& key);

// The raw JSON text of a top-level key of |record|.
std::string FieldText(const std::string& record, const std::string& key);

}  // namespace testing_support
