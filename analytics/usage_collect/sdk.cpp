#include "sdk.h"

#include <atomic>
#include <chrono>
#include <ctime>
#include <iostream>
#include <memory>
#include <mutex>
#include <random>

#include "record_store.h"

namespace usage_collect {

namespace {

int64_t NowMilliseconds() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// Any generator with rand()'s ranges will do; this one is safe to share
// between threads.
class TrackIdSource {
 public:
  void Seed(uint32_t seed) {
    std::lock_guard<std::mutex> guard(lock_);
    engine_.seed(seed);
  }
  int Next(int modulus) {
    std::lock_guard<std::mutex> guard(lock_);
    return static_cast<int>(engine_() % 0x7FFFFFFF) % modulus;
  }

 private:
  std::mutex lock_;
  std::mt19937 engine_{1};
};
TrackIdSource g_track_ids;

int64_t NextTrackId() {
  const int two = (g_track_ids.Next(99) + 100) % 100;
  const int three = (g_track_ids.Next(999) + 1000) % 1000;
  const int four = static_cast<int>(NowMilliseconds() % 10000);
  return static_cast<int64_t>(two) * 10000000 + static_cast<int64_t>(three) * 10000 + four;
}

bool IsLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

ObjectNode LibObject() {
  ObjectNode lib;
  lib.Set("$lib", ValueNode::FromString("cpp"));
  lib.Set("$lib_method", ValueNode::FromString("code"));
  lib.Set("$lib_version", ValueNode::FromString("0.9"));
  return lib;
}

class Instance {
 public:
  Instance(const std::string& staging_path, const std::string& server_url,
           const std::string& distinct_id, bool is_login_id)
      : distinct_id_(distinct_id), is_login_id_(is_login_id), store_(staging_path, server_url) {
    super_properties_.SetString("$lib", "cpp");
    super_properties_.SetString("$lib_version", "0.9");
  }

  void Add(const std::string& type, const std::string& event, const PropertiesNode& properties,
           const std::string& distinct_id, const std::string& original_id) {
    std::string record;
    if (BuildRecord(type, event, properties, &super_properties_, distinct_id, original_id,
                    is_login_id_.load(), record))
      store_.Add(std::move(record));
  }

  std::string distinct_id() {
    std::lock_guard<std::mutex> guard(id_lock_);
    return distinct_id_;
  }
  void SignUp(const std::string& login_id) {
    std::lock_guard<std::mutex> guard(id_lock_);
    distinct_id_ = login_id;
    is_login_id_ = true;
  }

  PropertiesNode& super_properties() { return super_properties_; }
  RecordStore& store() { return store_; }

 private:
  std::mutex id_lock_;
  std::string distinct_id_;
  std::atomic<bool> is_login_id_;
  PropertiesNode super_properties_;
  RecordStore store_;
};

std::atomic<Instance*> g_instance{nullptr};

void AddRecord(const std::string& type, const std::string& event,
               const PropertiesNode& properties) {
  Instance* instance = g_instance.load();
  if (!instance) return;
  instance->Add(type, event, properties, instance->distinct_id(), std::string());
}

}  // namespace

bool CheckName(const std::string& name, const char* label) {
  if (name.empty() || name.size() > 100) {
    std::cerr << "The " << label << " is empty or too long, max length is 100" << std::endl;
    return false;
  }
  for (size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = name[i];
    const bool ok = IsLetter(c) || c == '$' || c == '_' || (i > 0 && c >= '0' && c <= '9');
    if (!ok) {
      std::cerr << "The " << label << " need to be a valid variable name." << std::endl;
      return false;
    }
  }
  return true;
}

bool CheckId(const std::string& id, const char* label) {
  if (id.empty()) {
    std::cerr << "The " << label << " is empty." << std::endl;
    return false;
  }
  if (id.size() > 255) {
    std::cerr << "The " << label << " is too long, max length is 255." << std::endl;
    return false;
  }
  return true;
}

bool BuildRecord(const std::string& type, const std::string& event,
                 const PropertiesNode& properties, const ObjectNode* super_properties,
                 const std::string& distinct_id, const std::string& original_id, bool is_login_id,
                 std::string& record) {
  for (const auto& [key, value] : properties.values()) {
    if (!CheckName(key, "Property Key")) return false;
    if (key == "$time" && value.type() != ValueNode::Type::DateTime) {
      std::cerr << "The property '$time' should be DateTime type." << std::endl;
      return false;
    }
    if (key == "$project" && value.type() != ValueNode::Type::String) {
      std::cerr << "The property '$project' should be String type." << std::endl;
      return false;
    }
  }
  if (type == "track" && !CheckName(event, "Event Name")) return false;
  if (type == "track_signup" && !CheckId(original_id, "Original ID")) return false;

  PropertiesNode merged;
  if (type.find("track") != std::string::npos && super_properties) merged.Merge(*super_properties);
  merged.Merge(properties);

  int64_t time = 0;
  if (const ValueNode* given = merged.Find("$time")) {
    time = given->seconds() * 1000 + given->milliseconds();
    merged.Remove("$time");
  } else {
    time = NowMilliseconds();
  }
  std::string project;
  bool has_project = false;
  if (const ValueNode* given = merged.Find("$project")) {
    project = given->string();
    has_project = true;
    merged.Remove("$project");
  }
  if (is_login_id) merged.SetBool("$is_login_id", true);

  ObjectNode out;
  out.Set("_track_id", ValueNode::FromInt(NextTrackId()));
  out.Set("distinct_id", ValueNode::FromString(distinct_id));
  if (type == "track" || type == "track_signup") out.Set("event", ValueNode::FromString(event));
  out.Set("lib", ValueNode::FromObject(LibObject()));
  if (type == "track_signup") out.Set("original_id", ValueNode::FromString(original_id));
  if (has_project) out.Set("project", ValueNode::FromString(project));
  out.Set("properties", ValueNode::FromObject(merged));
  out.Set("time", ValueNode::FromInt(time));
  out.Set("type", ValueNode::FromString(type));
  record = out.ToJson();
  return true;
}

bool Sdk::Init(const std::string& staging_path, const std::string& server_url,
               const std::string& distinct_id, bool is_login_id) {
  if (!CheckId(distinct_id, "Distinct ID")) return false;
  if (g_instance.load()) return true;
  g_instance.store(new Instance(staging_path, server_url, distinct_id, is_login_id));
  g_track_ids.Seed(static_cast<uint32_t>(std::time(nullptr)));
  return true;
}

void Sdk::Track(const std::string& event, const PropertiesNode& properties) {
  AddRecord("track", event, properties);
}

void Sdk::TrackInstallation(const std::string& event, const PropertiesNode& properties) {
  PropertiesNode merged;
  merged.SetString("$ios_install_source", "");
  merged.Merge(properties);
  AddRecord("track", event, merged);
}

void Sdk::TrackSignup(const std::string& login_id) {
  Instance* instance = g_instance.load();
  if (!instance) return;
  instance->Add("track_signup", "$SignUp", PropertiesNode(), login_id, instance->distinct_id());
  instance->SignUp(login_id);
}

void Sdk::ProfileSet(const PropertiesNode& properties) {
  AddRecord("profile_set", "", properties);
}
void Sdk::ProfileSetOnce(const PropertiesNode& properties) {
  AddRecord("profile_set_once", "", properties);
}
void Sdk::ProfileIncrement(const PropertiesNode& properties) {
  AddRecord("profile_increment", "", properties);
}
void Sdk::ProfileAppend(const PropertiesNode& properties) {
  AddRecord("profile_append", "", properties);
}

void Sdk::RegisterSuperProperties(const PropertiesNode& properties) {
  if (Instance* instance = g_instance.load()) instance->super_properties().Merge(properties);
}

bool Sdk::Flush() {
  Instance* instance = g_instance.load();
  return instance ? instance->store().Flush() : false;
}

void Sdk::Shutdown() {
  std::unique_ptr<Instance> instance(g_instance.exchange(nullptr));
  if (instance) instance->store().Persist();
}

bool Sdk::Exists() { return g_instance.load() != nullptr; }

std::vector<std::string> Sdk::QueuedRecords() {
  Instance* instance = g_instance.load();
  return instance ? instance->store().Snapshot() : std::vector<std::string>();
}

}  // namespace usage_collect
