#include "maker-sim/sms_gateway_state.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "maker-sim/sim_json.h"

namespace oxsms::makersim {

using nlohmann::json;

namespace {

bool SameAlias(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
    return std::toupper(x) == std::toupper(y);
  });
}

}  // namespace

SmsGatewayState SmsGatewayState::Default() {
  SmsGatewayState state;
  state.accounts_.push_back(SmsAccount{"demo", "demo", 1001, 1000, 0, ""});
  state.aliases_.push_back(SmsAlias{"STUDIO", 1, ""});
  return state;
}

SmsAccount SmsGatewayState::AccountFromJson(const json& value) {
  if (!value.is_object()) throw BadRequest("l'account deve essere un oggetto JSON");
  SmsAccount account;
  account.user = RequiredString(value, "user");
  account.pwd = RequiredString(value, "pwd");
  account.idcliente = RequiredInteger(value, "idcliente");
  account.credit = OptionalInteger(value, "credit", 0);
  account.codice = static_cast<int>(OptionalInteger(value, "codice", 0));
  account.message = OptionalString(value, "message", "");
  if (account.user.empty()) throw BadRequest("account senza \"user\"");
  return account;
}

json SmsGatewayState::AccountToJson(const SmsAccount& a) {
  return {{"user", a.user},     {"pwd", a.pwd},       {"idcliente", a.idcliente},
          {"credit", a.credit}, {"codice", a.codice}, {"message", a.message}};
}

std::vector<std::string> SmsGatewayState::NumbersFromJson(const json& value) {
  if (!value.is_array()) throw BadRequest("\"refused_numbers\" deve essere un elenco di numeri");
  std::vector<std::string> numbers;
  for (const auto& number : value) {
    if (!number.is_string()) throw BadRequest("\"refused_numbers\" deve essere un elenco di numeri");
    numbers.push_back(number.get<std::string>());
  }
  return numbers;
}

bool SmsGatewayState::NumberRefused(const std::string& recipient) const {
  return std::find(refused_numbers_.begin(), refused_numbers_.end(), recipient) !=
         refused_numbers_.end();
}

SmsAlias SmsGatewayState::AliasFromJson(const json& value) {
  if (!value.is_object()) throw BadRequest("l'alias deve essere un oggetto JSON");
  SmsAlias alias;
  alias.alias = RequiredString(value, "alias");
  alias.codice = static_cast<int>(OptionalInteger(value, "codice", 1));
  alias.response_message = OptionalString(value, "response_message", "");
  if (alias.alias.empty()) throw BadRequest("alias vuoto");
  return alias;
}

SmsGatewayState SmsGatewayState::FromJson(const json& section) {
  if (!section.is_object()) throw BadRequest("lo stato \"sms\" deve essere un oggetto");
  SmsGatewayState state;
  for (const auto& account : section.value("accounts", json::array())) {
    state.PutAccount(AccountFromJson(account));
  }
  for (const auto& alias : section.value("aliases", json::array())) {
    state.PutAlias(AliasFromJson(alias));
  }
  state.SetRefusedNumbers(NumbersFromJson(section.value("refused_numbers", json::array())));
  return state;
}

json SmsGatewayState::ToJson() const {
  json accounts = json::array();
  for (const auto& a : accounts_) accounts.push_back(AccountToJson(a));
  json aliases = json::array();
  for (const auto& a : aliases_) {
    aliases.push_back({{"alias", a.alias}, {"codice", a.codice}, {"response_message", a.response_message}});
  }
  return {{"accounts", accounts}, {"aliases", aliases}, {"refused_numbers", refused_numbers_}};
}

SmsAccount* SmsGatewayState::FindUser(const std::string& user) {
  auto it = std::find_if(accounts_.begin(), accounts_.end(),
                         [&](const SmsAccount& a) { return a.user == user; });
  return it == accounts_.end() ? nullptr : &*it;
}

SmsAccount* SmsGatewayState::FindClient(long long idcliente) {
  auto it = std::find_if(accounts_.begin(), accounts_.end(),
                         [&](const SmsAccount& a) { return a.idcliente == idcliente; });
  return it == accounts_.end() ? nullptr : &*it;
}

const SmsAlias* SmsGatewayState::FindAlias(const std::string& alias) const {
  auto it = std::find_if(aliases_.begin(), aliases_.end(),
                         [&](const SmsAlias& a) { return SameAlias(a.alias, alias); });
  return it == aliases_.end() ? nullptr : &*it;
}

void SmsGatewayState::PutAccount(const SmsAccount& account) {
  if (SmsAccount* existing = FindUser(account.user)) {
    *existing = account;
  } else {
    accounts_.push_back(account);
  }
}

void SmsGatewayState::PutAlias(const SmsAlias& alias) {
  auto it = std::find_if(aliases_.begin(), aliases_.end(),
                         [&](const SmsAlias& a) { return SameAlias(a.alias, alias.alias); });
  if (it != aliases_.end()) {
    *it = alias;
  } else {
    aliases_.push_back(alias);
  }
}

long long SmsGatewayState::Accept(AcceptedSms sms) {
  sms.id = next_id_++;
  sms.time = UtcTimestamp();
  messages_.push_back(std::move(sms));
  return messages_.back().id;
}

json SmsGatewayState::MessagesJson() const {
  json list = json::array();
  for (const auto& m : messages_) {
    list.push_back({{"id", m.id},
                    {"kind", m.kind},
                    {"idcliente", m.idcliente},
                    {"recipient", m.recipient},
                    {"sender", m.sender},
                    {"text", m.text},
                    {"operation", m.operation},
                    {"credits", m.credits},
                    {"time", m.time}});
  }
  return list;
}

}  // namespace oxsms::makersim
