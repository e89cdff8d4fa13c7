// oxsms check: whether the practice of a home folder is ready for the daily
// run, one line per part: the configuration database and the settings, each
// agenda database and table, each patient database, the gateway account and
// its credit, the maker's hosts the settings use, the SMTP server.
#pragma once

#include <string>
#include <vector>

#include "app/admin_command.h"

namespace oxsms::app {

inline constexpr const char* kCheckUsage =
    "uso: oxsms [--home CARTELLA] [--json] check\n"
    "  apre ogni archivio dello studio (configurazione, ogni agenda con le sue\n"
    "  tabelle, ogni archivio pazienti) con le istruzioni del servizio, chiede al\n"
    "  gateway account e credito, prova i server del produttore usati dalle\n"
    "  impostazioni e il server SMTP; una riga per verifica, con il rimedio di\n"
    "  ciò che non va. Uscita 0 solo quando tutto è in ordine.\n";

// One check: what was checked, whether it is in order, what was found and,
// when it is not in order, how to put it right.
struct CheckLine {
  std::string what;
  bool ok = false;
  std::string detail;
  std::string fix;
};

int CheckCommand(const std::vector<std::string>& args, const AdminEnv& env);

}  // namespace oxsms::app
