// The parts of a daily run as the service builds them, for tests that make a
// settings object: the libcurl client behind its host guard, the headless
// operator writing to the log, the email stand-in, and a sleeper that returns
// at once. Must outlive the settings objects given its parts.
#pragma once

#include <chrono>

#include "dispatch/email_sender.h"
#include "dispatch/run_parts.h"
#include "net/curl_http_client.h"
#include "net/host_guard.h"
#include "platform/activity_log.h"
#include "platform/desktop_handoff.h"
#include "platform/monotonic_clock.h"
#include "platform/operator_prompt.h"

namespace oxsms::testing {

class TestRunParts {
 public:
  explicit TestRunParts(platform::ActivityLog& log)
      : guard_(curl_, std::chrono::seconds(60), elapsed_),
        operator_([&log](std::string_view text) { log.WriteLog(text); }),
        desktop_([&log](std::string_view text) { log.WriteLog(text); }),
        email_(log) {}

  // The parts over the guarded libcurl client, or over `http` when given.
  dispatch::RunParts Parts(net::HttpClient* http = nullptr) {
    if (http != nullptr) {
      return dispatch::RunParts{*http,  nullptr,  operator_, [](std::chrono::milliseconds) {},
                                email_, elapsed_, desktop_};
    }
    return dispatch::RunParts{guard_, &guard_,  operator_, [](std::chrono::milliseconds) {},
                              email_, elapsed_, desktop_};
  }

 private:
  const platform::SteadyClock elapsed_;
  net::CurlHttpClient curl_;
  net::HostGuardHttpClient guard_;
  platform::HeadlessOperator operator_;
  platform::HeadlessDesktop desktop_;
  dispatch::EmailUnavailable email_;
};

}  // namespace oxsms::testing
