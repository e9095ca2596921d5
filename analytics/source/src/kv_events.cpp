#include "kv_events.h"

#include "kv_exception.h"

namespace kavrin::usage {

namespace {

template <size_t N>
std::string Lookup(const char* const (&texts)[N], int value, const char* enumeration,
                   const char* function) {
  if (value >= 0 && static_cast<size_t>(value) < N) return texts[value];
  throw KvException(std::string("Unknown ") + enumeration + " [" + std::to_string(value) + "]!",
                    "UsageTrackerImpl", function, __LINE__);
}

}  // namespace

std::string EventTypeText(KvEventType type) {
  static const char* const kTexts[] = {
      "Activity", "PaLaunchPal", "Login", "Click", "View", "Cashier", "Share", "Task",
      "File", "Order", "Payment", "Uninstall", "Update", "Crashed", "AppOpenNotification"};
  return Lookup(kTexts, static_cast<int>(type), "Event", "toString");
}

std::string ResultText(KvResult result) {
  static const char* const kTexts[] = {"Success", "Cancelled", "Fail", "Unknown"};
  return Lookup(kTexts, static_cast<int>(result), "Result", "toString");
}

std::string ClickTypeText(KvClickType type) {
  static const char* const kTexts[] = {"Button", "Banner", "Tutorial", "File", "Others"};
  return Lookup(kTexts, static_cast<int>(type), "ClickType", "toString");
}

std::string CurrencyText(KvCurrency currency) {
  static const char* const kTexts[] = {"CNY", "USD", "EUR", "HKD", "TWD", "MOP",
                                       "SGD", "JPY", "KRW", "INR", "GBP"};
  return Lookup(kTexts, static_cast<int>(currency), "Currency", "toString");
}

std::string PayPlatformText(KvPayPlatform platform) {
  static const char* const kTexts[] = {"Alipay",    "WeChatPay", "PayPal",   "Tenpay",
                                       "CIECC",     "GooglePay", "HuaweiPay", "AppleIAP",
                                       "Paddle",    "ChinaUnionPay"};
  return Lookup(kTexts, static_cast<int>(platform), "PayPlatform", "toString");
}

std::string IapTypeText(KvIapType type) {
  static const char* const kTexts[] = {"Consumable", "NonConsumable", "AutoRenewable",
                                       "NonRenewable"};
  return Lookup(kTexts, static_cast<int>(type), "IapType", "toString");
}

std::string UserTypeText(KvUserType type) {
  static const char* const kTexts[] = {"unknown", "mobilephone", "email",  "weixin",
                                       "qq",      "deviceid",    "baidu",  "huawei",
                                       "apple",   "kavrinuserid", "google", "facebook"};
  return Lookup(kTexts, static_cast<int>(type), "UserType", "toString");
}

std::string FileIoText(KvFileIo io) {
  static const char* const kTexts[] = {"Input", "Output"};
  return Lookup(kTexts, static_cast<int>(io), "FileIO", "toString");
}

std::string UpdateOpText(KvUpdateOp op) {
  static const char* const kTexts[] = {"UpdateCheck", "DownloadStart", "DownloadEnd",
                                       "UpgrateStart", "UpgrateEnd"};
  return Lookup(kTexts, static_cast<int>(op), "UpdateOp", "toString");
}

std::string UpdateResultText(KvUpdateResult result) {
  static const char* const kTexts[] = {"Success", "Cancelled", "Timeout",
                                       "Fail",    "Latest",    "Updateable"};
  return Lookup(kTexts, static_cast<int>(result), "UpdateResult", "toString");
}

}  // namespace kavrin::usage
