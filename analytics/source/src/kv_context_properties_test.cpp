#include "kv_context_properties.h"

#include <gtest/gtest.h>

#include <functional>

#include "kv_exception.h"

namespace kavrin::usage {
namespace {

TEST(KvContextPropertiesTest, AbValueRules) {
  struct Case {
    std::string value;
    bool valid;
    std::string error;  // empty: no error
  } cases[] = {
      {"IN", true, ""},
      {"A1", true, ""},
      {"Z", true, ""},
      {"B9Z", true, ""},
      {"", false, ""},
      {"iN", false, "First char is not in A to Z"},
      {"1A", false, "First char is not in A to Z"},
      {"Ab", false, "second char is not in A to Z and 0 to 9"},
      {"AB-", false, "third char is not in A to Z and 0 to 9"},
      {"ABCD", false, "value's length is great than 3."},
      {"\xE4\xB8\xAD", false, "First char is not in A to Z"},
      {"A\xE4\xB8\xAD", false, "value's length is great than 3."},
  };
  for (const auto& c : cases) {
    try {
      EXPECT_EQ(KvContextProperties::isValidABValue(c.value), c.valid) << c.value;
      EXPECT_EQ(c.error, "") << c.value;
    } catch (const KvException& error) {
      EXPECT_EQ(error.what(), c.error) << c.value;
      EXPECT_EQ(error.file(), "KvContextProperties");
      EXPECT_EQ(error.function(), "isValidABValue");
    }
  }
}

TEST(KvContextPropertiesTest, PropertiesApplyToTheirTypesOnly) {
  KvContextProperties context;
  context.setProperty("kvc_ab", std::string("IN"), {KvEventType::Task, KvEventType::View});
  context.setProperty("flag", true, {KvEventType::Task});
  ASSERT_EQ(context.getEventProperties(KvEventType::Task).size(), 2u);
  EXPECT_EQ(context.getEventProperties(KvEventType::Task)[0].name, "kvc_ab");
  EXPECT_EQ(context.getEventProperties(KvEventType::Task)[0].kind,
            KvContextProperties::ValueKind::Text);
  EXPECT_EQ(context.getEventProperties(KvEventType::Task)[1].kind,
            KvContextProperties::ValueKind::Bool);
  EXPECT_EQ(context.getEventProperties(KvEventType::View).size(), 1u);
  EXPECT_TRUE(context.getEventProperties(KvEventType::Click).empty());

  struct Case {
    std::function<void()> call;
    std::string message;
    std::string function;
  } cases[] = {
      {[&] { context.setProperty("kvc_ab", std::string("X"), {KvEventType::Click}); },
       "Property[kvc_ab] already exist!", "setProperty"},
      {[&] { context.setProperty("late", 1.5, {static_cast<KvEventType>(15)}); },
       "KvEvent[15] overflow!", "setProperty"},
      {[&] { context.getEventProperties(static_cast<KvEventType>(20)); },
       "KvEvent[20] overflow!", "getEventProperties"},
  };
  for (const auto& c : cases) {
    try {
      c.call();
      ADD_FAILURE() << "no error: " << c.message;
    } catch (const KvException& error) {
      EXPECT_EQ(error.what(), c.message);
      EXPECT_EQ(error.function(), c.function);
    }
  }
  // A rejected add leaves nothing behind, so the name is still free.
  EXPECT_NO_THROW(context.setProperty("late", 1.5, {KvEventType::Click}));
  EXPECT_TRUE(context.getEventProperties(KvEventType::Click).size() == 1);
}

TEST(KvEventsTest, EnumerationTextsAndUnknownValues) {
  EXPECT_EQ(EventTypeText(KvEventType::PaLaunchPal), "PaLaunchPal");
  EXPECT_EQ(EventTypeText(KvEventType::AppOpenNotification), "AppOpenNotification");
  EXPECT_EQ(ResultText(KvResult::Cancelled), "Cancelled");
  EXPECT_EQ(CurrencyText(KvCurrency::MOP), "MOP");
  EXPECT_EQ(PayPlatformText(KvPayPlatform::CIECC), "CIECC");
  EXPECT_EQ(IapTypeText(KvIapType::NonRenewable), "NonRenewable");
  EXPECT_EQ(UserTypeText(KvUserType::facebook), "facebook");
  EXPECT_EQ(UpdateOpText(KvUpdateOp::UpgrateStart), "UpgrateStart");
  struct Case {
    std::function<std::string()> call;
    std::string message;
  } cases[] = {
      {[] { return EventTypeText(static_cast<KvEventType>(15)); }, "Unknown Event [15]!"},
      {[] { return ClickTypeText(static_cast<KvClickType>(5)); }, "Unknown ClickType [5]!"},
      {[] { return CurrencyText(static_cast<KvCurrency>(-1)); }, "Unknown Currency [-1]!"},
      {[] { return UserTypeText(static_cast<KvUserType>(12)); }, "Unknown UserType [12]!"},
  };
  for (const auto& c : cases) {
    try {
      c.call();
      ADD_FAILURE() << c.message;
    } catch (const KvException& error) {
      EXPECT_EQ(error.what(), c.message);
    }
  }
}

}  // namespace
}  // namespace kavrin::usage
