// oxsms send-test: one test message to a number (SMS through the gateway) or
// an address (email through the configured transport), and what came of it.
#pragma once

#include <string>
#include <vector>

#include "app/admin_command.h"

namespace oxsms::app {

inline constexpr const char* kSendTestUsage =
    "uso: oxsms [--home CARTELLA] [--json] send-test [--text TESTO] NUMERO|INDIRIZZO\n"
    "  un SMS di prova al numero (tramite il gateway, con l'account e il mittente\n"
    "  delle impostazioni; consuma un SMS di credito) o l'email di prova\n"
    "  all'indirizzo (come 'oxsms email test'); dice che cosa ha risposto il\n"
    "  gateway o il server. Uscita 0 solo se il messaggio è stato accettato.\n";

inline constexpr const char* kTestSmsText =
    "Messaggio di prova del servizio promemoria dello studio";

int SendTestCommand(const std::vector<std::string>& args, const AdminEnv& env);

}  // namespace oxsms::app
