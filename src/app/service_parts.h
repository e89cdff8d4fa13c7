// The outside world of one settings object's runs, as the service builds
// it: the HTTP client behind its host guard, the headless operator, the
// email transports. The process context and the log must outlive it.
#pragma once

#include <chrono>

#include "app/process_context.h"
#include "dispatch/email_circular.h"
#include "dispatch/run_parts.h"
#include "email/rest_email_transport.h"
#include "email/smtp_transport.h"
#include "net/curl_http_client.h"
#include "net/host_guard.h"
#include "platform/activity_log.h"
#include "platform/desktop_handoff.h"
#include "platform/installation.h"
#include "platform/monotonic_clock.h"
#include "platform/operator_prompt.h"

namespace oxsms::app {

struct ServiceParts {
  // `desktop`: the desktop of the manual WhatsApp hand-off; none = the
  // headless one (the service). It must outlive the object.
  ServiceParts(ProcessContext& context, platform::ActivityLog& log,
               platform::DesktopHandoff* desktop = nullptr)
      : curl(CurlOptionsOf(context.installation, log)),
        http(curl, std::chrono::seconds(60), elapsed),
        operator_prompt([&log](std::string_view text) { log.WriteLog(text); }),
        headless_desktop([&log](std::string_view text) { log.WriteLog(text); }),
        desktop(desktop != nullptr ? *desktop : headless_desktop),
        smtp(SmtpOptionsOf(context.installation)),
        rest(http, RestEndpointsOf(context.installation)),
        email(smtp, rest, context.email_slot, log) {}

  // `report` (nullptr: none) keeps each run's lines.
  dispatch::RunParts Parts(dispatch::RunRecorder* report = nullptr) {
    return dispatch::RunParts{http,  &http,   operator_prompt, channels::SleepFor,
                              email, elapsed, desktop,         report};
  }

  // TLS certificates are always verified; config.ini may name the CA file.
  // Waiting work that fails is written to the activity log.
  static net::CurlOptions CurlOptionsOf(const platform::Installation& installation,
                                        platform::ActivityLog& log) {
    net::CurlOptions options;
    options.ca_file = installation.ca_file;
    options.max_stall = std::chrono::seconds(installation.http_timeout_seconds);
    options.log = &log;
    return options;
  }
  static email::SmtpOptions SmtpOptionsOf(const platform::Installation& installation) {
    email::SmtpOptions options;
    options.ca_file = installation.ca_file;
    return options;
  }
  static email::RestEmailEndpoints RestEndpointsOf(const platform::Installation& installation) {
    return {installation.email_url, installation.email_probe_host,
            installation.email_fallback_url, installation.api_key};
  }

  const platform::SteadyClock elapsed;
  net::CurlHttpClient curl;
  // A maker host that does not answer would otherwise cost its time-outs on
  // every line of a batch; the send goes on without it for a while.
  net::HostGuardHttpClient http;
  platform::HeadlessOperator operator_prompt;
  platform::HeadlessDesktop headless_desktop;
  platform::DesktopHandoff& desktop;
  email::SmtpTransport smtp;
  // Keeps the endpoint it chose (the primary or the fallback) for as long
  // as the settings object lives.
  email::RestEmailTransport rest;
  dispatch::EmailCircular email;
};

}  // namespace oxsms::app
