// The event records callers fill, the event types and the enumerations with
// the texts that go on the wire. Texts are byte strings (UTF-8, or the ANSI
// code page, which the tracker converts); optional fields are shared pointers
// that may be empty.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace kavrin::usage {

enum class KvEventType : int {
  Activity = 0, PaLaunchPal, Login, Click, View, Cashier, Share, Task, File, Order, Payment,
  Uninstall, Update, Crashed, AppOpenNotification,
};
constexpr int kEventTypeCount = 15;

enum class KvResult : int { Success = 0, Cancelled = 1, Fail = 2, Unknown = 3 };
enum class KvClickType : int { Button = 0, Banner = 1, Tutorial = 2, File = 3, Others = 4 };
enum class KvCurrency : int { CNY = 0, USD, EUR, HKD, TWD, MOP, SGD, JPY, KRW, INR, GBP };
enum class KvPayPlatform : int {
  Alipay = 0, WeChatPay, PayPal, Tenpay, CIECC, GooglePay, HuaweiPay, AppleIAP, Paddle,
  ChinaUnionPay,
};
enum class KvIapType : int { Consumable = 0, NonConsumable, AutoRenewable, NonRenewable };
enum class KvUserType : int {
  unknown = 0, mobilephone, email, weixin, qq, deviceid, baidu, huawei, apple, kavrinuserid,
  google, facebook,
};
enum class KvFileIo : int { Input = 0, Output = 1 };
enum class KvUpdateOp : int { UpdateCheck = 0, DownloadStart, DownloadEnd, UpgrateStart, UpgrateEnd };
enum class KvUpdateResult : int { Success = 0, Cancelled, Timeout, Fail, Latest, Updateable };

// Each returns the wire text, or raises KvException naming the enumeration
// and the value ("Unknown Event [99]!", "Unknown ClickType [7]!", ...).
std::string EventTypeText(KvEventType type);
std::string ResultText(KvResult result);
std::string ClickTypeText(KvClickType type);
std::string CurrencyText(KvCurrency currency);
std::string PayPlatformText(KvPayPlatform platform);
std::string IapTypeText(KvIapType type);
std::string UserTypeText(KvUserType type);
std::string FileIoText(KvFileIo io);
std::string UpdateOpText(KvUpdateOp op);
std::string UpdateResultText(KvUpdateResult result);

struct KvEventTask {
  std::string aname;
  std::string name;  // required
  std::string reason;
  std::shared_ptr<float> elapsed;  // seconds
  std::shared_ptr<KvResult> result;
};

struct KvEventClick {
  std::string aname;
  std::string name;  // required
  KvClickType clickType = KvClickType::Others;
  std::string title;
  std::string module;
  std::string position;
  std::shared_ptr<int32_t> tabIndex;
  std::string tabName;
  std::shared_ptr<int32_t> bannerIndex;
  std::string bannerName;
};

struct KvEventView {
  std::string aname;
  std::string name;  // required
  std::string title;
  std::string position;
};

struct KvUser {
  KvUserType type = KvUserType::unknown;
  std::string loginId;
  std::string userId;
};

struct KvEventCashier {
  std::string name;  // required
  std::string title;
  std::string subitem;
};

struct KvEventShare {
  std::string aname;
  std::string channel;
  std::string sharedName;
  std::string position;
  std::shared_ptr<KvResult> result;
};

struct KvEventFile {
  std::string aname;  // required
  std::string name;
  std::shared_ptr<KvFileIo> io;
  std::string ext;
  std::shared_ptr<int64_t> size;
  std::shared_ptr<double> duration;
  std::shared_ptr<double> fps;
  std::shared_ptr<int64_t> bps;
  std::shared_ptr<int64_t> width;
  std::shared_ptr<int64_t> height;
  std::shared_ptr<int64_t> depth;
  std::shared_ptr<KvResult> result;
};

struct KvEventOrder {
  std::string orderId;
  std::string subitem;
  std::string sku;
  std::string suitId;
  std::shared_ptr<KvCurrency> currency;       // required
  std::shared_ptr<double> originalAmount;     // required
  std::string campaignCode;
  std::string voucherId;
  std::shared_ptr<double> paidAmount;
  std::shared_ptr<double> curOriginalAmount;
  std::shared_ptr<double> curPaidAmount;
  std::string cashierName;
  std::string cashierTitle;
};

struct KvEventPayment {
  std::string orderId;
  std::shared_ptr<KvCurrency> currency;
  std::shared_ptr<double> paidAmount;  // required
  std::shared_ptr<KvPayPlatform> paidPlatform;
  std::shared_ptr<double> originalAmount;
  std::shared_ptr<KvResult> result;
  std::string suitId;
  std::string subitem;
  std::string sku;
  std::string campaignCode;
  std::string voucherId;
  std::string usedVoucherId;
  std::shared_ptr<KvIapType> iapType;
  std::shared_ptr<double> curOriginalAmount;
  std::shared_ptr<double> curPaidAmount;
  std::string cashierName;
  std::string cashierTitle;
};

struct KvEventUpdate {
  std::shared_ptr<KvUpdateOp> op;
  std::shared_ptr<KvUpdateResult> result;
  std::shared_ptr<double> elapsed;
};

struct KvAppOpenNotification {
  std::string msgTitle;      // required
  std::string msgContent;
  std::string linkUrl;
  std::string planId;        // required
  std::string audienceId;
  std::string planStrategyId;
  std::string planType;      // required
  std::string strategyUnitId;
};

}  // namespace kavrin::usage
