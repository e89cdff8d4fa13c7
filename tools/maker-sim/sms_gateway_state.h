// What the simulated SMS gateway keeps: accounts with their credit, the
// sender-alias registry and every message it accepted. Not thread-safe: used
// with the simulator's state lock held.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace oxsms::makersim {

struct SmsAccount {
  std::string user;
  std::string pwd;
  long long idcliente = 0;
  long long credit = 0;
  // 0 = account in order; 1 or 2 = refused at the account check, with message.
  int codice = 0;
  std::string message;
};

struct SmsAlias {
  std::string alias;
  int codice = 1;  // 1 = verified
  std::string response_message;
};

struct AcceptedSms {
  long long id = 0;
  std::string kind;  // "single" or "batch"
  long long idcliente = 0;
  std::string recipient;
  std::string sender;
  std::string text;       // UTF-8
  std::string operation;  // "TEXT" or "FLASH" (single sends)
  int credits = 0;
  std::string time;
};

class SmsGatewayState {
 public:
  // One account (user "demo", pwd "demo", idcliente 1001, credit 1000) and the
  // verified alias "STUDIO".
  static SmsGatewayState Default();
  // Raises BadRequest on a malformed document.
  static SmsGatewayState FromJson(const nlohmann::json& section);
  // Accounts, aliases and refused numbers (the messages are not part of the saved state).
  nlohmann::json ToJson() const;

  SmsAccount* FindUser(const std::string& user);
  SmsAccount* FindClient(long long idcliente);
  const SmsAlias* FindAlias(const std::string& alias) const;

  // Adds or replaces (same user) an account; adds or replaces an alias.
  void PutAccount(const SmsAccount& account);
  void PutAlias(const SmsAlias& alias);

  // Numbers the gateway refuses although they are well formed (a number no
  // network knows), as the real gateway may: a batch naming one is refused
  // ("KO Formato non valido: riga N: ..."), and so is a WhatsApp request.
  bool NumberRefused(const std::string& recipient) const;
  void SetRefusedNumbers(std::vector<std::string> numbers) { refused_numbers_ = std::move(numbers); }

  // Stores the message with the next id and returns that id.
  long long Accept(AcceptedSms sms);
  nlohmann::json MessagesJson() const;

  static SmsAccount AccountFromJson(const nlohmann::json& value);
  static nlohmann::json AccountToJson(const SmsAccount& account);
  static SmsAlias AliasFromJson(const nlohmann::json& value);
  // A JSON list of number texts; raises BadRequest otherwise.
  static std::vector<std::string> NumbersFromJson(const nlohmann::json& value);

 private:
  std::vector<SmsAccount> accounts_;
  std::vector<SmsAlias> aliases_;
  std::vector<std::string> refused_numbers_;
  std::vector<AcceptedSms> messages_;
  long long next_id_ = 1;
};

}  // namespace oxsms::makersim
