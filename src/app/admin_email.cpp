#include "app/admin_email.h"

#include <algorithm>
#include <memory>
#include <nlohmann/json.hpp>

#include "app/process_context.h"
#include "app/service_parts.h"
#include "dispatch/settings_document.h"
#include "dispatch/settings_store.h"
#include "email/email_address.h"
#include "email/email_module_row.h"
#include "email/email_sends.h"
#include "email/email_settings_dialog.h"
#include "email/tvelk_email.h"
#include "platform/activity_log.h"
#include "platform/clock.h"

namespace oxsms::app {
namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kMasked = "********";

std::string Lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Line breaks as the catalogue keeps them: CR LF.
std::string WithCrLf(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

std::size_t Characters(const std::string& text) {
  return static_cast<std::size_t>(std::count_if(
      text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

bool FlagOf(const std::string& key, const std::string& value) {
  const std::string v = Lowered(value);
  if (v == "true" || v == "si" || v == "s\xc3\xac" || v == "1" || v == "yes") return true;
  if (v == "false" || v == "no" || v == "0") return false;
  throw UsageError("\"" + key + "\": vale true o false, non \"" + value + "\"; nulla è stato scritto");
}

// The email row of the practice, its email object and the dialog over it,
// loaded as the suite's dialog finds them.
class EmailAdmin {
 public:
  explicit EmailAdmin(const AdminEnv& env)
      : env_(env),
        log_(env.home.File("sms.log"), clock_),
        context_(env.home, log_),
        email_(connection_, messages_, log_),
        dialog_(email_) {
    dispatch::PrepareSettingsDatabase(connection_, context_.catalogue,
                                      dispatch::DesktopProgramsIn(env.home.dir()));
    email_.LeggiImpostazioni();
    email_.LeggiDati();
    dialog_.configStream = email_.SettingsDocument();
    dialog_.Show();
    dialog_.CaricaRubrica();
  }

  int Show() {
    const email::EmailSettings& a = dialog_.account;
    const bool own = a.HasSmtpAccount();
    const std::string transport = own ? "server SMTP proprio" : "servizio email del produttore";
    const std::vector<std::pair<std::string, std::string>> values = {
        {"trasporto", transport},
        {"Host", a.Host},
        {"Port", a.Port},
        {"AuthType", std::to_string(a.AuthType)},
        {"Username", a.Username},
        {"Password", a.Password.empty() ? "" : kMasked},
        {"CBSSL", a.CBSSL ? "true" : "false"},
        {"DaNome", a.DaNome},
        {"DaEmail", a.DaEmail},
        {"ToEmail", a.ToEmail},
        {"EmailBCC", a.EmailBCC},
        {"Firma", a.Firma},
        {"CBNotificaDiario", a.CBNotificaDiario.value_or(false) ? "true" : "false"},
        {"CBDocEmail", a.CBDocEmail.value_or(true) ? "true" : "false"},
        {"email tipiche", std::to_string(messages_.Count())},
        {"rubrica", std::to_string(dialog_.Rubrica().size())},
    };
    if (env_.json) {
      Json out = Json::object();
      for (const auto& [key, value] : values) out[key] = value;
      env_.out << out.dump(2) << "\n";
    } else {
      for (const auto& [key, value] : values) env_.out << key << ": " << value << "\n";
      if (!own && !a.Host.empty()) {
        env_.out << "nota: il server proprio manca di utente o password, si usa il servizio "
                    "del produttore\n";
      }
    }
    return kAdminOk;
  }

  int Set(const std::vector<std::string>& args) {
    if (args.empty()) throw UsageError("nessuna chiave da cambiare");
    std::vector<std::string> keys;
    for (const std::string& arg : args) {
      const auto equals = arg.find('=');
      if (equals == std::string::npos || equals == 0) {
        throw UsageError("atteso CHIAVE=VALORE, non \"" + arg + "\"");
      }
      keys.push_back(SetOne(arg.substr(0, equals), arg.substr(equals + 1)));
    }
    return Save("Impostazioni email cambiate con oxsms:", keys);
  }

  int Preset(const std::vector<std::string>& args) {
    if (args.empty()) {
      for (const auto& p : email::SmtpPresets()) {
        env_.out << p.name << "  " << p.host << ":" << p.port << (p.ssl ? "  SSL" : "") << "\n";
      }
      return kAdminOk;
    }
    const email::SmtpPreset* preset = email::FindSmtpPreset(args[0]);
    if (preset == nullptr) throw UsageError("server SMTP sconosciuto: " + args[0]);
    dialog_.ApplyPreset(*preset);
    return Save("Impostazioni email cambiate con oxsms:", {"Host", "Port", "CBSSL"});
  }

  int UseMaker() {
    dialog_.account.Host.clear();
    return Save("Impostazioni email cambiate con oxsms:", {"Host"});
  }

  int Messages(const std::vector<std::string>& args);
  int Book(const std::vector<std::string>& args);
  int Test(const std::vector<std::string>& args);

 private:
  // The key's value into the account page; the key's proper name.
  std::string SetOne(const std::string& key, const std::string& value) {
    email::EmailSettings& a = dialog_.account;
    const std::string k = Lowered(key);
    const auto address = [&](std::string& field, const char* name) {
      if (!value.empty() && !email::EmailValida(value)) {
        throw UsageError(std::string("\"") + name + "\": indirizzo non valido; nulla è stato scritto");
      }
      field = value;
      return std::string(name);
    };
    if (k == "host") return a.Host = value, "Host";
    if (k == "port") {
      const bool digits = !value.empty() && value.size() <= 5 &&
                          value.find_first_not_of("0123456789") == std::string::npos;
      if (!value.empty() && (!digits || std::stoi(value) < 1 || std::stoi(value) > 65535)) {
        throw UsageError("\"Port\": una porta da 1 a 65535 (vuota: 25); nulla è stato scritto");
      }
      return a.Port = value, "Port";
    }
    if (k == "authtype") {
      if (value != "0" && value != "1") {
        throw UsageError("\"AuthType\": 0 (nessuna) o 1 (utente e password); nulla è stato scritto");
      }
      return a.AuthType = value == "1", "AuthType";
    }
    if (k == "username") return a.Username = value, "Username";
    if (k == "password") return a.Password = value, "Password";
    if (k == "cbssl") return a.CBSSL = FlagOf("CBSSL", value), "CBSSL";
    if (k == "firma") return a.Firma = WithCrLf(value), "Firma";
    if (k == "danome") return a.DaNome = value, "DaNome";
    if (k == "daemail") return address(a.DaEmail, "DaEmail");
    if (k == "toemail") return address(a.ToEmail, "ToEmail");
    if (k == "emailbcc") return address(a.EmailBCC, "EmailBCC");
    if (k == "cbnotificadiario") return a.CBNotificaDiario = FlagOf("CBNotificaDiario", value), "CBNotificaDiario";
    if (k == "cbdocemail") return a.CBDocEmail = FlagOf("CBDocEmail", value), "CBDocEmail";
    if (k == "cblocalclient") {
      throw UsageError("\"CBLocalClient\": il client di posta del PC non esiste qui; nulla è stato scritto");
    }
    throw UsageError("chiave sconosciuta: \"" + key + "\" ('oxsms email --help'); nulla è stato scritto");
  }

  int Save(const std::string& what, const std::vector<std::string>& keys) {
    dialog_.SalvaConfigurazione();
    email::WriteSettingsColumn(connection_, dialog_.configStream);
    std::string line = what;
    for (std::size_t i = 0; i < keys.size(); ++i) line += (i ? ", " : " ") + keys[i];
    log_.WriteLog(line);  // keys only: no secret in the log
    return Show();
  }

  std::optional<std::size_t> MessageIndex(const std::string& name) const {
    for (std::size_t i = 0; i < messages_.Count(); ++i) {
      if (messages_.Row(i).C0 == name) return i;
    }
    return std::nullopt;
  }

  // The settings key of the service that names the typical message `name`.
  std::string UsedBy(const std::string& name) {
    dispatch::StoredSettings store(context_.catalogue);
    dispatch::TDM1Settings fields;
    if (const auto document = store.Read()) dispatch::ApplySettingsDocument(*document, fields);
    const std::vector<std::pair<const char*, const std::string*>> keys = {
        {"nomeemailapp", &fields.NomeEmailApp},       {"nomeemailcompl", &fields.NomeEmailCompl},
        {"testoinvioemail", &fields.NomeEmailInvio},  {"nomeemailapppreav", &fields.NomeEmailAppPreav},
        {"nomeemailapplpag", &fields.NomeEmailAppLPag}};
    for (const auto& [key, value] : keys) {
      if (*value == name) return key;
    }
    return {};
  }

  void StoreMessages(const std::string& line) {
    email_.SalvaDati();
    log_.WriteLog(line);
  }

  const AdminEnv& env_;
  platform::SystemClock clock_;
  platform::ActivityLog log_;
  ProcessContext context_;
  practice::Connection connection_;
  email::TypicalMessages messages_;
  email::TVelkEmail email_;
  email::TImpEmailDlg dialog_;
};

int EmailAdmin::Messages(const std::vector<std::string>& args) {
  const std::string verb = args.empty() ? "list" : args[0];
  if (verb == "list") {
    Json out = Json::array();
    for (const auto& m : messages_.Rows()) {
      if (env_.json) out.push_back({{"name", m.C0}, {"subject", m.C2}});
      else env_.out << m.C0 << "  (" << m.C2 << ")\n";
    }
    if (env_.json) env_.out << out.dump(2) << "\n";
    return kAdminOk;
  }
  if (args.size() < 2) throw UsageError("manca il nome dell'email tipica");
  const std::string& name = args[1];
  const auto index = MessageIndex(name);
  if (verb == "show") {
    if (!index) throw UsageError("email tipica sconosciuta: " + name);
    const auto& m = messages_.Row(*index);
    if (env_.json) {
      env_.out << Json{{"name", m.C0}, {"subject", m.C2}, {"text", m.C1}}.dump(2) << "\n";
    } else {
      env_.out << "nome: " << m.C0 << "\noggetto: " << m.C2 << "\ntesto:\n" << m.C1 << "\n";
    }
    return kAdminOk;
  }
  const auto check = [&](const email::TypicalMessage& m) {
    if (m.C0.empty() || Characters(m.C0) > email::kNameWidth) {
      throw UsageError("il nome dell'email tipica va da 1 a 20 caratteri; nulla è stato scritto");
    }
    if (Characters(m.C2) > email::kSubjectWidth) {
      throw UsageError("l'oggetto va fino a 60 caratteri; nulla è stato scritto");
    }
  };
  email_.isLoading = true;  // stored once below, no dialog to open
  if (verb == "add") {
    if (args.size() != 4) throw UsageError("uso: email messages add NOME OGGETTO TESTO");
    if (index) throw UsageError("esiste già un'email tipica \"" + name + "\"; nulla è stato scritto");
    const email::TypicalMessage m{name, WithCrLf(args[3]), args[2]};
    check(m);
    messages_.Append(m);
    StoreMessages("Email tipica aggiunta con oxsms: " + name);
    return kAdminOk;
  }
  if (!index) throw UsageError("email tipica sconosciuta: " + name);
  if (verb == "change") {
    email::TypicalMessage m = messages_.Row(*index);
    for (std::size_t i = 2; i < args.size(); ++i) {
      if (i + 1 >= args.size()) throw UsageError("manca il valore di " + args[i]);
      if (args[i] == "--subject") m.C2 = args[++i];
      else if (args[i] == "--text") m.C1 = WithCrLf(args[++i]);
      else throw UsageError("opzione sconosciuta: " + args[i]);
    }
    check(m);
    messages_.Post(*index, m);
    StoreMessages("Email tipica cambiata con oxsms: " + name);
    return kAdminOk;
  }
  if (verb == "remove") {
    if (const std::string key = UsedBy(name); !key.empty()) {
      throw UsageError("\"" + name + "\" è l'email tipica di \"" + key +
                       "\" nelle impostazioni del servizio: cambiarla prima con 'oxsms settings "
                       "set'; nulla è stato scritto");
    }
    messages_.Delete(*index);
    StoreMessages("Email tipica rimossa con oxsms: " + name);
    return kAdminOk;
  }
  throw UsageError("comando sconosciuto: email messages " + verb);
}

int EmailAdmin::Book(const std::vector<std::string>& args) {
  const std::string verb = args.empty() ? "list" : args[0];
  if (verb == "list") {
    Json out = Json::array();
    for (const auto& row : dialog_.Rubrica()) {
      if (env_.json) out.push_back({{"email", row.email}, {"cognome", row.cognome}, {"nome", row.nome}});
      else env_.out << row.email << "  " << row.cognome << " " << row.nome << "\n";
    }
    if (env_.json) env_.out << out.dump(2) << "\n";
    return kAdminOk;
  }
  if (args.size() < 2) throw UsageError("manca l'indirizzo");
  if (verb == "add") {
    email::AddressBookRow row{args[1], args.size() > 2 ? args[2] : "", args.size() > 3 ? args[3] : ""};
    std::string error;
    if (!dialog_.AggiungiRubrica(row, &error)) throw UsageError(error + "; nulla è stato scritto");
    return Save("Rubrica email cambiata con oxsms:", {"aggiunto un indirizzo"});
  }
  if (verb == "remove") {
    const auto& rows = dialog_.Rubrica();
    const auto found = std::find_if(rows.begin(), rows.end(),
                                    [&](const email::AddressBookRow& r) { return r.email == args[1]; });
    if (found == rows.end()) throw UsageError("indirizzo non in rubrica: " + args[1]);
    dialog_.EliminaRubrica(static_cast<std::size_t>(found - rows.begin()));
    return Save("Rubrica email cambiata con oxsms:", {"rimosso un indirizzo"});
  }
  throw UsageError("comando sconosciuto: email book " + verb);
}

int EmailAdmin::Test(const std::vector<std::string>& args) {
  if (args.size() != 1) throw UsageError("uso: email test INDIRIZZO");
  if (!email::EmailValida(args[0])) throw UsageError("indirizzo non valido: " + args[0]);
  const email::EmailMessage message = dialog_.MessaggioDiProva(args[0]);
  ServiceParts parts(context_, log_);
  email::EmailSends sends(email_, parts.smtp, parts.rest, context_.email_slot, log_);
  const std::string transport = email_.usavelk ? "servizio email del produttore"
                                               : "server SMTP " + dialog_.account.Host;
  sends.InviaMessaggio(message, dialog_.configStream);
  log_.WriteLog("Email di prova inviata con oxsms a " + args[0]);
  if (env_.json) {
    env_.out << Json{{"sent", true}, {"to", args[0]}, {"transport", transport}}.dump(2) << "\n";
  } else {
    env_.out << "Email di prova consegnata a " << args[0] << " tramite " << transport << "\n";
  }
  return kAdminOk;
}

}  // namespace

int EmailCommand(const std::vector<std::string>& args, const AdminEnv& env) {
  if (args.empty()) throw UsageError("manca il comando: oxsms email --help");
  if (std::find(args.begin(), args.end(), "--help") != args.end() || args[0] == "-h") {
    env.out << kEmailUsage;
    return kAdminOk;
  }
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  EmailAdmin admin(env);
  if (args[0] == "show") return admin.Show();
  if (args[0] == "set") return admin.Set(rest);
  if (args[0] == "preset") return admin.Preset(rest);
  if (args[0] == "use-maker") return admin.UseMaker();
  if (args[0] == "messages") return admin.Messages(rest);
  if (args[0] == "book") return admin.Book(rest);
  if (args[0] == "test") return admin.Test(rest);
  throw UsageError("comando sconosciuto: email " + args[0]);
}

}  // namespace oxsms::app
