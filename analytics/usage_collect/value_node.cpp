#include "value_node.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <locale>
#include <mutex>
#include <sstream>

namespace usage_collect {

ValueNode::ValueNode() = default;
ValueNode::~ValueNode() = default;
ValueNode::ValueNode(ValueNode&&) noexcept = default;
ValueNode& ValueNode::operator=(ValueNode&&) noexcept = default;

ValueNode::ValueNode(const ValueNode& other)
    : type_(other.type_),
      number_(other.number_),
      integer_(other.integer_),
      milliseconds_(other.milliseconds_),
      string_(other.string_),
      list_(other.list_),
      object_(other.object_ ? std::make_unique<ObjectNode>(*other.object_) : nullptr) {}

ValueNode& ValueNode::operator=(const ValueNode& other) {
  if (this != &other) {
    ValueNode copy(other);
    *this = std::move(copy);
  }
  return *this;
}

ValueNode ValueNode::FromNumber(double value) {
  ValueNode node;
  node.type_ = Type::Number;
  node.number_ = value;
  return node;
}

ValueNode ValueNode::FromInt(int64_t value) {
  ValueNode node;
  node.type_ = Type::Int;
  node.integer_ = value;
  return node;
}

ValueNode ValueNode::FromString(std::string value) {
  ValueNode node;
  node.type_ = Type::String;
  node.string_ = std::move(value);
  return node;
}

ValueNode ValueNode::FromList(std::vector<std::string> value) {
  ValueNode node;
  node.type_ = Type::List;
  node.list_ = std::move(value);
  return node;
}

ValueNode ValueNode::FromDateTime(int64_t seconds, int milliseconds) {
  ValueNode node;
  node.type_ = Type::DateTime;
  node.integer_ = seconds;
  node.milliseconds_ = milliseconds;
  return node;
}

ValueNode ValueNode::FromBool(bool value) {
  ValueNode node;
  node.type_ = Type::Bool;
  node.integer_ = value ? 1 : 0;
  return node;
}

ValueNode ValueNode::FromObject(const ObjectNode& value) {
  ValueNode node;
  node.type_ = Type::Object;
  node.object_ = std::make_unique<ObjectNode>(value);
  return node;
}

namespace {

// The C library's local-time conversion shares one buffer; every caller here
// goes through this lock.
std::mutex g_local_time_lock;

std::string FormatLocalTime(int64_t seconds, int milliseconds) {
  std::tm parts{};
  {
    std::lock_guard<std::mutex> guard(g_local_time_lock);
    std::time_t when = static_cast<std::time_t>(seconds);
    if (const std::tm* local = std::localtime(&when)) parts = *local;
  }
  char text[64];
  std::snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d:%02d.%03d", parts.tm_year + 1900,
                parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                milliseconds);
  return text;
}

}  // namespace

std::string FormatNumber(double value) {
  if (!std::isfinite(value)) return "null";
  std::ostringstream stream;
  stream.imbue(std::locale::classic());
  stream << value;
  return stream.str();
}

void AppendQuoted(std::string& out, const std::string& text) {
  out += '"';
  for (char c : text) {
    switch (c) {
      case '\b': out += "\\b"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\f': out += "\\f"; break;
      case '\r': out += "\\r"; break;
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      default: out += c; break;
    }
  }
  out += '"';
}

void ValueNode::AppendJson(std::string& out) const {
  switch (type_) {
    case Type::Number:
      out += FormatNumber(number_);
      break;
    case Type::Int:
      out += std::to_string(integer_);
      break;
    case Type::String:
      AppendQuoted(out, string_);
      break;
    case Type::List: {
      out += '[';
      for (size_t i = 0; i < list_.size(); ++i) {
        if (i) out += ',';
        AppendQuoted(out, list_[i]);
      }
      out += ']';
      break;
    }
    case Type::DateTime:
      out += '"';
      out += FormatLocalTime(integer_, milliseconds_);
      out += '"';
      break;
    case Type::Bool:
      out += integer_ ? "true" : "false";
      break;
    case Type::Object:
      object_->AppendJson(out);
      break;
  }
}

const ValueNode* ObjectNode::Find(const std::string& key) const {
  auto it = values_.find(key);
  return it == values_.end() ? nullptr : &it->second;
}

void ObjectNode::Merge(const ObjectNode& other) {
  for (const auto& [key, value] : other.values_) values_[key] = value;
}

std::string ObjectNode::ToJson() const {
  std::string out;
  AppendJson(out);
  return out;
}

void ObjectNode::AppendJson(std::string& out) const {
  out += '{';
  bool first = true;
  for (const auto& [key, value] : values_) {
    if (!first) out += ',';
    first = false;
    out += '"';
    out += key;
    out += "\":";
    value.AppendJson(out);
  }
  out += '}';
}

bool IsValidUtf8(const std::string& text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const size_t size = text.size();
  auto continuation = [&](size_t at, unsigned char low, unsigned char high) {
    return at < size && bytes[at] >= low && bytes[at] <= high;
  };
  size_t i = 0;
  while (i < size) {
    const unsigned char c = bytes[i];
    if (c == '\t' || c == '\n' || c == '\r' || (c >= 0x20 && c <= 0x7E)) {
      i += 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
      if (!continuation(i + 1, 0x80, 0xBF)) return false;
      i += 2;
    } else if (c == 0xE0) {
      if (!continuation(i + 1, 0xA0, 0xBF) || !continuation(i + 2, 0x80, 0xBF)) return false;
      i += 3;
    } else if ((c >= 0xE1 && c <= 0xEC) || c == 0xEE || c == 0xEF) {
      if (!continuation(i + 1, 0x80, 0xBF) || !continuation(i + 2, 0x80, 0xBF)) return false;
      i += 3;
    } else if (c == 0xED) {
      if (!continuation(i + 1, 0x80, 0x9F) || !continuation(i + 2, 0x80, 0xBF)) return false;
      i += 3;
    } else if (c == 0xF0) {
      if (!continuation(i + 1, 0x90, 0xBF) || !continuation(i + 2, 0x80, 0xBF) ||
          !continuation(i + 3, 0x80, 0xBF))
        return false;
      i += 4;
    } else if (c >= 0xF1 && c <= 0xF3) {
      if (!continuation(i + 1, 0x80, 0xBF) || !continuation(i + 2, 0x80, 0xBF) ||
          !continuation(i + 3, 0x80, 0xBF))
        return false;
      i += 4;
    } else if (c == 0xF4) {
      if (!continuation(i + 1, 0x80, 0x8F) || !continuation(i + 2, 0x80, 0xBF) ||
          !continuation(i + 3, 0x80, 0xBF))
        return false;
      i += 4;
    } else {
      return false;
    }
  }
  return true;
}

bool PropertiesNode::SetString(const std::string& key, const std::string& value) {
  if (value.size() > kMaxStringBytes) {
    std::cerr << "String property '" << key << "' is too long, value: " << value << std::endl;
    return false;
  }
  if (!IsValidUtf8(value)) {
    std::cerr << "String property '" << key << "' is not valid UTF-8 string, value: " << value
              << std::endl;
    return false;
  }
  Set(key, ValueNode::FromString(value));
  return true;
}

void PropertiesNode::SetNumber(const std::string& key, double value) {
  Set(key, ValueNode::FromNumber(value));
}
void PropertiesNode::SetInt(const std::string& key, int64_t value) {
  Set(key, ValueNode::FromInt(value));
}
void PropertiesNode::SetBool(const std::string& key, bool value) {
  Set(key, ValueNode::FromBool(value));
}
void PropertiesNode::SetList(const std::string& key, const std::vector<std::string>& value) {
  Set(key, ValueNode::FromList(value));
}
void PropertiesNode::SetDateTime(const std::string& key, int64_t seconds, int milliseconds) {
  Set(key, ValueNode::FromDateTime(seconds, milliseconds));
}
void PropertiesNode::SetObject(const std::string& key, const ObjectNode& value) {
  Set(key, ValueNode::FromObject(value));
}

}  // namespace usage_collect
