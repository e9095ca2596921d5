// The collection layer's entry: at most one instance per process, created by
// Init and destroyed by Shutdown (both on the tracker's creating/destroying
// thread). Record operations may be called from any thread in between; with
// no instance they do nothing. Bad records are dropped with a message on
// standard error and the caller is never told.
#pragma once

#include <string>
#include <vector>

#include "value_node.h"

namespace usage_collect {

class Sdk {
 public:
  // Checks |distinct_id| (1 to 255 bytes); false and nothing created when it
  // fails. Creates the instance unless one exists. |staging_path| names the
  // file where unsent records wait between runs (UTF-8).
  static bool Init(const std::string& staging_path, const std::string& server_url,
                   const std::string& distinct_id, bool is_login_id);

  static void Track(const std::string& event, const PropertiesNode& properties);
  static void TrackInstallation(const std::string& event, const PropertiesNode& properties);
  static void TrackSignup(const std::string& login_id);
  static void ProfileSet(const PropertiesNode& properties);
  static void ProfileSetOnce(const PropertiesNode& properties);
  static void ProfileIncrement(const PropertiesNode& properties);
  static void ProfileAppend(const PropertiesNode& properties);

  // Merges |properties| into the super properties; no checks. Only before the
  // first record is built.
  static void RegisterSuperProperties(const PropertiesNode& properties);

  // Sends batches until the queue is empty (true) or a batch fails (false).
  static bool Flush();

  // Persists the queue to the staging file and destroys the instance.
  static void Shutdown();

  static bool Exists();
  // The queued records, front first (empty without an instance).
  static std::vector<std::string> QueuedRecords();
};

// The name rule for keys ("Property Key") and event names ("Event Name").
bool CheckName(const std::string& name, const char* label);
// The id rule ("Distinct ID", "Original ID").
bool CheckId(const std::string& id, const char* label);

// Builds the finished JSON text of one record; false (with its message) when
// the record must be dropped. Exposed for tests and the benchmark.
bool BuildRecord(const std::string& type, const std::string& event,
                 const PropertiesNode& properties, const ObjectNode* super_properties,
                 const std::string& distinct_id, const std::string& original_id, bool is_login_id,
                 std::string& record);

}  // namespace usage_collect
