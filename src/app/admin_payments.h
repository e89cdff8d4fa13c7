// oxsms payments: the practice's payment-link catalogue and the payments of
// its links, as the suite's desktop programs manage them: the Stripe accounts
// and predefined links kept in step with the maker's payment service, the
// status of a payment, a refund.
#pragma once

#include <string>
#include <vector>

#include "app/admin_command.h"

namespace oxsms::app {

inline constexpr const char* kPaymentsUsage =
    "uso: oxsms [--home CARTELLA] [--json] payments COMANDO\n"
    "  accounts [list]            gli account Stripe dello studio e lo stato dei link di\n"
    "                             pagamento\n"
    "  accounts refresh           aggiorna gli account dal servizio di pagamento\n"
    "  links [list] [ACCOUNT]     i link di pagamento predefiniti (ACCOUNT: id Stripe o ID)\n"
    "  links refresh [ACCOUNT]    ricarica dal servizio i link predefiniti (tutti gli\n"
    "                             account se non indicato)\n"
    "  links add NOME PREZZO [--description TESTO] [--account ACCOUNT]\n"
    "                             nuovo link predefinito (account: il primo se non indicato)\n"
    "  links change ID [--name NOME] [--price PREZZO] [--description TESTO]\n"
    "  links remove ID\n"
    "  status CODICE              il pagamento di un link: effettuato, quando, rimborsato\n"
    "  refund CODICE              chiede il rimborso del pagamento di un link\n"
    "PREZZO in euro, fino a quattro decimali (12.50 o 12,50).\n";

int PaymentsCommand(const std::vector<std::string>& args, const AdminEnv& env);

}  // namespace oxsms::app
