// What the payment client under test is wired to: a scripted HTTP client,
// the activity log in a scratch folder, the headless operator and a
// confirmer (unattended unless a test swaps it).
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "net/http_client.h"
#include "payments/payment_confirmation.h"
#include "payments/tdms.h"
#include "platform/activity_log.h"
#include "platform/operator_prompt.h"
#include "support/manual_clock.h"
#include "support/temp_dir.h"

namespace oxsms::payments::testing {

inline constexpr const char* kApiKey = "QKvaTm0wR7pLs2NdY9eUa4Zc6HbJi-3GfWoXn8E";
inline constexpr const char* kPaymentUrl = "https://pagamenti.example.it";

// Answers each request with the next scripted reply; with none left it
// raises net::HttpError, as an unreachable host does.
class ScriptedHttp : public net::HttpClient {
 public:
  std::vector<net::HttpRequest> requests;

  void Reply(std::string body, long status = 200);
  void ReplyJson(const nlohmann::json& body) { Reply(body.dump()); }
  void Fail(std::string message);

  net::HttpResponse Send(const net::HttpRequest& request) override;
  // The body of request i parsed (ordered, as sent).
  nlohmann::ordered_json Body(std::size_t i = 0) const;

 private:
  std::deque<std::function<net::HttpResponse()>> replies_;
};

// A confirmer with a scripted answer: nullopt cancels; `choose` picks the
// account; every draft shown is kept.
class ScriptedConfirmer : public PaymentConfirmer {
 public:
  bool cancel = false;
  std::optional<std::size_t> choose;
  std::vector<PaymentDraft> drafts;
  std::vector<std::size_t> presets;

  std::optional<ConfirmedPayment> ConfermaDatiPagamento(const PaymentDraft& draft,
                                                        const std::vector<PaymentAccount>& accounts,
                                                        std::size_t current) override;
};

class PaymentHarness {
 public:
  PaymentHarness();

  // A PaymentService over `http`, confirming with `confirmer` (the
  // unattended one when null).
  PaymentService Service(net::HttpClient& http, PaymentConfirmer* confirmer = nullptr,
                         const std::string& base_url = kPaymentUrl);
  TDMS Dms(net::HttpClient& http, PaymentConfirmer* confirmer = nullptr);

  // The log's lines without their date and time.
  std::vector<std::string> LogTexts() const;
  std::string LogText() const { return oxsms::testing::ReadFile(dir_ / "sms.log"); }
  // Lines that contain `part`.
  std::size_t LogCount(const std::string& part) const;

  platform::ActivityLog& log() { return log_; }

 private:
  oxsms::testing::TempDir dir_;
  oxsms::testing::ManualClock clock_{45000.5};
  platform::ActivityLog log_;
  platform::HeadlessOperator operator_;
  UnattendedPaymentConfirmer unattended_;
};

// One demo account row of LINKPAG.
PaymentAccount Account(long long id, const std::string& stripe, const std::string& intestazione = "");

}  // namespace oxsms::payments::testing
