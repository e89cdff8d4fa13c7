#include "app/admin_check.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>

#include "app/process_context.h"
#include "app/service_parts.h"
#include "channels/channel_error.h"
#include "dispatch/settings_store.h"
#include "dispatch/tdm1.h"
#include "email/email_module_row.h"
#include "email/email_settings.h"
#include "net/http_client.h"
#include "net/maker_rest.h"
#include "net/reachability.h"
#include "platform/activity_log.h"
#include "platform/clock.h"
#include "platform/ini_file.h"
#include "practice/agenda_lines.h"
#include "practice/agimp.h"
#include "practice/local_config.h"
#include "practice/recipient_search.h"

namespace oxsms::app {
namespace {

constexpr std::chrono::seconds kProbeTimeout{5};

constexpr const char* kFixConfigDatabase =
    "verificare la sezione [Database] di config.ini (o file.fdb nella cartella dello studio) "
    "e che l'archivio esista e sia leggibile dall'utente del servizio";
constexpr const char* kFixSettings =
    "reimpostare le impostazioni con 'oxsms settings set' o dal programma dello studio";
constexpr const char* kFixAgenda =
    "verificare il percorso dell'agenda nel catalogo dello studio, in [Database Ag] di "
    "config.ini o in smsconf.bin, e che l'archivio esista";
constexpr const char* kFixTable =
    "la tabella o una sua colonna manca: aggiornare l'archivio con il programma dello studio, "
    "o escludere la tabella con 'oxsms settings set tabagescluse=...'";
constexpr const char* kFixPatients =
    "verificare il percorso dell'archivio pazienti nel catalogo o in 'listafile', e che "
    "l'archivio esista con tutte le colonne dell'anagrafica";
constexpr const char* kFixAccount =
    "verificare account e password: 'oxsms settings set user=... pwd=...'";
constexpr const char* kFixGateway =
    "verificare la rete, il firewall e \"rest_host\" della sezione [sms] di config.ini";
constexpr const char* kFixHost =
    "verificare la rete, il firewall e l'indirizzo in config.ini";
constexpr const char* kFixSmtp =
    "verificare server e porta SMTP delle impostazioni email, la rete e il firewall";

// "host:port" of a base address, with the scheme's port when it names none.
std::string ProbeAddressOf(const std::string& url) {
  std::string host = net::HostOf(url);
  const bool has_port = host.find(':') != std::string::npos &&
                        (host.front() != '[' || host.find("]:") != std::string::npos);
  if (!has_port) host += url.rfind("http://", 0) == 0 ? ":80" : ":443";
  return host;
}

class PracticeCheck {
 public:
  explicit PracticeCheck(const AdminEnv& env)
      : env_(env), log_(env.home.File("sms.log"), clock_), context_(env.home, log_) {}

  std::vector<CheckLine> Run() {
    ConfigIni();
    if (SettingsReadable()) {
      try {
        parts_ = std::make_unique<ServiceParts>(context_, log_);
        dm1_ = std::make_unique<dispatch::TDM1>(context_.catalogue, log_, clock_,
                                                *context_.registry, parts_->Parts());
      } catch (const platform::Error& e) {
        Fail("impostazioni del servizio", e.what(), kFixSettings);
      }
    }
    if (dm1_) {
      Databases();
      Gateway();
      Smtp();
    }
    Hosts();
    return lines_;
  }

 private:
  void Ok(std::string what, std::string detail = {}) {
    lines_.push_back({std::move(what), true, std::move(detail), {}});
  }
  void Fail(std::string what, std::string detail, std::string fix) {
    lines_.push_back({std::move(what), false, std::move(detail), std::move(fix)});
  }

  void ConfigIni() {
    const auto file = env_.home.File("config.ini");
    if (std::filesystem::exists(file)) {
      Ok("config.ini", file.string());
    } else {
      Fail("config.ini", "non trovato: " + file.string(),
           "indicare la cartella dello studio con --home, o crearvi config.ini");
    }
  }

  bool SettingsReadable() {
    dispatch::StoredSettings store(context_.catalogue);
    try {
      const auto document = store.Read();
      Ok("archivio di configurazione", store.DatabaseName());
      Ok("impostazioni del servizio", document ? "" : "nessuna memorizzata: valori predefiniti");
      return true;
    } catch (const dispatch::SettingsError& e) {
      Ok("archivio di configurazione", store.DatabaseName());
      Fail("impostazioni del servizio", e.what(), kFixSettings);
    } catch (const platform::Error& e) {
      Fail("archivio di configurazione", e.what(), kFixConfigDatabase);
    }
    return false;
  }

  void Databases() {
    practice::TAgImp* agimp = nullptr;
    try {
      agimp = &dm1_->EnsureAgImp();
    } catch (const platform::Error& e) {
      Fail("archivio di configurazione", e.what(), kFixConfigDatabase);
      return;
    }
    const platform::TDateTime tomorrow = platform::DateOf(clock_.Now()) + 1;
    agimp->DataRicerca = tomorrow;
    agimp->DataRicerca1 = tomorrow;
    Agendas(*agimp);
    Patients(*agimp);
  }

  void Agendas(practice::TAgImp& agimp) {
    try {
      agimp.ApriAgende();
    } catch (const platform::Error& e) {
      Fail("agende", e.what(), kFixAgenda);
      return;
    }
    if (agimp.listDBAg().empty()) Fail("agende", "nessuna agenda configurata", kFixAgenda);
    for (std::size_t n = 0; n < agimp.listDBAg().size(); ++n) {
      const auto& tables = agimp.listAgFile()[n];
      const std::string name = agimp.listDBAg()[n]->DatabaseName();
      Ok("agenda " + name, std::to_string(tables.size()) + " tabelle");
      for (const std::string& line : tables) {
        const std::string table = practice::TableOfAgendaLine(line);
        try {
          agimp.CercaAppuntamentiTabella(line, n);
          Ok("tabella agenda " + table);
        } catch (const platform::Error& e) {
          Fail("tabella agenda " + table + " (" + name + ")", e.what(), kFixTable);
        }
      }
    }
  }

  void Patients(practice::TAgImp& agimp) {
    try {
      agimp.ApriFilePazienti();
    } catch (const platform::Error& e) {
      Fail("archivi pazienti", e.what(), kFixPatients);
      return;
    }
    for (const std::string& name : agimp.UnopenedPatients()) {
      Fail("archivio pazienti " + name, "non si apre (il motivo è in sms.log)", kFixPatients);
    }
    if (agimp.listDB().empty() && agimp.UnopenedPatients().empty()) {
      Fail("archivi pazienti", "nessun archivio pazienti configurato", kFixPatients);
    }
    for (const auto& db : agimp.listDB()) {
      const std::string name = db.connection->DatabaseName();
      try {
        practice::ProbeContactLookup(db, context_.installation);
        Ok("archivio pazienti " + name);
      } catch (const platform::Error& e) {
        Fail("archivio pazienti " + name, e.what(), kFixPatients);
      }
    }
  }

  void Gateway() {
    const std::string what = "account del gateway SMS";
    if (dm1_->UserConnect.User.empty()) {
      Fail(what, "nessun account nelle impostazioni", kFixAccount);
      return;
    }
    try {
      dm1_->Channels().Sms().VerificaUtenteSMS(false);
      Ok(what, dm1_->UserConnect.User + ", " + std::to_string(dm1_->smsDisp) + " SMS disponibili");
    } catch (const net::HttpError& e) {  // no answer to use
      Fail(what, e.what(), kFixGateway);
    } catch (const channels::ChannelError& e) {  // the gateway refused the account
      Fail(what, e.what(), kFixAccount);
    } catch (const platform::Error& e) {  // the settings reloaded on the way
      Fail(what, e.what(), kFixSettings);
    }
  }

  // config.ini names a database through the maker's cloud (protocol 4).
  bool CloudDatabases() const {
    const platform::IniFile ini(env_.home.File(practice::kConfigIniName));
    for (const char* section : {practice::kSectionDatabase, practice::kSectionDatabaseAg}) {
      if (ini.ReadInteger(section, practice::kKeyProtocol, 0) == 4) return true;
    }
    return false;
  }

  bool EmailUsed() const {
    return dm1_->CBServizioEmail || dm1_->CBServComplEmail;
  }

  void Smtp() {
    std::optional<email::EmailModuleRow> row;
    try {
      row = email::ReadEmailModuleRow(dm1_->EnsureAgImp().FDConnectionConfig());
    } catch (const platform::Error& e) {
      Fail("impostazioni email", e.what(), kFixConfigDatabase);
      return;
    }
    const auto settings = row ? email::ParseEmailSettings(row->STRUCT_1) : std::nullopt;
    if (!settings || !settings->HasSmtpAccount()) {
      smtp_less_ = true;  // the maker's email service delivers
      return;
    }
    const std::string address =
        settings->Host + ":" + (settings->Port.empty() ? std::string("25") : settings->Port);
    if (net::CanConnect(address, kProbeTimeout)) {
      Ok("server SMTP " + address);
    } else {
      Fail("server SMTP " + address, "nessuna risposta", kFixSmtp);
    }
  }

  void Hosts() {
    std::vector<std::pair<std::string, std::string>> hosts;
    const std::string gateway = dm1_ ? dm1_->SmsGateway.rest_host
                                     : dispatch::SmsGatewaySettings{}.rest_host;
    hosts.emplace_back("gateway SMS", gateway);
    const platform::Installation& inst = context_.installation;
    hosts.emplace_back("servizio link di conferma", inst.link_url);
    hosts.emplace_back("servizio pagamenti", inst.payment_url);
    if (!dm1_ || dm1_->CBServizioWhatsapp || dm1_->CBServComplWhts) {
      hosts.emplace_back("servizio WhatsApp", inst.secure_sms_url);
    }
    if (!dm1_ || (EmailUsed() && smtp_less_)) hosts.emplace_back("servizio email", inst.email_url);
    if (CloudDatabases()) hosts.emplace_back("servizio cloud", inst.cloud_url);
    std::set<std::string> probed;
    for (const auto& [name, url] : hosts) {
      const std::string address = ProbeAddressOf(url);
      if (!probed.insert(address).second) continue;
      if (net::CanConnect(address, kProbeTimeout)) {
        Ok(name + " " + address);
      } else {
        Fail(name + " " + address, "nessuna risposta", kFixHost);
      }
    }
  }

  const AdminEnv& env_;
  platform::SystemClock clock_;
  platform::ActivityLog log_;
  ProcessContext context_;
  std::unique_ptr<ServiceParts> parts_;
  std::unique_ptr<dispatch::TDM1> dm1_;
  bool smtp_less_ = false;
  std::vector<CheckLine> lines_;
};

void Print(const std::vector<CheckLine>& lines, const AdminEnv& env) {
  if (env.json) {
    nlohmann::ordered_json checks = nlohmann::ordered_json::array();
    bool all_ok = true;
    for (const auto& line : lines) {
      all_ok = all_ok && line.ok;
      checks.push_back(
          {{"check", line.what}, {"ok", line.ok}, {"detail", line.detail}, {"fix", line.fix}});
    }
    env.out << nlohmann::ordered_json{{"ok", all_ok}, {"checks", checks}}.dump(2) << "\n";
    return;
  }
  for (const auto& line : lines) {
    env.out << (line.ok ? "ok      " : "ERRORE  ") << line.what;
    if (!line.detail.empty()) env.out << ": " << line.detail;
    env.out << "\n";
    if (!line.ok) env.out << "        -> " << line.fix << "\n";
  }
}

}  // namespace

int CheckCommand(const std::vector<std::string>& args, const AdminEnv& env) {
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      env.out << kCheckUsage;
      return kAdminOk;
    }
    throw UsageError("opzione sconosciuta: check " + a);
  }
  const std::vector<CheckLine> lines = PracticeCheck(env).Run();
  Print(lines, env);
  for (const auto& line : lines) {
    if (!line.ok) return kAdminFailed;
  }
  return kAdminOk;
}

}  // namespace oxsms::app
