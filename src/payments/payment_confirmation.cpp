#include "payments/payment_confirmation.h"

#include "payments/payment_amount.h"

namespace oxsms::payments {

std::optional<ConfirmedPayment> UnattendedPaymentConfirmer::ConfermaDatiPagamento(
    const PaymentDraft& draft, const std::vector<PaymentAccount>& accounts, std::size_t current) {
  if (draft.nome.empty()) {
    // The dialog would stay open until somebody typed a name: nobody will.
    log_.WriteLog("Conferma dati di pagamento: Nome non definito");
    return std::nullopt;
  }
  const std::string account =
      current < accounts.size() ? accounts[current].id_account_stripe : std::string();
  log_.WriteLog("Conferma dati di pagamento senza operatore: " + draft.nominativo + ", " + draft.nome +
                ", " + FormatEuro(draft.importo) + " euro, account Stripe " +
                (account.empty() ? "non definito" : account));
  return ConfirmedPayment{draft.nome, draft.descrizione, draft.importo, current};
}

}  // namespace oxsms::payments
