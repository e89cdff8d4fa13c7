#include "app/admin_payments.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "app/process_context.h"
#include "app/service_parts.h"
#include "dispatch/settings_document.h"
#include "dispatch/settings_store.h"
#include "payments/payment_amount.h"
#include "payments/payment_error.h"
#include "payments/tdms.h"
#include "platform/activity_log.h"
#include "platform/clock.h"

namespace oxsms::app {
namespace {

using Json = nlohmann::ordered_json;
using payments::PaymentAccount;
using payments::PredefinedLink;

constexpr std::size_t kMaxDecimals = 4;

// The person at the terminal is the operator: what the payment module shows
// the operator is kept for the command's answer, and logged as the service
// logs it.
class CommandOperator : public platform::OperatorPrompt {
 public:
  explicit CommandOperator(platform::ActivityLog& log)
      : headless_([&log](std::string_view text) { log.WriteLog(text); }) {}

  platform::DialogResult ChiediConferma(std::string_view text, platform::DialogKind kind,
                                        platform::DialogButtons buttons,
                                        platform::DialogResult unattended) override {
    return headless_.ChiediConferma(text, kind, buttons, unattended);
  }
  void MostraMessaggio(std::string_view text) override {
    messages.emplace_back(text);
    headless_.MostraMessaggio(text);
  }

  std::vector<std::string> messages;

 private:
  platform::HeadlessOperator headless_;
};

std::string OneLine(std::string text) {
  std::replace(text.begin(), text.end(), '\r', ' ');
  std::replace(text.begin(), text.end(), '\n', ' ');
  return text;
}

practice::Currency PriceArg(const std::string& text) {
  const std::size_t separator = text.find_first_of(".,");
  const bool too_precise =
      separator != std::string::npos && text.size() - separator - 1 > kMaxDecimals;
  practice::Currency price = 0;
  try {
    price = payments::CurrencyFromJson(nlohmann::json(text));
  } catch (const payments::PaymentError&) {
    throw UsageError("prezzo non valido: \"" + text + "\"; nulla è stato scritto");
  }
  if (too_precise || price <= 0) {
    throw UsageError("il prezzo va da 0,0001 euro in su, con al più quattro decimali: \"" + text +
                     "\"; nulla è stato scritto");
  }
  return price;
}

long long IdArg(const std::string& text) {
  if (text.empty() || text.size() > 18 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    throw UsageError("ID del link non valido: \"" + text + "\"");
  }
  return std::stoll(text);
}

// Options "--name VALUE" ... after the positional arguments.
std::optional<std::string> Option(const std::vector<std::string>& args, std::size_t from,
                                  const std::string& name, const std::vector<std::string>& known) {
  std::optional<std::string> value;
  for (std::size_t i = from; i < args.size(); ++i) {
    if (std::find(known.begin(), known.end(), args[i]) == known.end()) {
      throw UsageError("argomento non atteso: " + args[i]);
    }
    if (i + 1 >= args.size()) throw UsageError("manca il valore di " + args[i]);
    if (args[i] == name) value = args[i + 1];
    ++i;
  }
  return value;
}

Json AccountJson(const PaymentAccount& a) {
  return {{"id", a.id},
          {"id_account_stripe", a.id_account_stripe},
          {"descrizione", a.descrizione},
          {"intestazione", a.intestazione}};
}

Json LinkJson(const PredefinedLink& l) {
  return {{"id", l.id},
          {"id_account", l.id_account},
          {"nome", l.nome},
          {"descrizione", l.descrizione},
          {"prezzo", payments::EuroNumber(l.prezzo)},
          {"url", l.url},
          {"url_dashboard", l.url_dashboard}};
}

// The payment module over the practice's configuration database and the
// maker's payment service, with the account of the service's settings.
class PaymentsAdmin {
 public:
  explicit PaymentsAdmin(const AdminEnv& env)
      : env_(env),
        log_(env.home.File("sms.log"), clock_),
        context_(env.home, log_),
        operator_(log_),
        confirmer_(log_),
        parts_(context_, log_),
        dms_(payments::PaymentService{
            {context_.installation.payment_url, context_.installation.api_key},
            parts_.http,
            log_,
            operator_,
            confirmer_}) {
    dispatch::PrepareSettingsDatabase(connection_, context_.catalogue,
                                      dispatch::DesktopProgramsIn(env.home.dir()));
    dms_.SetDatabaseConfig(connection_, clock_);
  }

  int Accounts(const std::vector<std::string>& args) {
    const std::string verb = args.empty() ? "list" : args[0];
    if (args.size() > 1) throw UsageError("argomento non atteso: " + args[1]);
    if (verb == "refresh") {
      UseServiceAccount();
      if (!dms_.CaricaAccountVelk()) return Refused("account non aggiornati");
      log_.WriteLog("Account di pagamento aggiornati con oxsms");
      dms_.SetDatabaseConfig(connection_, clock_);  // the state follows the accounts
    } else if (verb != "list") {
      throw UsageError("comando sconosciuto: payments accounts " + verb);
    }
    const std::vector<PaymentAccount> accounts = dms_.Accounts();
    if (env_.json) {
      Json list = Json::array();
      for (const auto& a : accounts) list.push_back(AccountJson(a));
      env_.out << Json{{"stato", dms_.StatoLinkPag()},
                       {"in_uso", dms_.LinkPagMsg()},
                       {"accounts", list}}
                      .dump(2)
               << "\n";
      return kAdminOk;
    }
    env_.out << "link di pagamento: " << (dms_.LinkPagMsg() ? "in uso" : "non in uso") << "\n";
    for (const auto& a : accounts) {
      env_.out << a.id << "  " << a.id_account_stripe << "  " << a.descrizione
               << (a.intestazione.empty() ? "" : "  (" + a.intestazione + ")") << "\n";
    }
    return kAdminOk;
  }

  int Links(const std::vector<std::string>& args) {
    const std::string verb = args.empty() ? "list" : args[0];
    if (verb == "list" || verb == "refresh") {
      if (args.size() > 2) throw UsageError("argomento non atteso: " + args[2]);
      const std::vector<PaymentAccount> chosen =
          args.size() == 2 ? std::vector<PaymentAccount>{AccountArg(args[1])} : dms_.Accounts();
      if (verb == "refresh") {
        UseServiceAccount();
        for (const PaymentAccount& account : chosen) {
          if (!dms_.RicaricaLink(account))
            return Refused("link dell'account " + account.id_account_stripe);
          log_.WriteLog("Link di pagamento predefiniti ricaricati con oxsms: " +
                        account.id_account_stripe);
        }
      }
      return PrintLinks(chosen);
    }
    if (verb == "add") return Add(args);
    if (verb == "change") return Change(args);
    if (verb == "remove") return Remove(args);
    throw UsageError("comando sconosciuto: payments links " + verb);
  }

  int Status(const std::vector<std::string>& args) {
    if (args.size() != 1 || args[0].empty()) throw UsageError("uso: payments status CODICE");
    UseServiceAccount();
    std::string text;
    practice::Currency fee = 0;
    const bool paid = dms_.StatoPagamento(args[0], text, fee);
    if (env_.json) {
      env_.out << Json{{"codice", args[0]},
                       {"pagato", paid},
                       {"testo", text},
                       {"fee", payments::EuroNumber(fee)}}
                      .dump(2)
               << "\n";
    } else {
      std::string shown = text;
      shown.erase(std::remove(shown.begin(), shown.end(), '\r'), shown.end());
      env_.out << shown << "\n";
      if (paid) env_.out << "commissione: " << payments::FormatEuro(fee) << " euro\n";
    }
    return kAdminOk;
  }

  int Refund(const std::vector<std::string>& args) {
    if (args.size() != 1 || args[0].empty()) throw UsageError("uso: payments refund CODICE");
    UseServiceAccount();
    log_.WriteLog("Rimborso chiesto con oxsms: " + args[0]);
    if (!dms_.StornaPagamento(args[0], true)) return Refused("rimborso non eseguito");
    const std::string answer = operator_.messages.empty() ? "" : OneLine(operator_.messages.back());
    if (env_.json) {
      env_.out << Json{{"codice", args[0]}, {"rimborsato", true}, {"risposta", answer}}.dump(2)
               << "\n";
    } else {
      env_.out << "Rimborso eseguito: " << answer << "\n";
    }
    return kAdminOk;
  }

 private:
  // The practice's account at the maker's services, from the stored settings.
  void UseServiceAccount() {
    dispatch::StoredSettings store(context_.catalogue);
    dispatch::TDM1Settings fields;
    if (const auto document = store.Read()) dispatch::ApplySettingsDocument(*document, fields);
    if (fields.UserConnect.User.empty()) {
      throw platform::Error(
          platform::ErrorCategory::kConfiguration,
          "account dei servizi non impostato: 'oxsms settings set user=... pwd=...'");
    }
    dms_.usr = fields.UserConnect.User;
    dms_.pwd = fields.UserConnect.Pwd;
  }

  PaymentAccount AccountArg(const std::string& arg) {
    for (const PaymentAccount& a : dms_.Accounts()) {
      if (a.id_account_stripe == arg || std::to_string(a.id) == arg) return a;
    }
    throw UsageError("account sconosciuto: " + arg + " ('oxsms payments accounts')");
  }

  // The link with ID `id` and its account.
  std::pair<PaymentAccount, PredefinedLink> LinkArg(long long id) {
    for (const PaymentAccount& a : dms_.Accounts()) {
      for (const PredefinedLink& l : dms_.Links(a)) {
        if (l.id == id) return {a, l};
      }
    }
    throw UsageError("link predefinito sconosciuto: " + std::to_string(id) +
                     " ('oxsms payments links')");
  }

  int Add(const std::vector<std::string>& args) {
    if (args.size() < 3)
      throw UsageError(
          "uso: payments links add NOME PREZZO [--description TESTO] [--account ACCOUNT]");
    const std::vector<std::string> known = {"--description", "--account"};
    payments::LinkDialogAnswer answer{args[1], Option(args, 3, "--description", known).value_or(""),
                                      PriceArg(args[2])};
    const std::optional<std::string> account_arg = Option(args, 3, "--account", known);
    const std::vector<PaymentAccount> accounts = dms_.Accounts();
    if (accounts.empty())
      throw UsageError("nessun account Stripe: 'oxsms payments accounts refresh'");
    const PaymentAccount account = account_arg ? AccountArg(*account_arg) : accounts.front();
    if (answer.nome.empty())
      throw UsageError("il nome del link non può essere vuoto; nulla è stato scritto");
    UseServiceAccount();
    const auto made = dms_.GestioneLink(account, nullptr, answer);
    if (!made) return Refused("link non creato");
    log_.WriteLog("Link di pagamento predefinito aggiunto con oxsms: " + made->nome);
    return PrintLink(*made);
  }

  int Change(const std::vector<std::string>& args) {
    if (args.size() < 2)
      throw UsageError(
          "uso: payments links change ID [--name NOME] [--price PREZZO] [--description TESTO]");
    const long long id = IdArg(args[1]);
    const std::vector<std::string> known = {"--name", "--price", "--description"};
    const auto name = Option(args, 2, "--name", known);
    const auto price = Option(args, 2, "--price", known);
    const auto description = Option(args, 2, "--description", known);
    if (!name && !price && !description)
      throw UsageError("nulla da cambiare: --name, --price o --description");
    auto [account, link] = LinkArg(id);
    const payments::LinkDialogAnswer answer{name.value_or(link.nome),
                                            description.value_or(link.descrizione),
                                            price ? PriceArg(*price) : link.prezzo};
    if (answer.nome.empty())
      throw UsageError("il nome del link non può essere vuoto; nulla è stato scritto");
    UseServiceAccount();
    const auto changed = dms_.GestioneLink(account, &link, answer);
    if (!changed) return Refused("link non cambiato");
    log_.WriteLog("Link di pagamento predefinito cambiato con oxsms: " + std::to_string(id));
    return PrintLink(*changed);
  }

  int Remove(const std::vector<std::string>& args) {
    if (args.size() != 2) throw UsageError("uso: payments links remove ID");
    const auto [account, link] = LinkArg(IdArg(args[1]));
    UseServiceAccount();
    const bool confirmed = dms_.EliminaLink(account, link);
    log_.WriteLog("Link di pagamento predefinito rimosso con oxsms: " + std::to_string(link.id));
    // The row is gone in either case; a refusal of the service is reported.
    if (!confirmed) return Refused("link rimosso dall'archivio, ma non dal servizio di pagamento");
    if (env_.json)
      env_.out << Json{{"rimosso", link.id}}.dump(2) << "\n";
    else
      env_.out << "Link " << link.id << " rimosso\n";
    return kAdminOk;
  }

  int PrintLinks(const std::vector<PaymentAccount>& accounts) {
    Json list = Json::array();
    for (const PaymentAccount& account : accounts) {
      for (const PredefinedLink& l : dms_.Links(account)) {
        if (env_.json) {
          list.push_back(LinkJson(l));
        } else {
          env_.out << l.id << "  " << account.id_account_stripe << "  " << OneLine(l.nome) << "  "
                   << payments::FormatEuro(l.prezzo) << " euro  " << l.url << "  "
                   << l.url_dashboard << "\n";
        }
      }
    }
    if (env_.json) env_.out << list.dump(2) << "\n";
    return kAdminOk;
  }

  int PrintLink(const PredefinedLink& link) {
    if (env_.json) {
      env_.out << LinkJson(link).dump(2) << "\n";
    } else {
      env_.out << link.id << "  " << OneLine(link.nome) << "  " << payments::FormatEuro(link.prezzo)
               << " euro  " << link.url << "  " << link.url_dashboard << "\n";
    }
    return kAdminOk;
  }

  // A request the payment service refused: one line on standard error with
  // what the service said to the operator.
  int Refused(const std::string& what) {
    std::string line = "oxsms: " + what + ": richiesta rifiutata dal servizio di pagamento";
    for (const std::string& message : operator_.messages) line += "; " + OneLine(message);
    if (operator_.messages.empty()) line += " (dettagli in sms.log)";
    env_.err << line << "\n";
    return kAdminFailed;
  }

  const AdminEnv& env_;
  platform::SystemClock clock_;
  platform::ActivityLog log_;
  ProcessContext context_;
  CommandOperator operator_;
  payments::UnattendedPaymentConfirmer confirmer_;
  ServiceParts parts_;
  practice::Connection connection_;
  payments::TDMS dms_;
};

}  // namespace

int PaymentsCommand(const std::vector<std::string>& args, const AdminEnv& env) {
  if (args.empty()) throw UsageError("manca il comando: oxsms payments --help");
  if (std::find(args.begin(), args.end(), "--help") != args.end() || args[0] == "-h") {
    env.out << kPaymentsUsage;
    return kAdminOk;
  }
  const std::string& verb = args[0];
  if (verb != "accounts" && verb != "links" && verb != "status" && verb != "refund") {
    throw UsageError("comando sconosciuto: payments " + verb);
  }
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  PaymentsAdmin admin(env);
  if (verb == "accounts") return admin.Accounts(rest);
  if (verb == "links") return admin.Links(rest);
  if (verb == "status") return admin.Status(rest);
  return admin.Refund(rest);
}

}  // namespace oxsms::app
