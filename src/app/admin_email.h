// oxsms email: the email settings of the practice (the logic of the suite's
// email settings dialog): transport and account, SMTP presets, typical
// messages, address book, and a test message.
#pragma once

#include <string>
#include <vector>

#include "app/admin_command.h"

namespace oxsms::app {

inline constexpr const char* kEmailUsage =
    "uso: oxsms [--home CARTELLA] [--json] email COMANDO\n"
    "  show                       trasporto, account (password nascosta), mittente\n"
    "  set CHIAVE=VALORE...       Host Port AuthType(0 nessuna, 1 utente e password)\n"
    "                             Username Password CBSSL Firma DaNome DaEmail ToEmail\n"
    "                             EmailBCC CBNotificaDiario CBDocEmail\n"
    "  preset [NOME]              server SMTP noto (senza nome: l'elenco)\n"
    "  use-maker                  toglie il server proprio: invio con il servizio del\n"
    "                             produttore\n"
    "  messages [list]            le email tipiche\n"
    "  messages show NOME\n"
    "  messages add NOME OGGETTO TESTO\n"
    "  messages change NOME [--subject OGGETTO] [--text TESTO]\n"
    "  messages remove NOME\n"
    "  book [list]                la rubrica\n"
    "  book add INDIRIZZO [COGNOME [NOME]]\n"
    "  book remove INDIRIZZO\n"
    "  test INDIRIZZO             invia il messaggio di prova con il trasporto configurato\n"
    "Un valore non valido: nulla viene scritto.\n";

int EmailCommand(const std::vector<std::string>& args, const AdminEnv& env);

}  // namespace oxsms::app
