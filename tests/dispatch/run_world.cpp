#include "run_world.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "dispatch/settings_store.h"
#include "practice/credential_protection.h"
#include "practice/database_catalogue.h"
#include "practice/local_config.h"

namespace oxsms::testing::run {

platform::TDateTime Day(int day_of_may) { return platform::EncodeDate(2025, 5, day_of_may); }

RunWorld::RunWorld(long ftp_limit, Backend backend) : world(backend) {
  sim.Start();
  // Every maker service of the run is the simulator.
  world.installation.link_url = sim.base_url();
  world.installation.payment_url = sim.base_url();
  world.installation.secure_sms_url = sim.base_url();
  WriteFile(world.dir / "config.ini",
            "[Database]\r\n" + world.IniKeysOf(world.Location("config.fdb")) +
                "[Database Ag]\r\nUser=SYSDBA\r\n[sms]\r\nrest_host=" + sim.base_url() +
                "\r\nftp_limit=" + std::to_string(ftp_limit) + "\r\n");
  world.AddAgenda("agenda.fdb", search::AgendaSettings({"Agenda1=AG1"}), {"AG1"});
  world.AddPatients("pazienti.fdb");

  practice::Connection config;
  practice::PreparaConnessioneConfig(config, practice::kSectionDatabase, world.ctx);
  // A binary column on Firebird; MySQL schemas of the suite keep the document as text.
  config.Session() << std::string("create table IMP_CLINICA (ID integer, GDB_SMS ") +
                          (world.OnFirebird() ? "blob sub_type 0)" : "longtext)");
  config.Commit();
  config.Session() << "insert into IMP_CLINICA (ID) values (1)";
  config.Commit();
  // The practice's Stripe account, the one the simulated payment service knows.
  config.Session() << "create table LINKPAG (ID integer, ID_ACCOUNT_STRIPE varchar(64), "
                      "INTESTAZIONE varchar(100), DESCRIZIONE varchar(100))";
  config.Commit();
  config.Session() << "insert into LINKPAG values (1, 'acct_1Demo1', 'Studio', 'Conto')";
  config.Commit();
  const std::string document = R"({"user": "demo", "pwd": "demo", "testata": "STUDIO"})";
  dispatch::WriteSettingsRow(config, dispatch::ReadSettingsRow(config),
                             practice::CriptaHex(world.cipher, document));
  config.Close();
}

RunWorld::~RunWorld() {
  ResetDm();
  http_.reset();
  sim.Stop();
}

dispatch::TDM1& RunWorld::Dm() {
  if (!dm_) {
    const dispatch::RunParts parts = parts_.Parts(client_);
    dm_ = std::make_unique<dispatch::TDM1>(world.ctx, world.log, world.clock, registry_, parts);
    dm_->AsService = true;
    dm_http_ = &parts.http;
    dispatch::TDM1& dm = *dm_;
    dm_http_->SetWaitingWork([&dm] { return dm.WriteQueuedBookkeeping(); });
  }
  return *dm_;
}

void RunWorld::ResetDm() {
  if (!dm_) return;
  dm_http_->SetWaitingWork({});
  dm_.reset();
}

void RunWorld::RunOn(platform::TDateTime day) {
  world.clock.Set(day + platform::EncodeTime(11, 0, 0));
  Dm().InviaDaServizio();
}

void RunWorld::Patient(const std::string& badge, const std::string& surname,
                       std::optional<std::string> mobile, std::optional<std::string> email,
                       std::optional<platform::TDateTime> born) {
  search::Patient p;
  p.badge = badge;
  p.cognome = surname;
  p.nome = "Anna";
  p.telcell = std::move(mobile);
  p.email = std::move(email);
  p.nascita = born;
  p.sms = 3;  // mobile numbers and email addresses
  world.AddPatient("pazienti.fdb", p);
}

void RunWorld::Appointment(const std::string& badge, platform::TDateTime day, int hour,
                           std::optional<std::string> fee) {
  search::Appointment a;
  a.badge = badge;
  a.data = day;
  a.ora = platform::EncodeTime(hour, 0, 0);
  a.incasso = std::move(fee);
  a.fileguid = "G-1";
  world.AddAppointment("agenda.fdb", "AG1", a);
}

std::optional<std::string> RunWorld::AgendaColumn(const std::string& badge,
                                                  const std::string& column) {
  auto s = world.OpenAnew("agenda.fdb");
  std::string value;
  soci::indicator ind = soci::i_null;
  *s << "select " + column + " from AG1 where BADGE = :b", soci::into(value, ind), soci::use(badge);
  if (!s->got_data()) throw std::runtime_error("no agenda row of badge " + badge);
  return ind == soci::i_ok ? std::optional<std::string>(value) : std::nullopt;
}

net::HttpResponse RunWorld::SimCall(const std::string& method, const std::string& path,
                                    const std::string& body) {
  net::HttpRequest request;
  request.method = method;
  request.url = sim.base_url() + path;
  request.headers = {{"Content-Type", "application/json"}};
  request.body = body;
  net::HttpResponse response = http_->Send(request);
  EXPECT_EQ(response.status, 200) << path << ": " << response.body;
  return response;
}

nlohmann::json RunWorld::AcceptedSms() { return nlohmann::json::parse(SimCall("GET", "/_sim/sms").body); }

nlohmann::json RunWorld::Requests(const std::string& path) {
  return nlohmann::json::parse(SimCall("GET", "/_sim/requests?path=" + path).body);
}

nlohmann::json RunWorld::Invalue(const nlohmann::json& request) {
  const auto body = nlohmann::json::parse(request.at("body").get<std::string>());
  return nlohmann::json::parse(body.at("invalue").get<std::string>());
}

void RunWorld::SimPost(const std::string& path, const nlohmann::json& body) {
  SimCall("POST", path, body.dump());
}

void RunWorld::SetCredit(long long credit, int codice) {
  SimPost("/_sim/accounts", {{"user", "demo"},
                             {"pwd", "demo"},
                             {"idcliente", 1001},
                             {"credit", credit},
                             {"codice", codice},
                             {"message", codice ? "Account sospeso" : ""}});
}

}  // namespace oxsms::testing::run
