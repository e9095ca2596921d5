#include "kv_context_properties.h"

#include "kv_exception.h"

namespace kavrin::usage {

namespace {

const char kFile[] = "KvContextProperties";

KvContextProperties::ValueKind KindOf(const KvContextProperties::Value& value) {
  return static_cast<KvContextProperties::ValueKind>(value.index());
}

void CheckType(KvEventType type, const char* function) {
  const int number = static_cast<int>(type);
  if (number < 0 || number >= kEventTypeCount)
    throw KvException("KvEvent[" + std::to_string(number) + "] overflow!", kFile, function,
                      __LINE__);
}

bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

void KvContextProperties::setProperty(const std::string& name, const Value& value,
                                      const std::vector<KvEventType>& types) {
  if (names_.count(name))
    throw KvException("Property[" + name + "] already exist!", kFile, "setProperty", __LINE__);
  for (KvEventType type : types) CheckType(type, "setProperty");
  names_.insert(name);
  for (KvEventType type : types)
    entries_[static_cast<int>(type)].push_back({value, KindOf(value), name});
}

const std::vector<KvContextProperties::Entry>& KvContextProperties::getEventProperties(
    KvEventType type) const {
  CheckType(type, "getEventProperties");
  return entries_[static_cast<int>(type)];
}

bool KvContextProperties::isValidABValue(const std::string& value) {
  if (value.empty()) return false;
  if (value.size() >= 4)
    throw KvException("value's length is great than 3.", kFile, "isValidABValue", __LINE__);
  if (!IsUpper(value[0]))
    throw KvException("First char is not in A to Z", kFile, "isValidABValue", __LINE__);
  if (value.size() > 1 && !IsUpper(value[1]) && !IsDigit(value[1]))
    throw KvException("second char is not in A to Z and 0 to 9", kFile, "isValidABValue",
                      __LINE__);
  if (value.size() > 2 && !IsUpper(value[2]) && !IsDigit(value[2]))
    throw KvException("third char is not in A to Z and 0 to 9", kFile, "isValidABValue",
                      __LINE__);
  return true;
}

}  // namespace kavrin::usage
