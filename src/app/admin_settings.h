// oxsms settings: the settings document of the service, shown and changed.
#pragma once

#include <string>
#include <vector>

#include "app/admin_command.h"

namespace oxsms::app {

inline constexpr const char* kSettingsUsage =
    "uso: oxsms [--home CARTELLA] [--json] settings show [--show-secrets]\n"
    "     oxsms [--home CARTELLA] [--json] settings set CHIAVE=VALORE...\n"
    "  show  le impostazioni del servizio come le legge il servizio (le password\n"
    "        nascoste, salvo --show-secrets); senza documento memorizzato, i valori\n"
    "        predefiniti\n"
    "  set   cambia le chiavi date e memorizza il documento come fa il servizio;\n"
    "        una chiave sconosciuta o un valore non valido: nulla viene scritto.\n"
    "        Sì/no: true o false (anche si/no, 1/0); ora: 11.00 o 11:00;\n"
    "        cellverifica1, tabagescluse: voci separate da virgole\n";

// `args` follow "settings". Raises UsageError for a wrong command line or a
// refused value, platform::Error for what the stores raise.
int SettingsCommand(const std::vector<std::string>& args, const AdminEnv& env);

}  // namespace oxsms::app
