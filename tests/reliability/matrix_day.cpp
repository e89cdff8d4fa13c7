#include "reliability/matrix_day.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <regex>

#include "app/agenda_records.h"
#include "app/process_runner.h"
#include "app/sim_query.h"
#include "support/temp_dir.h"
#include "fixture/practice_fixture.h"
#include "platform/ini_file.h"
#include "platform/installation.h"

namespace oxsms::testing {
namespace {

using nlohmann::json;

constexpr const char* kSettings = R"j({"user":"demo","pwd":"demo","testata":"STUDIO",
  "time":"11.00.00","cbsms":true,"cbserviziosms":true,"CBServizioWhatsapp":true,
  "cbservizioemail":true,"cbcompl":false,"CBPreavviso":false,"cbsmsverifica":true,
  "cellverifica1":"+39 333 0000001","cbsmsfiniti":false,"giorniinvio":"0000000",
  "testoinvio":"Promemoria <Nome>: <Data> <Ora> <link_conferma>",
  "nomeemailapp":"Appuntamento",
  "CellWhts":"+39 02 5550100","SiglaGeneraleAppWhts":"PROMEMORIA","linkConfermaAppWhts":"1",
  "variabiliAppWhts":"nome,data,ora,link_breve",
  "CBLinkPag":true,"GGLinkPag":0,
  "testoinviolinkpag":"Pagamento online <Nominativo>: <link_pag>",
  "SiglaGeneraleAppWhtsLPag":"PAGAMENTO","variabiliAppWhtsLPag":"nome,link_pagamento"})j";

// The last octet of each service's loopback address.
int OctetOf(Service service) {
  switch (service) {
    case Service::kGateway:
      return 2;
    case Service::kWhatsApp:
      return 3;
    case Service::kLinks:
      return 4;
    case Service::kPayments:
      return 5;
    case Service::kEmail:
      return 6;
  }
  return 1;
}

std::string HostPortOf(const std::string& address) {
  return address.substr(address.find("://") + 3);
}

}  // namespace

MatrixSimulators::MatrixSimulators() {
  sim_.Start(0, "0.0.0.0");
  elsewhere_.Start();
  control_url_ = "http://127.0.0.1:" + std::to_string(sim_.port());
  elsewhere_url_ = elsewhere_.base_url();
}

std::string MatrixSimulators::AddressOf(Service service) const {
  return "http://127.0.0." + std::to_string(OctetOf(service)) + ":" + std::to_string(sim_.port());
}

Deliveries Deliveries::Since(const Deliveries& earlier) const {
  Deliveries later;
  later.messages = messages;
  for (const std::string& m : earlier.messages) {
    const auto at = later.messages.find(m);
    if (at != later.messages.end()) later.messages.erase(at);
  }
  later.control_texts.assign(control_texts.begin() + static_cast<long>(earlier.control_texts.size()),
                             control_texts.end());
  later.texts.assign(texts.begin() + static_cast<long>(earlier.texts.size()), texts.end());
  return later;
}

std::multiset<std::string> Deliveries::Of(const std::string& prefix) const {
  std::multiset<std::string> out;
  for (const std::string& m : messages) {
    if (m.rfind(prefix, 0) == 0) out.insert(m);
  }
  return out;
}

Deliveries DeliveriesOf(const std::string& control_url) {
  Deliveries d;
  for (const json& m : SimGet(control_url, "/_sim/sms")) {
    const std::string text = m["text"].get<std::string>();
    const std::string to = m["recipient"].get<std::string>();
    if (to.find("3330000001") != std::string::npos) {
      d.control_texts.push_back(text);
      continue;
    }
    const char* kind = text.find(kReminderWords) != std::string::npos  ? "promemoria"
                       : text.find(kPaymentWords) != std::string::npos ? "pagamento"
                                                                       : "altro";
    d.messages.insert(std::string("sms ") + kind + " " + to);
    d.texts.push_back(text);
  }
  for (const json& m : SimGet(control_url, "/_sim/whatsapp")) {
    d.messages.insert("whatsapp " + m["sigla_template"].get<std::string>() + " " +
                      m["destinatario"].get<std::string>());
    d.texts.push_back(m["variabili"].dump());
  }
  for (const json& m : SimGet(control_url, "/_sim/emails")) {
    d.messages.insert("email " + m["oggetto"].get<std::string>() + " " +
                      m["email_destinatario"].get<std::string>());
    d.texts.push_back(m["body"].get<std::string>());
  }
  return d;
}

std::multiset<std::string> Missing(const Deliveries& whole, const Deliveries& got) {
  std::multiset<std::string> missing;
  std::set_difference(whole.messages.begin(), whole.messages.end(), got.messages.begin(),
                      got.messages.end(), std::inserter(missing, missing.end()));
  return missing;
}

bool Includes(const std::multiset<std::string>& whole, const std::multiset<std::string>& part) {
  return std::includes(whole.begin(), whole.end(), part.begin(), part.end());
}

std::string Dump(const std::multiset<std::string>& items) {
  std::string out;
  for (const std::string& m : items) out += "  " + m + "\n";
  return out;
}

bool IsPaymentMessage(const std::string& key) {
  return key.rfind("sms pagamento ", 0) == 0 || key.rfind("whatsapp PAGAMENTO ", 0) == 0;
}

Books BooksOf(const MatrixPractice& practice) {
  return {RecordedLinks(practice.agenda), AccountedLinks(practice.patients),
          ConfirmationCodes(practice.agenda)};
}

ReferenceDay RunReferenceDay(const MatrixSimulators& sims, int appointments) {
  TempDir home;
  const MatrixPractice practice = CreateMatrixPractice(home, sims, appointments);
  const int exit = RunDay(practice, "11:00:00");
  EXPECT_EQ(exit, 0) << ActivityLogOf(practice.home);
  ReferenceDay day{DeliveriesOf(sims.control_url()), BooksOf(practice)};
  SimPost(sims.control_url(), "/_sim/reset", json::object());
  return day;
}

namespace {

std::multiset<std::string> Payments(const Deliveries& d, bool payments) {
  std::multiset<std::string> out;
  for (const std::string& m : d.messages) {
    if (IsPaymentMessage(m) == payments) out.insert(m);
  }
  return out;
}

std::set<std::string> Recipients(const std::multiset<std::string>& messages) {
  std::set<std::string> out;
  for (const std::string& m : messages) out.insert(m.substr(m.rfind(' ') + 1));
  return out;
}

bool Distinct(const std::multiset<std::string>& items) {
  return std::set<std::string>(items.begin(), items.end()).size() == items.size();
}

}  // namespace

void ExpectWholeDayOnce(const Deliveries& all, const Deliveries& whole_day, const std::string& log) {
  EXPECT_EQ(Payments(all, false), Payments(whole_day, false))
      << "sent:\n" << Dump(all.messages) << "a day without faults:\n"
      << Dump(whole_day.messages) << log;
  const std::multiset<std::string> payments = Payments(all, true);
  EXPECT_TRUE(Distinct(payments)) << Dump(payments) << log;
  EXPECT_TRUE(Includes(whole_day.messages, payments)) << Dump(payments) << log;
  EXPECT_EQ(Recipients(payments), Recipients(Payments(whole_day, true))) << Dump(payments) << log;
}

void ExpectBooksOnce(const Books& books, const Books& reference, const Deliveries& all) {
  EXPECT_TRUE(Distinct(books.payment_links)) << Dump(books.payment_links);
  EXPECT_TRUE(Distinct(books.accounted_links)) << Dump(books.accounted_links);
  EXPECT_TRUE(Distinct(books.confirmations)) << Dump(books.confirmations);
  EXPECT_EQ(books.payment_links.size(), reference.payment_links.size());
  EXPECT_EQ(books.accounted_links.size(), reference.accounted_links.size());
  EXPECT_TRUE(Includes(books.payment_links, books.accounted_links));
  std::set<std::string> received;
  for (const std::string& text : all.texts) {
    EXPECT_EQ(text.find("<link_"), std::string::npos) << "a placeholder reached a patient: " << text;
    for (const std::string& c : LinkCodesIn(text, "/s/")) received.insert(c);
  }
  EXPECT_EQ(received, std::set<std::string>(books.payment_links.begin(), books.payment_links.end()));
}

MatrixPractice CreateMatrixPractice(const TempDir& home, const MatrixSimulators& sims,
                                    int appointments) {
  fixture::PracticeOptions options;
  options.home = home.path();
  options.patients = 24;
  options.appointments = appointments;
  options.days = 1;
  options.share_with_fees = 0.5;
  options.share_second_email = 0.3;
  options.first_day = platform::EncodeDate(2026, 12, 8);
  options.rest_host = sims.AddressOf(Service::kGateway);
  options.settings_json = kSettings;
  // A sender and no SMTP server: the emails go through the maker's service.
  options.smtp = fixture::SmtpAccount{"", 25, "", "", "studio@example.com"};
  const fixture::PracticeReport report = fixture::CreatePractice(options);

  MatrixPractice practice{home.path(), DatabaseOf(report, "configurazione"),
                          DatabaseOf(report, "agenda"), DatabaseOf(report, "pazienti")};
  for (Service s : {Service::kWhatsApp, Service::kLinks, Service::kPayments, Service::kEmail}) {
    SetServiceAddress(practice, s, sims.AddressOf(s));
  }
  platform::IniFile ini(home / "config.ini");
  ini.WriteInteger(platform::Installation::kSection, "http_timeout", kHttpTimeoutSeconds);
  return practice;
}

void SetServiceAddress(const MatrixPractice& practice, Service service,
                       const std::string& address) {
  platform::IniFile ini(practice.home / "config.ini");
  const char* section = platform::Installation::kSection;
  switch (service) {
    case Service::kGateway:
      ini.WriteString("sms", "rest_host", address);
      break;
    case Service::kWhatsApp:
      ini.WriteString(section, "secure_sms_url", address);
      break;
    case Service::kLinks:
      ini.WriteString(section, "link_url", address);
      break;
    case Service::kPayments:
      ini.WriteString(section, "payment_url", address);
      break;
    case Service::kEmail:
      ini.WriteString(section, "email_url", address);
      ini.WriteString(section, "email_probe_host", HostPortOf(address));
      ini.WriteString(section, "email_fallback_url", address);
      break;
  }
}

int RunDay(const MatrixPractice& practice, const std::string& time) {
  return RunOxsmsdOnce(OXSMSD_PATH, practice.home, {}, "2026-12-07 " + time,
                       std::chrono::seconds(90));
}

int ControlCount(const std::string& text, bool sent) {
  const std::regex count(sent ? R"(Invio Msg \S* (\d+) Msg\.)" : R"(Non inviati Msg \S* (\d+) Msg\.)");
  int total = 0;
  for (std::sregex_iterator it(text.begin(), text.end(), count), end; it != end; ++it) {
    total += std::stoi((*it)[1].str());
  }
  return total;
}

std::vector<std::string> LinkCodesIn(const std::string& text, const std::string& marker) {
  std::vector<std::string> codes;
  for (auto at = text.find(marker); at != std::string::npos; at = text.find(marker, at + 1)) {
    const auto from = at + marker.size();
    std::size_t to = from;
    while (to < text.size() && std::isalnum(static_cast<unsigned char>(text[to]))) ++to;
    if (to > from) codes.push_back(text.substr(from, to - from));
  }
  return codes;
}

}  // namespace oxsms::testing
