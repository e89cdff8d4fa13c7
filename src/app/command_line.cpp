#include "app/command_line.h"

#include <stdexcept>

#include "platform/error.h"

namespace oxsms::app {

std::string Usage() {
  return "uso: oxsmsd [--home CARTELLA] [--fake-now \"AAAA-MM-GG HH:MM:SS\"] [--interval-ms N]\n"
         "            [--stop-at \"AAAA-MM-GG HH:MM:SS\"]\n"
         "            [--run-now [--test]] [--force] [--install | --uninstall]\n"
         "  --home         cartella di config.ini e sms.log (predefinita: quella del programma)\n"
         "  --fake-now     orologio simulato da quell'ora: avanza di 5 minuti a ogni scatto\n"
         "                 del timer, oltre al tempo reale\n"
         "  --interval-ms  intervallo reale del timer in millisecondi (predefinito 300000)\n"
         "  --stop-at      con --fake-now: il servizio si ferma al primo scatto del timer\n"
         "                 in cui l'orologio simulato ha raggiunto quell'ora\n"
         "  --force        invia ogni tipo di messaggio anche se il diario degli invii dice\n"
         "                 che oggi è già stato inviato (scritto nel log)\n"
         "  --install, --uninstall  registra o rimuove il servizio di Windows\n";
}

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine cl;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw platform::DataError("manca il valore di " + a);
      return args[++i];
    };
    if (a == "--home") {
      cl.home = value();
    } else if (a == "--fake-now") {
      cl.fake_now = platform::ParseIsoDateTime(value());
    } else if (a == "--stop-at") {
      cl.stop_at = platform::ParseIsoDateTime(value());
    } else if (a == "--interval-ms") {
      const std::string& v = value();
      size_t used = 0;
      long n = 0;
      try {
        n = std::stol(v, &used);
      } catch (const std::logic_error&) {  // std::stol: invalid_argument, out_of_range
        used = 0;
      }
      if (used != v.size() || n <= 0) throw platform::DataError("intervallo non valido: " + v);
      cl.interval_ms = n;
    } else if (a == "--run-now") {
      cl.run_now = true;
    } else if (a == "--force") {
      cl.force = true;
    } else if (a == "--test") {
      cl.test_mode = true;
    } else if (a == "--install" || a == "/install") {
      cl.install = true;
    } else if (a == "--uninstall" || a == "/uninstall") {
      cl.uninstall = true;
    } else if (a == "--help" || a == "-h") {
      cl.help = true;
    } else {
      throw platform::DataError("opzione sconosciuta: " + a);
    }
  }
  // On the real clock a stop time would end a service nobody watches.
  if (cl.stop_at && !cl.fake_now) throw platform::DataError("--stop-at vale solo con --fake-now");
  return cl;
}

}  // namespace oxsms::app
