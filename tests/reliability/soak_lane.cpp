#include "reliability/soak_lane.h"

#include <signal.h>

#include <fstream>
#include <iostream>
#include <iterator>
#include <thread>

#include "fixture/firebird_ddl.h"
#include "fixture/practice_data.h"
#include "fixture/practice_fixture.h"
#include "net/curl_http_client.h"
#include "platform/run_journal.h"

namespace oxsms::soak {
namespace {

using nlohmann::json;
using Clock = std::chrono::steady_clock;

constexpr const char* kDeliveryPaths[] = {"/smsox/filesmstoserver.json",
                                          "/smsox/singlesmstoterver.json"};
constexpr const char* kCreditPath = "/smsox/verificautente.json";
constexpr int kHorizonDays = 8;   // appointments are made up to this many days ahead
constexpr int kAddsPerDay = 10;
constexpr int kMovesPerDay = 3;
constexpr int kCancelsPerDay = 2;
constexpr const char* kDbPassword = "qentoravi";

std::string Settings(int notice_days) {
  return std::string(R"({"user":"demo","pwd":"demo","testata":"STUDIO","time":"11.00.00",
      "cbsms":true,"cbserviziosms":true,"cbservizioemail":false,"cbcompl":false,
      "cbsmsfiniti":false,"cbsmsverifica":false,"giorniinvio":"0000000",
      "testoinvio":")") + kReminderText + R"(","CBPreavviso":true,"GGPreavviso":)" +
         std::to_string(notice_days) + R"(,"testoinviopreavviso":")" + kNoticeText + "\"}";
}

std::string LocationOf(const fixture::PracticeReport& report, const std::string& role) {
  for (const auto& db : report.databases) {
    if (db.role == role) return db.location;
  }
  throw std::runtime_error("nessun archivio " + role);
}

// The last dated line of the log file, read without disturbing the reader.
platform::TDateTime LastLoggedInFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  platform::TDateTime last = 0;
  std::size_t start = text.size() > 8192 ? text.find('\n', text.size() - 8192) + 1 : 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (const auto line = ParseLogLine(text.substr(start, end - start))) last = line->when;
    start = end + 1;
  }
  return last;
}

}  // namespace

Lane::Lane(LaneOptions options) : options_(std::move(options)), rng_(options_.seed * 7919 + 13) {
  first_day_ = platform::EncodeDate(2027, 1, 4);
}

Lane::~Lane() = default;

json Lane::SimCall(const std::string& method, const std::string& path, const json& body) const {
  net::CurlHttpClient http;
  net::HttpRequest request;
  request.method = method;
  request.url = sim_.base_url() + path;
  if (!body.is_null()) {
    request.headers.push_back({"Content-Type", "application/json"});
    request.body = body.dump();
  }
  const std::string reply = http.Send(request).body;
  return reply.empty() ? json() : json::parse(reply);
}

long Lane::SmsCount() const { return static_cast<long>(SimCall("GET", "/_sim/sms").size()); }

long Lane::CreditChecks() const {
  return static_cast<long>(SimCall("GET", std::string("/_sim/requests?path=") + kCreditPath).size());
}

int Lane::DayOf(platform::TDateTime when) const {
  return static_cast<int>(platform::DateOf(when) - first_day_);
}

void Lane::CreatePracticeFiles() {
  fixture::PracticeOptions o;
  o.home = options_.home;
  o.replace_existing = true;
  o.patients = 120;
  o.appointments = 0;
  o.days = 1;
  o.first_day = first_day_;
  o.agenda_tables = 2;
  o.payment_links = false;
  o.rest_host = sim_.base_url();
  o.maker_url = sim_.base_url();
  o.settings_json = Settings(notice_days_);
  const fixture::PracticeReport report = fixture::CreatePractice(o);
  // Each timer tick attaches to the configuration database and detaches
  // again; with forced writes every attach costs synchronous header writes,
  // which would make a simulated day last many seconds. A killed process
  // leaves the operating system's cache intact, so nothing the soak checks
  // depends on them.
  for (const fixture::DatabaseReport& db : report.databases) {
    if (db.role != "catalogo") {
      fixture::SetFirebirdForcedWrites(db.location, "SYSDBA", kDbPassword, false);
    }
  }

  const fixture::PracticeData data = fixture::GeneratePracticeData(o, first_day_);
  AgendaShape shape;
  std::map<int, std::string> guids;
  for (const fixture::Patient& p : data.patients) {
    // The fixed profiles of the first patients are left to the other tests.
    if (p.codice_cliente <= 12 || p.records_active < 1) continue;
    shape.badges.push_back(p.codice_cliente);
    guids[p.codice_cliente] = data.fileguids.at(static_cast<std::size_t>(p.database));
  }
  NormalisePatients(LocationOf(report, "pazienti"), kDbPassword, shape.badges);
  std::vector<std::string> tables;
  for (int t = 0; t < o.agenda_tables; ++t) tables.push_back(fixture::AgendaTableName(o, t));
  shape.tables = o.agenda_tables;
  writer_ = std::make_unique<AgendaWriter>(LocationOf(report, "agenda"), kDbPassword, tables,
                                           guids, first_day_);
  model_ = std::make_unique<AgendaModel>(shape, options_.seed);
}

void Lane::PlanDays() {
  if (!options_.chaos) return;
  std::uniform_real_distribution<double> chance(0.0, 1.0);
  std::vector<int> quiet;
  for (int d = 1; d < options_.days; ++d) {
    DayPlan& plan = plans_[d];
    const double k = chance(rng_);
    plan.kill = k < 0.12 ? KillPlan::kBeforeDelivery
                : k < 0.20 ? KillPlan::kInsideSend
                           : KillPlan::kNone;
    if (plan.kill == KillPlan::kNone) quiet.push_back(d);
    if (plan.kill == KillPlan::kInsideSend || chance(rng_) >= 0.25) continue;
    const double f = chance(rng_);
    if (options_.timeout_faults && f < 0.1) {
      plan = {plan.kill, "delay", 1, 80000};
    } else if (f < 0.5) {
      plan = {plan.kill, "http500", 1 + static_cast<int>(chance(rng_) * 3), 0};
    } else if (f < 0.8) {
      plan = {plan.kill, "refuse", 1 + static_cast<int>(chance(rng_) * 2), 0};
    } else {
      plan = {plan.kill, "delay", 1, 1500};  // slow, within the time-out
    }
  }
  // A run that asks for them has at least one time-out.
  if (options_.timeout_faults) {
    bool present = false;
    for (const auto& [d, p] : plans_) present = present || p.ms > 60000;
    if (!present && !quiet.empty()) {
      const int d = quiet[quiet.size() / 2];
      plans_[d] = {KillPlan::kNone, "delay", 1, 80000};
      quiet.erase(quiet.begin() + static_cast<std::ptrdiff_t>(quiet.size() / 2));
    }
  }
  // Every way of ending the process at least once.
  for (const KillPlan kind : {KillPlan::kBeforeDelivery, KillPlan::kInsideSend}) {
    bool present = false;
    for (const auto& [d, p] : plans_) present = present || p.kill == kind;
    if (present || quiet.empty()) continue;
    const std::size_t i = std::uniform_int_distribution<std::size_t>(0, quiet.size() - 1)(rng_);
    plans_[quiet[i]].kill = kind;
    if (kind == KillPlan::kInsideSend) plans_[quiet[i]].fault.clear();
    quiet.erase(quiet.begin() + static_cast<std::ptrdiff_t>(i));
  }
}

void Lane::Start() {
  sim_.Start();
  std::filesystem::create_directories(options_.home);
  CreatePracticeFiles();
  // Credit for the whole span.
  SimCall("POST", "/_sim/accounts",
          {{"user", "demo"}, {"pwd", "demo"}, {"idcliente", 1001}, {"credit", 100000000}});
  PlanDays();
  const std::vector<Change> initial =
      model_->Churn({1, kHorizonDays, {}, kAddsPerDay * kHorizonDays, 0, 0});
  writer_->Apply(initial);
  figures_.appointments += static_cast<long>(initial.size());
  expectations_.Expect(Kind::kReminder, 1, model_->OnDay(1));
  expectations_.Expect(Kind::kNotice, 1 + notice_days_, model_->OnDay(1 + notice_days_));
  ArmFaults(0);
  process_ = std::make_unique<ServiceProcess>(options_.oxsmsd, options_.home, options_.interval_ms);
  process_->Start(first_day_ + platform::EncodeTime(10, 50, 0));
  progress_at_ = Clock::now();
}

bool Lane::Step() {
  if (done_) return false;
  if (Clock::now() - progress_at_ > std::chrono::minutes(3)) {
    throw std::runtime_error(options_.name + ": il giorno " + std::to_string(day_) +
                             " non finisce (vedi " + (options_.home / "sms.log").string() + ")");
  }
  int status = 0;
  if (process_->Ended(status)) {
    ++figures_.crashes;
    std::cerr << options_.name << ": oxsmsd terminato da solo (stato " << status << ") il giorno "
              << day_ << "\n";
    Restart();
    return true;
  }
  for (const LogLine& line : process_->NewLogLines()) {
    const int day = DayOf(line.when);
    if (day != day_ || done_) continue;
    if (line.text == "Avvio ricerca messaggi" && !run_started_) {
      run_started_ = true;
      OnRunStart(day);
    } else if (line.text == "Fine ricerca messaggi" && Settled(day)) {
      // A run that left something to try again is followed by another: the
      // day ends with the run after which nothing is left.
      OnRunEnd(day);
    }
  }
  if (kill_before_delivery_) CheckBeforeDelivery();
  if (kill_inside_send_) CheckInsideSend();
  return !done_;
}

void Lane::OnRunStart(int day) {
  const DayPlan& plan = plans_[day];
  kill_before_delivery_ = plan.kill == KillPlan::kBeforeDelivery;
  kill_inside_send_ = plan.kill == KillPlan::kInsideSend;
}

void Lane::OnRunEnd(int day) {
  kill_at_.reset();
  kill_before_delivery_ = false;
  kill_inside_send_ = false;
  memory_[lifetime_][day] = process_->ResidentKb();
  if (day + 1 >= options_.days) {
    process_->Signal(SIGTERM);
    figures_.final_status = process_->WaitEnd(120);
    done_ = true;
    return;
  }
  ChangeAgenda(day);
  ArmFaults(day + 1);
  day_ = day + 1;
  run_started_ = false;
  progress_at_ = Clock::now();
}

void Lane::ChangeAgenda(int day) {
  ChurnPlan plan;
  plan.first_day = day + 2;
  plan.last_day = day + 1 + kHorizonDays;
  // What today's runs searched: a run tried again later today searches it
  // once more, so it stays as it was.
  plan.frozen = {day + 1, day + 1 + notice_days_};
  plan.adds = kAddsPerDay;
  plan.moves = kMovesPerDay;
  plan.cancels = kCancelsPerDay;
  const std::vector<Change> changes = model_->Churn(plan);
  writer_->Apply(changes);
  for (const Change& c : changes) {
    if (c.op == Change::Op::kAdd) ++figures_.appointments;
    if (c.op == Change::Op::kMove) ++figures_.moved;
    if (c.op == Change::Op::kCancel) ++figures_.cancelled;
    if (c.op != Change::Op::kAdd) expectations_.Removed(c.before);
  }
  // Tomorrow's run searches these, as they now stand.
  expectations_.Expect(Kind::kReminder, day + 2, model_->OnDay(day + 2));
  expectations_.Expect(Kind::kNotice, day + 2 + notice_days_, model_->OnDay(day + 2 + notice_days_));
  // The changes must be in before tomorrow's run begins.
  const std::string log = [&] {
    std::ifstream in(options_.home / "sms.log", std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }();
  const std::string tomorrow = platform::FormatDate(first_day_ + day + 1);
  for (auto p = log.find(tomorrow); p != std::string::npos; p = log.find(tomorrow, p + 1)) {
    if (log.compare(p + tomorrow.size() + 10, 22, "Avvio ricerca messaggi") == 0) {
      ++figures_.harness_races;
      break;
    }
  }
}

void Lane::ArmFaults(int day) {
  SimCall("DELETE", "/_sim/faults");
  const DayPlan& plan = plans_[day];
  for (const char* path : kDeliveryPaths) {
    if (!plan.fault.empty()) {
      json fault = {{"path", path}, {"kind", plan.fault}, {"times", plan.times}};
      if (plan.ms > 0) fault["ms"] = plan.ms;
      SimCall("POST", "/_sim/faults", fault);
    }
    if (plan.kill == KillPlan::kInsideSend) {
      // The gateway takes the messages, then answers a byte at a time: the
      // service is killed while it waits for the reply.
      SimCall("POST", "/_sim/faults", {{"path", path}, {"kind", "trickle"}, {"ms", 300}, {"times", 1}});
    }
  }
  if (!plan.fault.empty()) {
    events_[day].faults.insert(plan.fault);
    ++figures_.fault_days;
  }
  if (plan.kill == KillPlan::kInsideSend) {
    events_[day].faults.insert("trickle");
    sms_before_ = SmsCount();
  }
  if (plan.kill == KillPlan::kBeforeDelivery) {
    // The credit check answers late: the process waits for it, outside the
    // database engine, and is killed at a random moment of that wait.
    SimCall("POST", "/_sim/faults", {{"path", kCreditPath}, {"kind", "delay"}, {"ms", 600}, {"times", 1}});
    checks_before_ = CreditChecks();
  }
}

std::optional<json> Lane::JournalDay(int day) const {
  std::ifstream in(options_.home / platform::RunJournal::kFileName, std::ios::binary);
  if (!in) return json::object();
  try {
    const json journal = json::parse(in);
    const std::string key = platform::RunJournal::DayKey(first_day_ + day);
    if (!journal.contains("giorni") || !journal["giorni"].contains(key)) return json::object();
    return journal["giorni"][key];
  } catch (const json::exception&) {
    return std::nullopt;  // unreadable: look again later
  }
}

bool Lane::Settled(int day) const {
  const std::optional<json> entry = JournalDay(day);
  if (!entry) return false;
  const json kinds = entry->value("tipi", json::object());
  for (const auto& [kind, k] : kinds.items()) {
    if (kind == platform::kControlKind) continue;
    const std::string state = k.value("stato", "");
    if (state == "avviato" || (state == "fallito" && k.value("ritentabile", false))) return false;
  }
  return true;
}

void Lane::CheckBeforeDelivery() {
  if (!kill_at_) {
    if (CreditChecks() <= checks_before_) return;
    kill_at_ = Clock::now() + std::chrono::milliseconds(
                                  std::uniform_int_distribution<int>(0, 400)(rng_));
  }
  if (Clock::now() < *kill_at_) return;
  kill_at_.reset();
  kill_before_delivery_ = false;
  ++figures_.kills_before_delivery;
  KillAndRestart();
  SimCall("DELETE", "/_sim/faults");
}

void Lane::CheckInsideSend() {
  if (SmsCount() <= sms_before_) return;
  kill_inside_send_ = false;
  ++figures_.kills_inside_send;
  KillAndRestart();
  SimCall("DELETE", "/_sim/faults");
}

void Lane::KillAndRestart() {
  process_->Signal(SIGKILL);
  if (process_->WaitEnd(30) == -1) throw std::runtime_error("oxsmsd non termina dopo SIGKILL");
  events_[day_].killed = true;
  Restart();
}

void Lane::Restart() {
  ++lifetime_;
  ++figures_.restarts;
  // The simulated moment the process had reached, as its log last told.
  const platform::TDateTime at = LastLoggedInFile(options_.home / "sms.log");
  process_->Start(at > 0 ? at : first_day_ + platform::EncodeTime(10, 50, 0));
}

SendTally Lane::Sends() const {
  std::vector<SentMessage> sent;
  long unreadable = 0;
  for (const json& m : SimCall("GET", "/_sim/sms")) {
    const auto s = ReadSent(m.value("recipient", ""), m.value("text", ""), first_day_);
    if (s) {
      sent.push_back(*s);
    } else {
      ++unreadable;
    }
  }
  return CompareSends(expectations_, sent, unreadable);
}

std::vector<std::string> Lane::UnexplainedLines() const {
  std::ifstream in(options_.home / "sms.log", std::ios::binary);
  const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return UnexplainedErrorLines(log, first_day_, events_);
}

std::map<int, long> Lane::LongestLifeMemory() const {
  std::map<int, long> best;
  for (const auto& [life, samples] : memory_) {
    if (samples.size() > best.size()) best = samples;
  }
  return best;
}

}  // namespace oxsms::soak
