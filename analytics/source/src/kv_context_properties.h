// Per-call context properties: each named value is set once and applies to
// the event types it was set for. Used by one tracking call only.
#pragma once

#include <array>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "kv_events.h"

namespace kavrin::usage {

class KvContextProperties {
 public:
  enum class ValueKind : int { Bool = 0, Int = 1, Double = 2, Text = 3, TextList = 4 };
  using Value = std::variant<bool, int64_t, double, std::string, std::vector<std::string>>;

  struct Entry {
    Value value;
    ValueKind kind;
    std::string name;
  };

  // Adds |name| for every type of |types|. Raises "Property[name] already
  // exist!" for a second add and "KvEvent[n] overflow!" for a type of 15 or
  // more (nothing is added then).
  void setProperty(const std::string& name, const Value& value,
                   const std::vector<KvEventType>& types);

  // The entries for |type|; raises "KvEvent[n] overflow!" for 15 or more.
  const std::vector<Entry>& getEventProperties(KvEventType type) const;

  // False for an empty value; raises for a malformed one: more than 3 bytes,
  // first byte not A-Z, second or third byte not A-Z or 0-9.
  static bool isValidABValue(const std::string& value);

 private:
  std::set<std::string> names_;
  std::array<std::vector<Entry>, kEventTypeCount> entries_;
};

}  // namespace kavrin::usage
