#include "maker-sim/sms_gateway_service.h"

#include <string>

#include "maker-sim/invalue_envelope.h"
#include "maker-sim/sim_json.h"
#include "maker-sim/sms_batch.h"
#include "platform/base64.h"
#include "platform/code_page.h"

namespace oxsms::makersim {

using nlohmann::json;

namespace {

// Runs an envelope endpoint; a malformed request is answered with HTTP 400
// and a "KO " status text, as the gateway refuses anything it cannot read.
template <typename Body>
void WithEnvelope(const httplib::Request& request, httplib::Response& response, Body body) {
  try {
    body(DecodeInvalue(request.body));
  } catch (const BadRequest& e) {
    ReplyOutvalue(response, std::string("KO Richiesta non valida: ") + e.what(), 400);
  }
}

json AccountReply(int codice, const std::string& message, long long idcliente, long long smsdisp) {
  return {{"codice", codice}, {"message", message}, {"idcliente", idcliente}, {"smsdisp", smsdisp}};
}

}  // namespace

void SmsGatewayService::AddRoutes(Router& router) {
  auto bind = [this](void (SmsGatewayService::*method)(const httplib::Request&, httplib::Response&)) {
    return [this, method](const httplib::Request& rq, httplib::Response& rs) { (this->*method)(rq, rs); };
  };
  router.AddEndpoint("POST", "/smsox/verificautente.json", bind(&SmsGatewayService::VerifyUser));
  router.AddEndpoint("POST", "/smsox/singlesmstoterver.json", bind(&SmsGatewayService::SendSingle));
  router.AddEndpoint("POST", "/smsox/filesmstoserver.json", bind(&SmsGatewayService::SendFile));
  router.AddEndpoint("POST", "/home/verifica_alias.json", bind(&SmsGatewayService::VerifyAlias));

  router.AddControl("GET", "/_sim/sms", [this](const httplib::Request&, httplib::Response& rs) {
    ReplyJson(rs, state_.MessagesJson());
  });
  router.AddControl("POST", "/_sim/accounts", [this](const httplib::Request& rq, httplib::Response& rs) {
    SmsAccount account = SmsGatewayState::AccountFromJson(ParseJsonObjectBody(rq.body));
    state_.PutAccount(account);
    ReplyJson(rs, SmsGatewayState::AccountToJson(account));
  });
  router.AddControl("POST", "/_sim/sms/refused_numbers",
                    [this](const httplib::Request& rq, httplib::Response& rs) {
                      const json body = ParseJsonObjectBody(rq.body);
                      state_.SetRefusedNumbers(SmsGatewayState::NumbersFromJson(
                          body.contains("numbers") ? body["numbers"] : json()));
                      ReplyJson(rs, state_.ToJson()["refused_numbers"]);
                    });
  router.AddControl("POST", "/_sim/aliases", [this](const httplib::Request& rq, httplib::Response& rs) {
    state_.PutAlias(SmsGatewayState::AliasFromJson(ParseJsonObjectBody(rq.body)));
    ReplyJson(rs, state_.ToJson()["aliases"]);
  });
}

void SmsGatewayService::LoadState(const json& section) {
  state_ = section.is_null() ? SmsGatewayState::Default() : SmsGatewayState::FromJson(section);
}

void SmsGatewayService::VerifyUser(const httplib::Request& request, httplib::Response& response) {
  WithEnvelope(request, response, [&](const json& in) {
    std::string user = RequiredString(in, "user");
    std::string pwd = RequiredString(in, "pwd");
    const SmsAccount* account = state_.FindUser(user);
    json out;
    if (account == nullptr) {
      out = AccountReply(2, "Utente non riconosciuto", 0, 0);
    } else if (account->pwd != pwd) {
      out = AccountReply(1, "Password errata", 0, 0);
    } else if (account->codice != 0) {
      out = AccountReply(account->codice, account->message, 0, 0);
    } else {
      out = AccountReply(0, "Utente verificato", account->idcliente, account->credit);
    }
    ReplyOutvalue(response, out.dump());
  });
}

void SmsGatewayService::SendSingle(const httplib::Request& request, httplib::Response& response) {
  WithEnvelope(request, response, [&](const json& in) {
    std::string operation = RequiredString(in, "operation");
    std::string rcpt = RequiredString(in, "rcpt");
    std::string from = RequiredString(in, "from");
    std::string data = RequiredString(in, "data");
    SmsAccount* account = state_.FindClient(RequiredInteger(in, "idcliente"));
    int credits = CreditsFor(data);
    std::string refusal;
    if (account == nullptr || account->codice != 0) {
      refusal = "KO Cliente non riconosciuto";
    } else if (operation != "TEXT" && operation != "FLASH") {
      refusal = "KO Operazione non valida: " + operation;
    } else if (!IsValidRecipient(rcpt) || state_.NumberRefused(rcpt)) {
      refusal = "KO Destinatario non valido: " + rcpt;
    } else if (data.empty()) {
      refusal = "KO Testo vuoto";
    } else if (account->credit < credits) {
      refusal = "KO Credito insufficiente";
    }
    if (!refusal.empty()) {
      ReplyOutvalue(response, refusal);
      return;
    }
    account->credit -= credits;
    long long id = state_.Accept(AcceptedSms{0, "single", account->idcliente, rcpt, from, data,
                                             operation, credits, ""});
    ReplyOutvalue(response, "OK " + std::to_string(id));
  });
}

void SmsGatewayService::SendFile(const httplib::Request& request, httplib::Response& response) {
  WithEnvelope(request, response, [&](const json& in) {
    std::string user = RequiredString(in, "user");
    std::string pwd = RequiredString(in, "pwd");
    long long idcliente = RequiredInteger(in, "idcliente");
    RequiredInteger(in, "smsinv");  // the client's own count; the gateway counts again
    long long bool_ftp = OptionalInteger(in, "bool_ftp", 0);
    std::string fattach = RequiredString(in, "fattach");

    SmsAccount* account = state_.FindUser(user);
    if (account == nullptr || account->pwd != pwd || account->idcliente != idcliente ||
        account->codice != 0) {
      ReplyOutvalue(response, "KO Utente non valido");
      return;
    }
    std::vector<BatchSms> messages;
    try {
      if (bool_ftp == 1) {
        auto decoded = platform::TryDecodeBase64(fattach);
        if (!decoded) throw BatchFormatError("\"fattach\" non è base64");
        messages = ParseLargeBatch(platform::ToUtf8Lenient(*decoded));
      } else if (bool_ftp == 0) {
        messages = ParseSmallBatch(fattach);
      } else {
        throw BatchFormatError("\"bool_ftp\" deve valere 1");
      }
    } catch (const BatchFormatError& e) {
      ReplyOutvalue(response, std::string("KO Formato non valido: ") + e.what());
      return;
    }
    if (messages.empty()) {
      ReplyOutvalue(response, "KO Nessun SMS nel file");
      return;
    }
    for (const auto& sms : messages) {
      if (state_.NumberRefused(sms.recipient)) {
        ReplyOutvalue(response, "KO Formato non valido: riga " + std::to_string(sms.line) +
                                    ": destinatario non valido \"" + sms.recipient + "\"");
        return;
      }
    }
    long long needed = 0;
    for (const auto& sms : messages) needed += CreditsFor(sms.text);
    if (account->credit < needed) {
      ReplyOutvalue(response, "KO Credito insufficiente: servono " + std::to_string(needed) +
                                  " sms, disponibili " + std::to_string(account->credit));
      return;
    }
    account->credit -= needed;
    for (auto& sms : messages) {
      state_.Accept(AcceptedSms{0, "batch", idcliente, sms.recipient, sms.sender, sms.text, "",
                                CreditsFor(sms.text), ""});
    }
    ReplyOutvalue(response, "OK " + std::to_string(messages.size()));
  });
}

void SmsGatewayService::VerifyAlias(const httplib::Request& request, httplib::Response& response) {
  if (!core_.ApiKeyAccepted(request.get_header_value("Authorization"))) {
    ReplyJson(response, {{"codice", 0}, {"response_message", "Chiave API non valida"}}, 401);
    return;
  }
  std::string alias;
  try {
    alias = RequiredString(ParseJsonObjectBody(request.body), "alias");
  } catch (const BadRequest& e) {
    ReplyJson(response, {{"codice", 0}, {"response_message", std::string("Richiesta non valida: ") + e.what()}},
              400);
    return;
  }
  const SmsAlias* found = state_.FindAlias(alias);
  if (found == nullptr) {
    ReplyJson(response, {{"codice", 0}, {"response_message", "Alias non registrato"}});
    return;
  }
  std::string message = found->response_message;
  if (message.empty()) message = found->codice == 1 ? "Alias verificato" : "Alias in attesa di verifica";
  ReplyJson(response, {{"codice", found->codice}, {"response_message", message}});
}

}  // namespace oxsms::makersim
