#include "usage_collect/value_node.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

#include "usage_collect/sdk.h"

namespace usage_collect {
namespace {

// Collects what the collection layer writes to standard error.
class ErrorCapture {
 public:
  ErrorCapture() : old_(std::cerr.rdbuf(text_.rdbuf())) {}
  ~ErrorCapture() { std::cerr.rdbuf(old_); }
  std::string text() const { return text_.str(); }

 private:
  std::ostringstream text_;
  std::streambuf* old_;
};

TEST(ObjectNodeTest, KeysAreWrittenInByteOrderWhateverTheInsertionOrder) {
  PropertiesNode node;
  node.SetInt("b", 1);
  node.SetInt("A", 2);
  node.SetInt("$x", 3);
  node.SetInt("\xC3\xA9", 4);  // a byte above 0x7F sorts after every ASCII key
  node.SetInt("ab", 5);
  node.SetInt("a", 6);
  EXPECT_EQ(node.ToJson(), "{\"$x\":3,\"A\":2,\"a\":6,\"ab\":5,\"b\":1,\"\xC3\xA9\":4}");
  node.SetInt("b", 7);  // replacing keeps the place
  EXPECT_EQ(node.ToJson(), "{\"$x\":3,\"A\":2,\"a\":6,\"ab\":5,\"b\":7,\"\xC3\xA9\":4}");
}

TEST(ObjectNodeTest, ValuesHaveTheirJsonForms) {
  struct Case {
    ValueNode value;
    std::string json;
  } cases[] = {
      {ValueNode::FromNumber(12.5), "12.5"},
      {ValueNode::FromNumber(1234567), "1.23457e+06"},
      {ValueNode::FromNumber(100000), "100000"},
      {ValueNode::FromNumber(0.0001), "0.0001"},
      {ValueNode::FromNumber(0.00001), "1e-05"},
      {ValueNode::FromNumber(-2.0 / 3), "-0.666667"},
      {ValueNode::FromNumber(1.0 / 0.0), "null"},
      {ValueNode::FromInt(-9007199254740993LL), "-9007199254740993"},
      {ValueNode::FromBool(true), "true"},
      {ValueNode::FromBool(false), "false"},
      {ValueNode::FromString("q\"b\\t\tn\nr\rf\fb\b"), "\"q\\\"b\\\\t\\tn\\nr\\rf\\fb\\b\""},
      // Other control bytes and bytes above 0x7F go out unchanged.
      {ValueNode::FromString("\x01\xE4\xB8\xAD"), "\"\x01\xE4\xB8\xAD\""},
      {ValueNode::FromList({"a", "b\"c"}), "[\"a\",\"b\\\"c\"]"},
      {ValueNode::FromList({}), "[]"},
  };
  for (const auto& c : cases) {
    std::string out;
    c.value.AppendJson(out);
    EXPECT_EQ(out, c.json);
  }
  ObjectNode inner;
  inner.Set("k\"ey", ValueNode::FromString("v"));  // keys are not escaped
  std::string out;
  ValueNode::FromObject(inner).AppendJson(out);
  EXPECT_EQ(out, "{\"k\"ey\":\"v\"}");
}

TEST(ObjectNodeTest, DateTimeIsLocalTimeWithMilliseconds) {
  std::string out;
  ValueNode::FromDateTime(86400 * 365, 7).AppendJson(out);
  ASSERT_EQ(out.size(), 25u) << out;
  EXPECT_EQ(out.substr(0, 4), "\"197") << out;
  EXPECT_EQ(out.substr(20), ".007\"") << out;
}

TEST(Utf8CheckTest, AcceptsExactlyTheWellFormedSequences) {
  struct Case {
    std::string text;
    bool valid;
  } cases[] = {
      {"", true},
      {"plain \t\r\n~", true},
      {"\xE4\xB8\xAD\xE6\x96\x87", true},         // two CJK characters
      {"\xC2\x80\xDF\xBF", true},
      {"\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80", true},
      {"\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", true},
      {"\x7F", false},
      {"\x80", false},
      {"a\xC3", false},                            // cut off at the end
      {"\xC0\xAF", false},                         // overlong
      {"\xE0\x80\x80", false},
      {"\xED\xA0\x80", false},                     // a surrogate
      {"\xF4\x90\x80\x80", false},                 // beyond U+10FFFF
      {"\xF5\x80\x80\x80", false},
      {std::string("a\0b", 3), false},
      {"\x1B", false},
      {"\xD6\xD0\xCE\xC4", false},                 // GBK text
  };
  for (const auto& c : cases) EXPECT_EQ(IsValidUtf8(c.text), c.valid) << "text: " << c.text;
}

TEST(PropertiesNodeTest, SetStringRefusesOversizedAndInvalidText) {
  PropertiesNode node;
  {
    ErrorCapture errors;
    EXPECT_TRUE(node.SetString("fits", std::string(8192, 'x')));
    EXPECT_EQ(errors.text(), "");
  }
  {
    ErrorCapture errors;
    EXPECT_FALSE(node.SetString("long", std::string(8193, 'y')));
    EXPECT_EQ(errors.text(), "String property 'long' is too long, value: " + std::string(8193, 'y') + "\n");
  }
  {
    ErrorCapture errors;
    EXPECT_FALSE(node.SetString("gbk", "\xD6\xD0"));
    EXPECT_EQ(errors.text(), "String property 'gbk' is not valid UTF-8 string, value: \xD6\xD0\n");
  }
  EXPECT_TRUE(node.Has("fits"));
  EXPECT_FALSE(node.Has("long"));
  EXPECT_FALSE(node.Has("gbk"));
}

TEST(RecordTest, NameAndIdRulesDropTheRecordWithTheirMessages) {
  const std::string empty_or_long = "is empty or too long, max length is 100\n";
  const std::string bad_chars = "need to be a valid variable name.\n";
  struct Case {
    std::string event;
    std::string key;
    std::string message;  // empty: the record is built
  } cases[] = {
      {"Event", "kv_name", ""},
      {"$Event_1", "$x_2", ""},
      {std::string(100, 'e'), std::string(100, 'k'), ""},
      {std::string(101, 'e'), "k", "The Event Name " + empty_or_long},
      {"", "k", "The Event Name " + empty_or_long},
      {"1Event", "k", "The Event Name " + bad_chars},
      {"Ev-ent", "k", "The Event Name " + bad_chars},
      {"Event", "2abc", "The Property Key " + bad_chars},
      {"Event", "a-b", "The Property Key " + bad_chars},
      {"Event", std::string(101, 'k'), "The Property Key " + empty_or_long},
      {"Event", "\xE4\xB8\xAD", "The Property Key " + bad_chars},
  };
  for (const auto& c : cases) {
    PropertiesNode properties;
    properties.SetInt(c.key, 1);
    std::string record;
    ErrorCapture errors;
    const bool built = BuildRecord("track", c.event, properties, nullptr, "id", "", false, record);
    EXPECT_EQ(built, c.message.empty()) << c.event << " / " << c.key;
    EXPECT_EQ(errors.text(), c.message) << c.event << " / " << c.key;
  }

  struct TypeCase {
    PropertiesNode properties;
    std::string message;
  } type_cases[2];
  type_cases[0].properties.SetInt("$time", 5);
  type_cases[0].message = "The property '$time' should be DateTime type.\n";
  type_cases[1].properties.SetInt("$project", 5);
  type_cases[1].message = "The property '$project' should be String type.\n";
  for (const auto& c : type_cases) {
    std::string record;
    ErrorCapture errors;
    EXPECT_FALSE(BuildRecord("track", "E", c.properties, nullptr, "id", "", false, record));
    EXPECT_EQ(errors.text(), c.message);
  }

  std::string record;
  ErrorCapture errors;
  EXPECT_FALSE(BuildRecord("track_signup", "$SignUp", PropertiesNode(), nullptr, "new", "", false, record));
  EXPECT_FALSE(BuildRecord("track_signup", "$SignUp", PropertiesNode(), nullptr, "new",
                           std::string(256, 'o'), false, record));
  EXPECT_TRUE(BuildRecord("track_signup", "$SignUp", PropertiesNode(), nullptr, "new",
                          std::string(255, 'o'), false, record));
  EXPECT_EQ(errors.text(),
            "The Original ID is empty.\nThe Original ID is too long, max length is 255.\n");
}

TEST(RecordTest, RecordBytesWithTimeProjectSuperPropertiesAndLogin) {
  PropertiesNode super;
  super.SetString("$lib", "cpp");
  super.SetString("$lib_version", "0.9");
  super.SetString("kv_app_id", "App");
  PropertiesNode own;
  own.SetDateTime("$time", 1700000000, 123);
  own.SetString("$project", "proj");
  own.SetString("kv_app_id", "Own wins");
  own.SetNumber("n", 2.5);
  std::string record;
  ASSERT_TRUE(BuildRecord("track", "KvEventTask", own, &super, "dev-1", "", true, record));
  const std::string track_id = record.substr(13, record.find(',') - 13);
  ASSERT_EQ(record.rfind("{\"_track_id\":", 0), 0u) << record;
  EXPECT_LE(track_id.size(), 9u);
  EXPECT_EQ(record.substr(record.find(",")),
            ",\"distinct_id\":\"dev-1\",\"event\":\"KvEventTask\","
            "\"lib\":{\"$lib\":\"cpp\",\"$lib_method\":\"code\",\"$lib_version\":\"0.9\"},"
            "\"project\":\"proj\",\"properties\":{\"$is_login_id\":true,\"$lib\":\"cpp\","
            "\"$lib_version\":\"0.9\",\"kv_app_id\":\"Own wins\",\"n\":2.5},"
            "\"time\":1700000000123,\"type\":\"track\"}");

  // Profile records carry neither the event nor the super properties.
  PropertiesNode profile;
  profile.SetInt("age", 3);
  ASSERT_TRUE(BuildRecord("profile_set", "", profile, &super, "dev-1", "", false, record));
  EXPECT_EQ(record.find("\"event\""), std::string::npos) << record;
  EXPECT_NE(record.find("\"properties\":{\"age\":3},"), std::string::npos) << record;
  EXPECT_NE(record.find("\"type\":\"profile_set\"}"), std::string::npos) << record;
}

}  // namespace
}  // namespace usage_collect
