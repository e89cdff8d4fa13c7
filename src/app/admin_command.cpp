#include "app/admin_command.h"

#include <optional>

#include "app/admin_check.h"
#include "app/admin_email.h"
#include "app/admin_payments.h"
#include "app/admin_report.h"
#include "app/admin_send_test.h"
#include "app/admin_settings.h"

namespace oxsms::app {
namespace {

constexpr const char* kUsage =
    "uso: oxsms [--home CARTELLA] [--json] COMANDO [--help]\n"
    "  --home   cartella di config.ini e sms.log del servizio (predefinita: quella\n"
    "           del programma, come per oxsmsd)\n"
    "  --json   la risposta come documento JSON\n"
    "comandi:\n"
    "  settings show | set   le impostazioni del servizio\n"
    "  email ...             impostazioni email, email tipiche, rubrica, prova\n"
    "  check                 verifica archivi, account, server: pronto per l'invio?\n"
    "  send-test DESTINATARIO  un SMS o un'email di prova\n"
    "  preview [--date G]    che cosa invierebbe l'invio del giorno\n"
    "  report [--date G]     che cosa hanno fatto gli invii del giorno\n"
    "  payments ...          account e link di pagamento, stato e rimborso\n"
    "uscita: 0 fatto, 1 non riuscito (il motivo su stderr), 2 comando o valore\n"
    "non valido (nulla è stato cambiato)\n";

struct GlobalOptions {
  std::optional<std::string> home;
  bool json = false;
  bool help = false;
  std::vector<std::string> command;  // the subcommand and its arguments
};

GlobalOptions ParseGlobalOptions(const std::vector<std::string>& args) {
  GlobalOptions options;
  std::size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--home") {
      if (i + 1 >= args.size()) throw UsageError("manca il valore di --home");
      options.home = args[++i];
    } else if (a == "--json") {
      options.json = true;
    } else if (a == "--help" || a == "-h") {
      options.help = true;
    } else if (!a.empty() && a[0] == '-') {
      throw UsageError("opzione sconosciuta: " + a);
    } else {
      break;
    }
  }
  options.command.assign(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
  return options;
}

int Dispatch(const GlobalOptions& options, const AdminEnv& env) {
  if (options.help || options.command.empty()) {
    (options.help ? env.out : env.err) << kUsage;
    return options.help ? kAdminOk : kAdminUsage;
  }
  const std::string& name = options.command[0];
  const std::vector<std::string> rest(options.command.begin() + 1, options.command.end());
  if (name == "settings") return SettingsCommand(rest, env);
  if (name == "check") return CheckCommand(rest, env);
  if (name == "email") return EmailCommand(rest, env);
  if (name == "send-test") return SendTestCommand(rest, env);
  if (name == "payments") return PaymentsCommand(rest, env);
  if (name == "preview") return PreviewCommand(rest, env);
  if (name == "report") return ReportCommand(rest, env);
  throw UsageError("comando sconosciuto: " + name);
}

}  // namespace

int RunAdminCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  GlobalOptions options;
  try {
    options = ParseGlobalOptions(args);
  } catch (const UsageError& e) {
    err << "oxsms: " << e.what() << "\n" << kUsage;
    return kAdminUsage;
  }
  const platform::HomeFolder home = options.home ? platform::HomeFolder(*options.home)
                                                 : platform::HomeFolder::OfExecutable();
  const AdminEnv env{home, out, err, options.json};
  try {
    return Dispatch(options, env);
  } catch (const UsageError& e) {
    err << "oxsms: " << e.what() << "\n";
    return kAdminUsage;
  } catch (const platform::Error& e) {
    // The stores' errors: a database, the settings document, config.ini.
    err << "oxsms: " << platform::Describe(e) << "\n";
    return kAdminFailed;
  }
}

}  // namespace oxsms::app
