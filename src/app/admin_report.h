// oxsms preview and oxsms report: what the run of a day would send, and what
// the runs of a day did, in the same lines: kind, channel, recipient, text,
// outcome and the answer or reason.
#pragma once

#include <string>
#include <vector>

#include "app/admin_command.h"

namespace oxsms::app {

inline constexpr const char* kPreviewUsage =
    "uso: oxsms [--home CARTELLA] [--json] preview [--date AAAA-MM-GG]\n"
    "  che cosa invierebbe l'invio del giorno (predefinito: il prossimo, oggi se\n"
    "  l'ora di invio non è passata, altrimenti domani): ogni destinatario con\n"
    "  tipo, canale e testo composto, e ogni paziente dei giorni cercati che non\n"
    "  riceve nulla con il motivo. Non invia nulla, non crea link (al loro posto\n"
    "  resta il segnaposto) e non scrive negli archivi.\n"
    "  Uscita 0; 1 se la ricerca non ha potuto leggere tutto (detto su stderr).\n";

inline constexpr const char* kReportUsage =
    "uso: oxsms [--home CARTELLA] [--json] report [--date AAAA-MM-GG]\n"
    "  il rapporto degli invii del giorno (predefinito: oggi), dal file\n"
    "  rapporto_AAAA-MM-GG.json della cartella: per ogni esecuzione inizio e\n"
    "  fine, credito prima e dopo, e le righe con il loro esito. Uscita 0; 1 se\n"
    "  il giorno non ha rapporto.\n";

int PreviewCommand(const std::vector<std::string>& args, const AdminEnv& env);
int ReportCommand(const std::vector<std::string>& args, const AdminEnv& env);

}  // namespace oxsms::app
