// Typed property values and the objects that hold them, with their JSON form.
// Keys are kept in plain byte order (unsigned bytes, shorter first on a
// common prefix), never in insertion order.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace usage_collect {

class ObjectNode;

// Byte-wise key order: std::string compares through char_traits<char>, which
// compares as unsigned char, so bytes from 0x80 sort after ASCII.
using KeyOrder = std::less<std::string>;

class ValueNode {
 public:
  enum class Type { Number, Int, String, List, DateTime, Bool, Object };

  ValueNode();  // Int 0
  static ValueNode FromNumber(double value);
  static ValueNode FromInt(int64_t value);
  static ValueNode FromString(std::string value);
  static ValueNode FromList(std::vector<std::string> value);
  static ValueNode FromDateTime(int64_t seconds, int milliseconds);
  static ValueNode FromBool(bool value);
  static ValueNode FromObject(const ObjectNode& value);

  ValueNode(const ValueNode& other);
  ValueNode& operator=(const ValueNode& other);
  ValueNode(ValueNode&&) noexcept;
  ValueNode& operator=(ValueNode&&) noexcept;
  ~ValueNode();

  Type type() const { return type_; }
  double number() const { return number_; }
  int64_t integer() const { return integer_; }
  bool boolean() const { return integer_ != 0; }
  const std::string& string() const { return string_; }
  const std::vector<std::string>& list() const { return list_; }
  int64_t seconds() const { return integer_; }
  int milliseconds() const { return milliseconds_; }
  const ObjectNode& object() const { return *object_; }

  // Appends the JSON form of this value to |out|.
  void AppendJson(std::string& out) const;

 private:
  Type type_ = Type::Int;
  double number_ = 0;
  int64_t integer_ = 0;
  int milliseconds_ = 0;
  std::string string_;
  std::vector<std::string> list_;
  std::unique_ptr<ObjectNode> object_;
};

class ObjectNode {
 public:
  using Map = std::map<std::string, ValueNode, KeyOrder>;

  // Replaces the value of an existing key.
  void Set(const std::string& key, ValueNode value) { values_[key] = std::move(value); }
  bool Has(const std::string& key) const { return values_.count(key) != 0; }
  const ValueNode* Find(const std::string& key) const;
  void Remove(const std::string& key) { values_.erase(key); }
  // Copies every entry of |other|, replacing entries with equal keys.
  void Merge(const ObjectNode& other);
  const Map& values() const { return values_; }
  bool empty() const { return values_.empty(); }

  // "{" + "\"key\":value" joined by "," + "}"; keys are written unescaped.
  std::string ToJson() const;
  void AppendJson(std::string& out) const;

 private:
  Map values_;
};

// An object with typed setters. Only SetString checks its value: longer than
// 8192 bytes or not UTF-8 leaves the key unset with a message on standard
// error, and returns false.
class PropertiesNode : public ObjectNode {
 public:
  bool SetString(const std::string& key, const std::string& value);
  void SetNumber(const std::string& key, double value);
  void SetInt(const std::string& key, int64_t value);
  void SetBool(const std::string& key, bool value);
  void SetList(const std::string& key, const std::vector<std::string>& value);
  void SetDateTime(const std::string& key, int64_t seconds, int milliseconds);
  void SetObject(const std::string& key, const ObjectNode& value);
};

constexpr size_t kMaxStringBytes = 8192;

// The strict text check: tab, line feed, carriage return, 0x20..0x7E and the
// well-formed multi-byte sequences of Unicode; nothing else.
bool IsValidUtf8(const std::string& text);

// Appends |text| quoted, with \b \t \n \f \r \" \\ escaped and every other
// byte unchanged.
void AppendQuoted(std::string& out, const std::string& text);

// Six significant digits, shorter of fixed and exponent notation, as a
// standard stream writes a double by default. A value that is not finite has
// no JSON form and is written as null.
std::string FormatNumber(double value);

}  // namespace usage_collect
