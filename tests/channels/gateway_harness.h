// What an SmsGateway under test is wired to: a fake host, the template
// composer, the headless operator and an activity log in a scratch folder.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "channels/sms_gateway.h"
#include "platform/activity_log.h"
#include "platform/operator_prompt.h"
#include "sms_test_doubles.h"
#include "support/manual_clock.h"
#include "support/temp_dir.h"

namespace oxsms::channels::testing {

inline constexpr const char* kApiKey = "QKvaTm0wR7pLs2NdY9eUa4Zc6HbJi-3GfWoXn8E";

class GatewayHarness {
 public:
  GatewayHarness()
      : log_(dir_ / "sms.log", clock_),
        operator_([this](std::string_view line) { log_.WriteLog(line); }) {
    host.account = SmsAccount{"demo", "demo", "STUDIO", 0};
    config.rest_host = "http://127.0.0.1:1";
    config.api_key = kApiKey;
    config.batch_user = "velk_software";
    config.batch_password = "f4b2d8c61";
    config.test_batch_folder = dir_.path();
  }

  // A gateway over `http` with the current `config`.
  SmsGateway& Gateway(net::HttpClient& http) {
    gateway_ = std::make_unique<SmsGateway>(
        host, composer, operator_, http, log_, config,
        [this](std::chrono::milliseconds pause) { sleeps.push_back(pause); });
    return *gateway_;
  }

  // The log's lines without their date and time.
  std::vector<std::string> LogTexts() const;
  std::string LogText() const { return oxsms::testing::ReadFile(dir_ / "sms.log"); }
  const std::filesystem::path& folder() const { return dir_.path(); }

  FakeSmsHost host;
  TemplateComposer composer;
  SmsGatewayConfig config;
  std::vector<std::chrono::milliseconds> sleeps;

 private:
  oxsms::testing::TempDir dir_;
  oxsms::testing::ManualClock clock_{45000.5};
  platform::ActivityLog log_;
  platform::HeadlessOperator operator_;
  std::unique_ptr<SmsGateway> gateway_;
};

// The error text of `action`, or "no error".
template <typename Error, typename Action>
std::string ErrorOf(Action action) {
  try {
    action();
  } catch (const Error& e) {
    return e.what();
  }
  return "no error";
}

}  // namespace oxsms::channels::testing
