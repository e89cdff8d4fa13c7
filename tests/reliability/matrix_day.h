// The day every case of the fault matrix runs: a small practice whose
// reminders for Tuesday 8 December 2026 go by SMS, WhatsApp template and
// the maker's REST email service, with confirmation links, payment messages
// for the fees and a control SMS, sent by the real service on Monday at
// 11.00. Each of the maker's services has an address of its own
// (127.0.0.2 to 127.0.0.7, all served by one simulator), as each has a host
// of its own in the field, so a service that does not answer pauses only
// itself.
#pragma once

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "fixture/practice_options.h"
#include "maker-sim/maker_simulator.h"
#include "support/temp_dir.h"

namespace oxsms::testing {

// The config.ini keys (section "sms" or "Installazione") that give the
// address of one of the maker's services.
enum class Service { kGateway, kWhatsApp, kLinks, kPayments, kEmail };

// The seconds a request may wait for its reply in the matrix's practices:
// a "delay" fault longer than this is a service that does not answer.
inline constexpr int kHttpTimeoutSeconds = 1;
inline constexpr int kNoAnswerMs = 2500;

inline constexpr const char* kControlNumber = "+39 333 0000001";
inline constexpr const char* kReminderWords = "Promemoria";
inline constexpr const char* kPaymentWords = "Pagamento online";

// A simulator listening on every loopback address, and a second one that
// stands for a host that is none of the maker's.
class MatrixSimulators {
 public:
  MatrixSimulators();
  std::string AddressOf(Service service) const;
  const std::string& control_url() const { return control_url_; }
  const std::string& elsewhere_url() const { return elsewhere_url_; }

 private:
  makersim::MakerSimulator sim_;
  makersim::MakerSimulator elsewhere_;
  std::string control_url_;
  std::string elsewhere_url_;
};

// What the simulator took, one key per message: "sms <kind> <recipient>",
// "whatsapp <template> <recipient>", "email <subject> <recipient>". The
// control SMS are kept apart, as their texts.
struct Deliveries {
  std::multiset<std::string> messages;
  std::vector<std::string> control_texts;
  // Texts of the patients' SMS, WhatsApp free texts and variables, email
  // bodies: where the link codes and placeholders show.
  std::vector<std::string> texts;

  // What `later` holds beyond this.
  Deliveries Since(const Deliveries& earlier) const;
  // The messages whose key begins with `prefix`.
  std::multiset<std::string> Of(const std::string& prefix) const;
};

Deliveries DeliveriesOf(const std::string& control_url);

// The messages of `whole` that `got` lacks.
std::multiset<std::string> Missing(const Deliveries& whole, const Deliveries& got);
// Whether `whole` holds every item of `part` (as often).
bool Includes(const std::multiset<std::string>& whole, const std::multiset<std::string>& part);
// One item a line, for failure messages.
std::string Dump(const std::multiset<std::string>& items);

// The keys of payment messages ("sms pagamento", "whatsapp PAGAMENTO").
bool IsPaymentMessage(const std::string& key);

// One practice of the day in `home`; `appointments` on the Tuesday.
struct MatrixPractice {
  std::filesystem::path home;
  std::filesystem::path config;
  std::filesystem::path agenda;
  std::filesystem::path patients;
};
MatrixPractice CreateMatrixPractice(const TempDir& home, const MatrixSimulators& sims,
                                    int appointments);

// What the practice's databases record of the day's links.
struct Books {
  std::multiset<std::string> payment_links;     // agenda rows (ID_LINKPAG)
  std::multiset<std::string> accounted_links;   // accounting entries (CONTAB)
  std::multiset<std::string> confirmations;     // agenda rows (ID_WEB)
};
Books BooksOf(const MatrixPractice& practice);

// A day without faults on a practice of its own, as the cases compare with;
// the simulator is reset afterwards.
struct ReferenceDay {
  Deliveries deliveries;
  Books books;
};
ReferenceDay RunReferenceDay(const MatrixSimulators& sims, int appointments);

// `all` holds every message of `whole_day` once, the payment messages
// aside: a fee's message goes on every channel that did not fail, and a
// channel that failed sends it again only while no other channel took it
// (the link waits for one message, not for each channel), so each payment
// recipient got it at least once and no channel twice.
void ExpectWholeDayOnce(const Deliveries& all, const Deliveries& whole_day, const std::string& log);

// Every link recorded once, the accounts as many entries as on a day
// without faults, and every payment link a patient received recorded.
void ExpectBooksOnce(const Books& books, const Books& reference, const Deliveries& all);

// Points the service at `address` (for the email service: its probe and its
// fallback too).
void SetServiceAddress(const MatrixPractice& practice, Service service,
                       const std::string& address);

// One run by hand on the day at `time` ("11:00:00"); the exit status.
int RunDay(const MatrixPractice& practice, const std::string& time);

// The sum of the counts of "Invio Msg ... <n> Msg." (sent) or "Non inviati
// Msg ... <n> Msg." (not sent) of a control text.
int ControlCount(const std::string& text, bool sent);

// The codes of the links of `marker` ("/c/" or "/s/") in `text`.
std::vector<std::string> LinkCodesIn(const std::string& text, const std::string& marker);

}  // namespace oxsms::testing
