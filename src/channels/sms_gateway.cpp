#include "channels/sms_gateway.h"

#include <thread>
#include <utility>

#include "channels/channel_error.h"
#include "channels/sms_wire.h"

namespace oxsms::channels {
namespace {

constexpr std::chrono::milliseconds kPause{200};
constexpr const char* kNotConfigured = "Configurazione utente ancora non effettuata";

bool Configured(const SmsAccount& account) { return !account.User.empty() && !account.Pwd.empty(); }

// The key alone: blanks and line ends around it would break the header.
std::string HeaderValue(const std::string& key) {
  const auto first = key.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const auto last = key.find_last_not_of(" \t\r\n");
  return key.substr(first, last - first + 1);
}

bool IsBlank(const std::string& text) {
  return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

}  // namespace

void SleepFor(std::chrono::milliseconds pause) { std::this_thread::sleep_for(pause); }

SmsGateway::SmsGateway(SmsHost& host, MessageComposer& composer,
                       platform::OperatorPrompt& operator_prompt, net::HttpClient& http,
                       platform::ActivityLog& log, SmsGatewayConfig config, Sleeper sleep)
    : host_(host),
      composer_(composer),
      operator_(operator_prompt),
      http_(http),
      log_(log),
      config_(std::move(config)),
      sleep_(std::move(sleep)) {}

void SmsGateway::VerificaUtenteSMS(bool /*connect*/) {
  SmsAccount account = host_.GatewayAccount();
  if (!Configured(account)) {
    host_.ReadConnect();
    account = host_.GatewayAccount();
    if (!Configured(account)) {
      log_.WriteLog(kNotConfigured);
      throw ChannelError(kNotConfigured);
    }
  }

  CheckAccountOnce(account);
  if (host_.Counters().smsDisp < 1) {
    CheckAccountOnce(account);
    const int32_t left = host_.Counters().smsDisp;
    if (left < 1) {
      sleep_(kPause);
      throw ChannelError("Disponibilità di SMS esaurita: " + std::to_string(left));
    }
  }
  sleep_(kPause);
  log_.WriteLog("Sms disponibili: " + std::to_string(host_.Counters().smsDisp));
}

void SmsGateway::CheckAccountOnce(const SmsAccount& account) {
  WireObject request;
  request["user"] = account.User;
  request["pwd"] = account.Pwd;
  const net::HttpResponse reply =
      http_.Send(InvalueRequest(config_.rest_host, kVerificaUtentePath, request));
  const nlohmann::json result =
      ParseReplyObject(Outvalue(reply, kVerificaUtentePath), kVerificaUtentePath);

  const int32_t codice = net::Codice(result).value_or(0);
  if (codice == 1 || codice == 2) {
    host_.SetCounters(SmsCounters{});
    throw ChannelError("Errore di autenticazione " + StringMember(result, "message"));
  }
  const auto id = IntegerMember(result, "idcliente");
  const auto disp = IntegerMember(result, "smsdisp");
  if (!id || !disp) {
    throw GatewayReplyError("Risposta non valida dal gateway SMS (" +
                            std::string(kVerificaUtentePath) + ")");
  }
  host_.SetCounters(SmsCounters{*disp, *disp, *id});
}

int SmsGateway::verificaalias(const std::string& testata, bool shomsg) {
  nlohmann::json request;
  request["alias"] = testata.empty() ? host_.GatewayAccount().TESTATA : testata;

  net::HttpRequest http;
  http.method = "POST";
  http.url = GatewayUrl(config_.rest_host, kVerificaAliasPath);
  AddJsonHeaders(http);
  http.headers.emplace_back("Authorization", HeaderValue(config_.api_key));
  http.body = request.dump(-1, ' ', /*ensure_ascii=*/true, nlohmann::json::error_handler_t::replace);

  const net::HttpResponse reply = http_.Send(http);
  CheckStatus(reply, kVerificaAliasPath);
  if (IsBlank(reply.body)) return kAliasNoReply;

  const nlohmann::json result = ParseReplyObject(reply.body, kVerificaAliasPath);
  const auto codice = net::Codice(result);
  if (!codice) {
    throw GatewayReplyError("Risposta non valida dal gateway SMS (" +
                            std::string(kVerificaAliasPath) + ")");
  }
  if (shomsg) MostraMessaggio(StringMember(result, "response_message"));
  return *codice;
}

void SmsGateway::ScalaSmsSingolo() {
  SmsCounters counters = host_.Counters();
  if (counters.idCliente == 0) return;
  --counters.smsDisp;
  --counters.smsInviabili;
  host_.SetCounters(counters);
}

void SmsGateway::ScalaSms(int32_t count) {
  SmsCounters counters = host_.Counters();
  counters.smsDisp -= count;
  counters.smsInviabili -= count;
  host_.SetCounters(counters);
}

platform::DialogResult SmsGateway::ChiediConferma(const std::string& text,
                                                  platform::DialogKind kind,
                                                  platform::DialogButtons buttons,
                                                  platform::DialogResult unattended) {
  return operator_.ChiediConferma(text, kind, buttons, unattended);
}

void SmsGateway::MostraMessaggio(const std::string& text) { operator_.MostraMessaggio(text); }

}  // namespace oxsms::channels
