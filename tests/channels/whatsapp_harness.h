// What a WhatsAppTemplateClient under test is wired to: the SMS harness (fake
// SMS host with the shared counters, template composer, activity log in a
// scratch folder), a fake WhatsApp host, link services that record their
// calls, and the simulated maker services on a local port.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "gateway_harness.h"
#include "channels/link_services.h"
#include "channels/whatsapp_host.h"
#include "channels/whatsapp_template_sender.h"
#include "maker-sim/maker_simulator.h"
#include "net/curl_http_client.h"
#include "net/http_client.h"
#include "platform/activity_log.h"
#include "platform/base64.h"
#include "platform/operator_prompt.h"
#include "support/manual_clock.h"

namespace oxsms::channels::testing {

class FakeWhatsAppHost : public WhatsAppHost {
 public:
  WhatsAppSettings settings;
  std::vector<std::string> clipboard;

  WhatsAppSettings Settings() const override { return settings; }
  void SetDescrPagPredef(const std::string& description) override {
    settings.descr_pag_predef = description;
  }
  void CopiaNegliAppunti(const std::string& text) override { clipboard.push_back(text); }
};

// Link services that hand out predictable links and record every call:
// confirmation "c<id_agenda>", payment "p<id_agenda>". Either kind can be
// made to fail.
class RecordingLinks : public LinkServices {
 public:
  std::vector<std::string> calls;  // "OttieniLink <id_agenda>", "SalvaLinkPag <id_linkpag>", ...
  bool fail_confirmation = false;
  bool fail_payment = false;

  std::string OttieniLink(practice::TLineRec& rec) override {
    calls.push_back("OttieniLink " + rec.id_agenda);
    if (fail_confirmation) throw net::HttpError("Servizio link non raggiungibile");
    if (rec.id_agenda == "same") return rec.link_conferma;
    rec.id_web = "c" + rec.id_agenda;
    rec.link_conferma = "https://link.test/c/" + rec.id_web;
    return rec.link_conferma;
  }
  void SalvaLinkBreve(const practice::TLineRec& rec) override {
    calls.push_back("SalvaLinkBreve " + rec.id_web);
  }
  std::string OttieniLinkPag(practice::TLineRec& rec, practice::TPazRec& paz) override {
    calls.push_back("OttieniLinkPag " + rec.id_agenda);
    if (fail_payment) throw net::HttpError("Servizio pagamenti non raggiungibile");
    if (paz.id_linkpag.empty()) paz.id_linkpag = "p" + rec.id_agenda;
    paz.link_pag = "https://pay.test/s/" + paz.id_linkpag;
    return paz.link_pag;
  }
  void SalvaLinkPag(const practice::TLineRec&, const practice::TPazRec& paz) override {
    calls.push_back("SalvaLinkPag " + paz.id_linkpag);
  }
};

inline constexpr const char* kSender = "+390212345678";

class WhatsAppHarness : public GatewayHarness {
 public:
  explicit WhatsAppHarness(nlohmann::json sim_state = nlohmann::json::object())
      : sim_(std::move(sim_state)),
        wa_log_(folder() / "sms.log", clock_),
        wa_operator_([this](std::string_view line) { wa_log_.WriteLog(line); }) {
    sim_.Start();
    config.rest_host = sim_.base_url();
    host.counters = SmsCounters{1000, 1000, 1001};
    wa_host.settings.TemplaTeInvioWhts = "PROMEMORIA";
    wa_host.settings.CellWhts = kSender;
    wa_host.settings.IntestazioneWhts = "Studio Bianchi\r\nDott. Bianchi";
    wa_host.settings.IndirizzoWhts = "Via Roma 1\r\nMilano";
    wa_host.settings.AsService = true;
  }

  // A client over the current hosts, pointed at the simulator.
  WhatsAppTemplateClient& Client() {
    client_ = std::make_unique<WhatsAppTemplateClient>(
        host, wa_host, composer, [this]() -> LinkServices* { return &links; }, wa_operator_,
        http_, wa_log_, net::MakerService{sim_.base_url(), kApiKey});
    return *client_;
  }
  SmsGateway& Sms() { return Gateway(http_); }

  // Control API of the simulator.
  nlohmann::json SimGet(const std::string& path) {
    net::HttpRequest request;
    request.method = "GET";
    request.url = sim_.base_url() + path;
    return nlohmann::json::parse(control_.Send(request).body);
  }
  void SimPost(const std::string& path, const nlohmann::json& body) {
    net::HttpRequest request;
    request.url = sim_.base_url() + path;
    request.headers = {{"Content-Type", "application/json"}};
    request.body = body.dump();
    if (control_.Send(request).status != 200) throw std::runtime_error("control call refused");
  }
  void DeleteRequests() {
    net::HttpRequest request;
    request.method = "DELETE";
    request.url = sim_.base_url() + "/_sim/requests";
    control_.Send(request);
  }
  nlohmann::json Requests(const std::string& path) { return SimGet("/_sim/requests?path=" + path); }
  nlohmann::json Messages() { return SimGet("/_sim/whatsapp"); }
  // The body of the only request to "/whatsapp/invia_template.json".
  std::string SentBody() {
    const nlohmann::json requests = Requests(kInviaTemplatePath);
    if (requests.size() != 1) throw std::runtime_error("expected one request");
    return platform::DecodeBase64(requests[0].at("body_base64").get<std::string>());
  }
  nlohmann::json SentRequest() { return nlohmann::json::parse(SentBody()); }
  long long SimCredit(const std::string& user = "demo") {
    const nlohmann::json state = SimGet("/_sim/state");
    for (const auto& account : state["sms"]["accounts"]) {
      if (account["user"] == user) return account["credit"].get<long long>();
    }
    throw std::runtime_error("no such account");
  }

  FakeWhatsAppHost wa_host;
  RecordingLinks links;

 protected:
  makersim::MakerSimulator sim_;

 private:
  oxsms::testing::ManualClock clock_{45000.5};
  platform::ActivityLog wa_log_;
  platform::HeadlessOperator wa_operator_;
  net::CurlHttpClient http_;
  net::CurlHttpClient control_;
  std::unique_ptr<WhatsAppTemplateClient> client_;
};

// The text of a base64 value as the service decodes it.
inline std::string Decoded(const nlohmann::json& value) {
  return platform::DecodeBase64(value.get<std::string>());
}

}  // namespace oxsms::channels::testing
