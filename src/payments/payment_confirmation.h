// The confirmation of a new payment ("Conferma dati di pagamento"): the
// operator of the desktop programs checks name, description, amount and the
// account to credit before the link is created. The service has nobody to
// ask: its confirmer accepts the data as they are, logs that it did, and
// never waits.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "payments/payment_accounts.h"
#include "platform/activity_log.h"
#include "practice/recipient_records.h"

namespace oxsms::payments {

// What the confirmation shows.
struct PaymentDraft {
  std::string nominativo;   // heading
  std::string nome;         // editable name
  std::string descrizione;  // editable description (lines joined by CR LF)
  practice::Currency importo = 0;
  bool blocca_pag = false;  // the amount may not be changed
};

// What the operator confirmed: the data as changed, and the index of the
// account to credit in the accounts given.
struct ConfirmedPayment {
  std::string nome;
  std::string descrizione;
  practice::Currency importo = 0;
  std::size_t account = 0;
};

class PaymentConfirmer {
 public:
  virtual ~PaymentConfirmer() = default;
  // Presents `draft` with the choice among `accounts` (offered only when
  // there is more than one), preset to `current`. Returns the confirmed
  // data, or nullopt when the operator cancels. A confirmation never carries
  // an empty name (the dialog answers "Nome non definito" and stays open).
  virtual std::optional<ConfirmedPayment> ConfermaDatiPagamento(
      const PaymentDraft& draft, const std::vector<PaymentAccount>& accounts, std::size_t current) = 0;
};

// The confirmer of the unattended service: confirms the draft unchanged with
// the current account and writes one line to the activity log,
// "Conferma dati di pagamento senza operatore: <nominativo>, <nome>, <amount>
// euro, account Stripe <id>". A draft without a name cannot be confirmed:
// it logs "Conferma dati di pagamento: Nome non definito" and cancels.
class UnattendedPaymentConfirmer : public PaymentConfirmer {
 public:
  explicit UnattendedPaymentConfirmer(platform::ActivityLog& log) : log_(log) {}

  std::optional<ConfirmedPayment> ConfermaDatiPagamento(const PaymentDraft& draft,
                                                        const std::vector<PaymentAccount>& accounts,
                                                        std::size_t current) override;

 private:
  platform::ActivityLog& log_;
};

}  // namespace oxsms::payments
