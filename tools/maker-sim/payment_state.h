// What the simulated payment service keeps: the Stripe accounts of each
// practice account (user and password are checked against the SMS
// gateway's accounts, see sim_accounts.h), the predefined payment links, and the payments (one per
// link created for a patient, any number per predefined link). Amounts are
// in ten-thousandths of a euro. Not thread-safe: used with the simulator's
// state lock held.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace oxsms::makersim {

struct StripeAccount {
  std::string id_account_stripe;
  std::string descrizione;
  std::string piva;
  bool inesistente = false;              // reported with "bool_account_inesistente" "1"
  std::string data_attivazione_connect;  // empty = not active yet
};

// The Stripe accounts of one practice account.
struct PaymentUser {
  std::string user;
  std::vector<StripeAccount> accounts;
};

struct PredefinedLink {
  std::string link_breve;
  std::string id_account_stripe;
  std::string titolo;
  std::string descrizione;
  long long importo = 0;
  std::string data_scadenza;
};

struct SimPayment {
  std::string link_breve;  // the payment's own code, or the predefined link's
  bool predefinito = false;  // paid through a predefined link
  std::string id_account_stripe;
  std::string nominativo, badge, guid, recapito_telefonico, nome, descrizione;
  long long importo = 0;
  long long fee = 0;
  std::string creato_il;
  std::string pagato_il;      // empty = not paid
  std::string rimborsato_il;  // empty = not refunded
};

class PaymentState {
 public:
  // User "demo" with the active Stripe account "acct_1Demo1" of
  // the demo practice (the account tools/fixture writes into LINKPAG with its
  // default seed) and its predefined links "PVISITA1" (60 euros) and
  // "PIGIENE1" (80 euros); no payments.
  static PaymentState Default();
  // Raises BadRequest on a malformed section.
  static PaymentState FromJson(const nlohmann::json& section);
  nlohmann::json ToJson() const;

  // The Stripe accounts of `user` (none when the user has no entry).
  const PaymentUser& UserEntry(const std::string& user) const;
  // The user's Stripe account, or nullptr.
  static const StripeAccount* AccountOf(const PaymentUser& user, const std::string& id);

  std::vector<PredefinedLink>& links() { return links_; }
  std::vector<SimPayment>& payments() { return payments_; }
  PredefinedLink* FindLink(const std::string& code);
  // The payment created for a patient with this code, or nullptr.
  SimPayment* FindUrlPayment(const std::string& code);

  // A new code no link or payment has: 8 letters and digits.
  std::string NewCode();

  // Adds or replaces (same name) the entry of a user.
  void PutUser(PaymentUser user);

  static PaymentUser UserFromJson(const nlohmann::json& value);
  static nlohmann::json UserToJson(const PaymentUser& user);
  static nlohmann::json PaymentToJson(const SimPayment& payment);

 private:
  std::vector<PaymentUser> users_;
  PaymentUser no_user_;
  std::vector<PredefinedLink> links_;
  std::vector<SimPayment> payments_;
  unsigned long long next_code_ = 1;
};

// Ten-thousandths of a euro as a JSON number in euros, and back (raises
// BadRequest for a value that is no number or has more than four decimals).
double Euros(long long amount);
long long AmountOf(const nlohmann::json& value, const char* name);

// Local time as "yyyy-mm-dd hh:nn:ss".
std::string LocalDateTime();

}  // namespace oxsms::makersim
