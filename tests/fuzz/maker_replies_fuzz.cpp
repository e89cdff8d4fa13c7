// The reply bodies of the maker's services, read by the clients that ask
// for them. The first byte picks the client; the rest is the body of every
// reply (HTTP 200). Only the program's errors (platform::Error: the
// channels', payments' and email errors) may come out.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "channels/confirmation_link.h"
#include "channels/sms_gateway.h"
#include "channels/whatsapp_template_sender.h"
#include "email/rest_email_transport.h"
#include "fuzz_check.h"
#include "net/maker_rest.h"
#include "payments/payment_links.h"
#include "payments/tdms.h"
#include "platform/clock.h"

using oxsms::fuzz::Check;
namespace channels = oxsms::channels;
namespace net = oxsms::net;
namespace platform = oxsms::platform;
namespace practice = oxsms::practice;

namespace {

constexpr const char* kLine = "Rossi,Mario,+39 333.123.4567,17/05/2025,10:30";

class ReplyingClient : public net::HttpClient {
 public:
  explicit ReplyingClient(std::string body) : body_(std::move(body)) {}
  net::HttpResponse Send(const net::HttpRequest&) override { return {200, body_, "application/json"}; }

 private:
  std::string body_;
};

class Host : public channels::SmsHost, public channels::WhatsAppHost {
 public:
  channels::SmsCounters Counters() const override { return counters; }
  void SetCounters(const channels::SmsCounters& c) override { counters = c; }
  channels::SmsAccount GatewayAccount() const override { return {"demo", "demo", "STUDIO", 0}; }
  bool TestMode() const override { return false; }
  bool SkipZeroFees() const override { return false; }
  practice::RecipientLists& Batch() override { return lists; }
  bool ReadConnect() override { return true; }
  channels::WhatsAppSettings Settings() const override {
    channels::WhatsAppSettings s;
    s.TemplaTeInvioWhts = "promemoria";
    s.TestoLiberoInvioWhts = "Gentile <Nome>";
    return s;
  }
  void SetDescrPagPredef(const std::string&) override {}
  void CopiaNegliAppunti(const std::string&) override {}

  channels::SmsCounters counters{100, 100, 1001};
  practice::RecipientLists lists = Lists();

 private:
  static practice::RecipientLists Lists() {
    practice::RecipientLists lists;
    lists.listCell = {kLine};
    lists.list_id_agenda = {"42"};
    return lists;
  }
};

channels::SmsGatewayConfig GatewayConfig() {
  channels::SmsGatewayConfig config;
  config.rest_host = "http://127.0.0.1:1";
  config.api_key = "chiave";
  return config;
}

class Composer : public channels::MessageComposer {
 public:
  practice::TLineRec ParseLineRec(const std::string& line) const override {
    practice::TLineRec rec;
    rec.Cognome = line.substr(0, line.find(','));
    rec.Paese = "+39";
    rec.Cellulare = "3331234567";
    return rec;
  }
  std::string ComponiTesto(const std::vector<std::string>& lines, practice::TLineRec&,
                           practice::TPazRec&) override {
    return lines.empty() ? "" : lines.front();
  }
};

// What every client is wired to.
struct World {
  explicit World(std::string body)
      : http(std::move(body)),
        log(oxsms::fuzz::ScratchFile("sms.log", ""), clock),
        operator_prompt([this](std::string_view line) { log.WriteLog(line); }),
        confirmer(log) {}

  ReplyingClient http;
  platform::SystemClock clock;
  platform::ActivityLog log;
  platform::HeadlessOperator operator_prompt;
  oxsms::payments::UnattendedPaymentConfirmer confirmer;
  Host host;
  Composer composer;
  net::MakerService service{"http://127.0.0.1:1", "chiave"};
};

void SmsAccount(World& w) {
  channels::SmsGateway gateway(w.host, w.composer, w.operator_prompt, w.http, w.log,
                               GatewayConfig(),
                               [](std::chrono::milliseconds) {});
  gateway.VerificaUtenteSMS(false);
}

void SmsSend(World& w) {
  channels::SmsGateway gateway(w.host, w.composer, w.operator_prompt, w.http, w.log,
                               GatewayConfig(),
                               [](std::chrono::milliseconds) {});
  gateway.verificaalias("STUDIO", false);
  gateway.SendSingleSmS(w.composer.ParseLineRec(kLine), {"Promemoria"});
}

void WhatsApp(World& w) {
  channels::WhatsAppTemplateClient client(w.host, w.host, w.composer, [] { return nullptr; },
                                          w.operator_prompt, w.http, w.log, w.service);
  try {
    client.ListaTemplate();
  } catch (const platform::Error&) {
  }
  client.MultiSendWhtsB({kLine});
}

void ConfirmationLink(World& w) {
  channels::ConfirmationLinks links({{"demo", "demo", 24}, w.service}, w.http, w.log);
  practice::TLineRec rec;
  rec.Data = "17/05/2025";
  rec.Ora = "10:30";
  rec.id_agenda = "42";
  const std::string link = links.OttieniLink(rec);
  Check(link == rec.link_conferma, "the link returned is the one kept");
}

void PaymentLink(World& w) {
  oxsms::payments::PaymentService service{w.service, w.http, w.log, w.operator_prompt, w.confirmer};
  oxsms::payments::PaymentLinks links(
      service, [] { return oxsms::payments::AccountCredentials{"demo", "demo"}; },
      [] { return std::vector<oxsms::payments::PaymentAccount>{{1, "acct_1", "Studio", ""}}; });
  practice::TLineRec rec;
  rec.Cognome = "Rossi";
  rec.Nome = "Mario";
  practice::TPazRec paz;
  paz.incasso = 1500000;
  links.OttieniLinkPag(rec, paz);

  oxsms::payments::TDMS tdms(service);
  std::string status;
  practice::Currency fee = 0;
  tdms.StatoPagamento("abc123", status, fee);
}

void RestEmail(World& w) {
  oxsms::email::RestEmailTransport transport(
      w.http, {"http://127.0.0.1:1", "127.0.0.1:1", "http://127.0.0.1:2", "chiave"},
      [](const std::string&) { return true; });
  oxsms::email::EmailMessage message;
  message.subject = "Promemoria";
  message.html_body = "Gentile Mario";
  message.to = {{"mario.rossi@example.it", "Mario Rossi"}};
  oxsms::email::EmailSettings settings;
  settings.DaEmail = "studio@example.it";
  transport.Deliver(message, settings);
}

void Envelope(World& w) {
  const net::MakerReply reply = net::ReadMakerReply(w.http.Send({}));
  if (reply.done()) Check(reply.object.has_value(), "done without an object");
  reply.response_message();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  World world(oxsms::fuzz::Text(data + 1, size - 1));
  using Client = void (*)(World&);
  constexpr Client kClients[] = {SmsAccount, SmsSend,   WhatsApp, ConfirmationLink,
                                 PaymentLink, RestEmail, Envelope};
  try {
    kClients[data[0] % std::size(kClients)](world);
  } catch (const platform::Error&) {
  }
  return 0;
}
