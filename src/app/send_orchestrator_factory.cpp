#include "app/send_orchestrator_factory.h"

#include <chrono>
#include <memory>

#include "app/process_context.h"
#include "dispatch/run_parts.h"
#include "dispatch/email_circular.h"
#include "email/rest_email_transport.h"
#include "email/smtp_transport.h"
#include "dispatch/tdm1.h"
#include "net/curl_http_client.h"
#include "net/host_guard.h"
#include "platform/installation.h"
#include "platform/monotonic_clock.h"
#include "platform/operator_prompt.h"

namespace oxsms::app {
namespace {

// The outside world of one settings object's runs: the HTTP client behind
// its host guard, the headless operator, the email transports.
struct ServiceParts {
  ServiceParts(ProcessContext& context, platform::ActivityLog& log)
      : curl(CurlOptionsOf(context.installation, log)),
        http(curl, std::chrono::seconds(60), elapsed),
        operator_prompt([&log](std::string_view text) { log.WriteLog(text); }),
        smtp(SmtpOptionsOf(context.installation)),
        rest(http, RestEndpointsOf(context.installation)),
        email(smtp, rest, context.email_slot, log) {}

  dispatch::RunParts Parts() {
    return dispatch::RunParts{http, &http, operator_prompt, channels::SleepFor, email, elapsed};
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
  email::SmtpTransport smtp;
  // Keeps the endpoint it chose (the primary or the fallback) for as long
  // as the settings object lives.
  email::RestEmailTransport rest;
  dispatch::EmailCircular email;
};

class TDM1Orchestrator : public service::SendOrchestrator {
 public:
  TDM1Orchestrator(std::shared_ptr<ProcessContext> context, platform::ActivityLog& log,
                   const platform::Clock& clock, bool test_mode, platform::RunJournal* journal,
                   bool force)
      : context_(std::move(context)),
        parts_(*context_, log),
        dm1_(context_->catalogue, log, clock, *context_->registry, parts_.Parts()),
        test_mode_(test_mode) {
    if (test_mode_) dm1_.CBTest = true;
    dm1_.UseJournal(journal, force);
    // While the HTTP client waits for a reply, the run's search object
    // writes its queued link bookkeeping.
    parts_.http.SetWaitingWork([this] { return dm1_.WriteQueuedBookkeeping(); });
  }
  ~TDM1Orchestrator() override { parts_.http.SetWaitingWork({}); }
  TDM1Orchestrator(const TDM1Orchestrator&) = delete;
  TDM1Orchestrator& operator=(const TDM1Orchestrator&) = delete;

  bool ReadConnect() override {
    const bool available = dm1_.ReadConnect();
    if (test_mode_) dm1_.CBTest = true;
    return available;
  }
  platform::TDateTime OrarioInvio() const override { return dm1_.OrarioInvio; }
  void SetAsService(bool as_service) override { dm1_.AsService = as_service; }
  void InviaDaServizio() override { dm1_.InviaDaServizio(); }
  bool LastRunFailed() const override { return dm1_.LastRun().Failed(); }
  bool KeepsJournal() const override { return dm1_.KeepsJournal(); }

 private:
  std::shared_ptr<ProcessContext> context_;
  ServiceParts parts_;
  dispatch::TDM1 dm1_;
  bool test_mode_;
};

}  // namespace

service::SendOrchestratorFactory MakeSendOrchestratorFactory(const platform::HomeFolder& home,
                                                             platform::ActivityLog& log,
                                                             const platform::Clock& clock,
                                                             bool test_mode,
                                                             platform::RunJournal* journal,
                                                             bool force) {
  auto context = std::make_shared<ProcessContext>(home);
  return [context, &log, &clock, test_mode, journal,
          force]() -> std::unique_ptr<service::SendOrchestrator> {
    return std::make_unique<TDM1Orchestrator>(context, log, clock, test_mode, journal, force);
  };
}

}  // namespace oxsms::app
