#include "search_databases.h"

#include <soci/firebird/soci-firebird.h>
#include <soci/mysql/soci-mysql.h>

#include "fixture/create_database.h"

namespace oxsms::testing::search {
namespace {

soci::indicator IndicatorOf(const std::optional<std::string>& v) {
  return v ? soci::i_ok : soci::i_null;
}

bool IsMySql(soci::session& s) { return s.get_backend_name() == "mysql"; }

}  // namespace

std::unique_ptr<soci::session> OpenFirebird(const std::filesystem::path& file, int dialect) {
  if (!std::filesystem::exists(file)) fixture::CreateFirebirdDatabase(file, dialect);
  return std::make_unique<soci::session>(
      soci::firebird, "service=\"" + file.string() + "\" user=SYSDBA password=x charset=UTF8");
}

void Exec(soci::session& s, const std::string& sql) {
  s << sql;
  s.commit();
}

void CreateCatalogue(soci::session& s) {
  Exec(s,
       std::string("create table DB (IDORDER integer, FILEDB varchar(250), PROTOCOLLO integer, ") +
       "CLOUD " + (IsMySql(s) ? "text" : "blob sub_type text") + ", HOST varchar(80), UID varchar(40), PWD varchar(40), "
       "RUOLO varchar(20), LOGINPROMPT varchar(1), LOGINFILEPROMPT varchar(1), "
       "PWDFILE varchar(40), FINACTIVE varchar(1), VISTA varchar(1))");
}

void AddCatalogueRow(soci::session& s, const CatalogueRow& r) {
  const std::optional<std::string> cloud =
      r.cloud.empty() ? std::nullopt : std::optional<std::string>(r.cloud);
  std::string cloud_text = cloud.value_or("");
  soci::indicator cloud_ind = IndicatorOf(cloud);
  s << "insert into DB (IDORDER, FILEDB, PROTOCOLLO, CLOUD, HOST, UID, PWD, RUOLO, LOGINPROMPT, "
       "LOGINFILEPROMPT, PWDFILE, FINACTIVE, VISTA) values (:o, :f, :p, " +
           std::string(IsMySql(s) ? ":c" : "cast(:c as varchar(8000))") + ", :h, :u, :w, :r, :lp, :lf, :pf, :fi, :v)",
      soci::use(r.idorder), soci::use(r.filedb), soci::use(r.protocollo),
      soci::use(cloud_text, cloud_ind), soci::use(r.host), soci::use(r.uid), soci::use(r.pwd),
      soci::use(r.ruolo), soci::use(r.loginprompt), soci::use(r.loginfileprompt),
      soci::use(r.pwdfile), soci::use(r.finactive), soci::use(r.vista);
  s.commit();
}

void CreateAgendaSettings(soci::session& s, const std::optional<std::string>& settings) {
  const bool mysql = IsMySql(s);
  Exec(s, std::string("create table IMPOSTAZIONI (ID integer not null primary key, IMPOSTAZIONI ") +
              (mysql ? "longblob)" : "blob)"));
  if (!settings) return;
  if (mysql) {
    s << "insert into IMPOSTAZIONI (ID, IMPOSTAZIONI) values (1, :b)", soci::use(*settings);
    return;
  }
  soci::blob b(s);
  b.append(settings->data(), settings->size());
  s << "insert into IMPOSTAZIONI (ID, IMPOSTAZIONI) values (1, :b)", soci::use(b);
  s.commit();
}

void CreateAgendaTable(soci::session& s, const std::string& table) {
  Exec(s, "create table " + table +
              " (APPUNT varchar(80), BADGE varchar(20), ORA time, DATA date, "
              "INCASSO_PREST decimal(18,4), FILEGUID varchar(40), ID_LINKPAG varchar(40), "
              "ID_WEB varchar(40))");
}

void AddAppointment(soci::session& s, const std::string& table, const Appointment& a) {
  std::tm data = platform::ToTm(platform::DateOf(a.data));
  std::tm ora = platform::ToTm(platform::TimeOf(a.ora));
  std::string incasso = a.incasso.value_or("0");
  soci::indicator incasso_ind = IndicatorOf(a.incasso);
  std::string linkpag = a.id_linkpag.value_or("");
  soci::indicator linkpag_ind = IndicatorOf(a.id_linkpag);
  s << "insert into " + table +
           " (APPUNT, BADGE, ORA, DATA, INCASSO_PREST, FILEGUID, ID_LINKPAG) values "
           "(:a, :b, cast(:o as time), :d, " +
           std::string(IsMySql(s) ? ":i" : "cast(:i as numeric(18,4))") + ", :g, :l)",
      soci::use(a.appunt), soci::use(a.badge), soci::use(ora), soci::use(data),
      soci::use(incasso, incasso_ind), soci::use(a.fileguid), soci::use(linkpag, linkpag_ind);
  s.commit();
}

void CreatePatientTables(soci::session& s, const std::optional<std::string>& versione,
                         const std::string& fileguid, bool second_contacts) {
  if (IsMySql(s)) {
    CreateMySqlPatientTables(s, versione, second_contacts, fileguid);
    return;
  }
  Exec(s,
       "create table IMPOSTAZIONI (ID integer not null primary key, VERSIONE varchar(10), "
       "FILEGUID varchar(40))");
  if (versione) {
    s << "insert into IMPOSTAZIONI (ID, VERSIONE, FILEGUID) values (0, :v, :g)",
        soci::use(*versione), soci::use(fileguid);
    s.commit();
  }
  Exec(s, std::string("create table ANAGRAFICA (CODICE_CLIENTE integer, BADGE varchar(20), "
                      "COGNOME varchar(60), NOME varchar(60), TELCELL varchar(30), "
                      "EMAIL varchar(80), SMS integer, DATA_DI_NASCITA timestamp") +
              (second_contacts ? ", TELCELL2 varchar(30), EMAIL2 varchar(80))" : ")"));
}

void AddPatient(soci::session& s, const Patient& p, bool second_contacts) {
  std::string telcell = p.telcell.value_or(""), email = p.email.value_or("");
  std::string telcell2 = p.telcell2.value_or(""), email2 = p.email2.value_or("");
  soci::indicator i_tel = IndicatorOf(p.telcell), i_mail = IndicatorOf(p.email);
  soci::indicator i_tel2 = IndicatorOf(p.telcell2), i_mail2 = IndicatorOf(p.email2);
  std::tm nascita = platform::ToTm(p.nascita.value_or(0));
  soci::indicator i_nascita = p.nascita ? soci::i_ok : soci::i_null;
  if (second_contacts) {
    s << "insert into ANAGRAFICA (CODICE_CLIENTE, BADGE, COGNOME, NOME, TELCELL, EMAIL, SMS, "
         "DATA_DI_NASCITA, TELCELL2, EMAIL2) values (:c, :b, :co, :n, :t, :e, :s, :d, :t2, :e2)",
        soci::use(p.codice_cliente), soci::use(p.badge), soci::use(p.cognome), soci::use(p.nome),
        soci::use(telcell, i_tel), soci::use(email, i_mail), soci::use(p.sms),
        soci::use(nascita, i_nascita), soci::use(telcell2, i_tel2), soci::use(email2, i_mail2);
  } else {
    s << "insert into ANAGRAFICA (CODICE_CLIENTE, BADGE, COGNOME, NOME, TELCELL, EMAIL, SMS, "
         "DATA_DI_NASCITA) values (:c, :b, :co, :n, :t, :e, :s, :d)",
        soci::use(p.codice_cliente), soci::use(p.badge), soci::use(p.cognome), soci::use(p.nome),
        soci::use(telcell, i_tel), soci::use(email, i_mail), soci::use(p.sms),
        soci::use(nascita, i_nascita);
  }
  s.commit();
}

std::unique_ptr<soci::session> OpenMySql(const MySqlServer& server, const std::string& schema) {
  return std::make_unique<soci::session>(
      soci::mysql, "db=" + schema + " user=" + server.user + " password='" + server.password +
                       "' host=" + server.host + " port=" + std::to_string(server.port) +
                       " charset=utf8mb4");
}

void CreateMySqlPatientTables(soci::session& s, const std::optional<std::string>& versione,
                              bool second_contacts, const std::string& fileguid) {
  s << "create table IMPOSTAZIONI (ID integer not null primary key, VERSIONE varchar(10), "
       "FILEGUID varchar(40))";
  if (versione) {
    s << "insert into IMPOSTAZIONI (ID, VERSIONE, FILEGUID) values (0, :v, :g)",
        soci::use(*versione), soci::use(fileguid);
  }
  s << std::string("create table ANAGRAFICA (CODICE_CLIENTE integer, BADGE varchar(20), "
                   "COGNOME varchar(400), NOME varchar(60), TELCELL varchar(30), "
                   "EMAIL varchar(400), SMS integer, DATA_DI_NASCITA date") +
           (second_contacts ? ", TELCELL2 varchar(30), EMAIL2 varchar(400))" : ")");
}

void AddMySqlPatient(soci::session& s, const Patient& p, bool second_contacts,
                     const std::string& plain_key) {
  std::string telcell = p.telcell.value_or(""), email = p.email.value_or("");
  std::string telcell2 = p.telcell2.value_or(""), email2 = p.email2.value_or("");
  soci::indicator i_tel = IndicatorOf(p.telcell), i_mail = IndicatorOf(p.email);
  soci::indicator i_tel2 = IndicatorOf(p.telcell2), i_mail2 = IndicatorOf(p.email2);
  std::tm nascita = platform::ToTm(p.nascita.value_or(0));
  soci::indicator i_nascita = p.nascita ? soci::i_ok : soci::i_null;
  s << "insert into ANAGRAFICA (CODICE_CLIENTE, BADGE, COGNOME, NOME, TELCELL, EMAIL, SMS, "
       "DATA_DI_NASCITA) values (:c, :b, HEX(AES_ENCRYPT(:co, :k1)), :n, :t, "
       "HEX(AES_ENCRYPT(:e, :k2)), :s, :d)",
      soci::use(p.codice_cliente), soci::use(p.badge), soci::use(p.cognome), soci::use(plain_key),
      soci::use(p.nome), soci::use(telcell, i_tel), soci::use(email, i_mail),
      soci::use(plain_key), soci::use(p.sms), soci::use(nascita, i_nascita);
  if (second_contacts) {
    s << "update ANAGRAFICA set TELCELL2 = :t2, EMAIL2 = HEX(AES_ENCRYPT(:e2, :k)) "
         "where BADGE = :b",
        soci::use(telcell2, i_tel2), soci::use(email2, i_mail2), soci::use(plain_key),
        soci::use(p.badge);
  }
}

}  // namespace oxsms::testing::search
