// What the soak concludes at the end, kept apart from the processes so that
// it can be tested by itself: the reminders expected from the agenda as it
// stood at each run against those the gateway took, the activity log's error
// lines against the faults and kills that explain them, and the resident
// memory of the service that was never killed.
#pragma once

#include <compare>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/date_time.h"
#include "reliability/soak_agenda.h"

namespace oxsms::soak {

enum class Kind { kReminder, kNotice };

// Texts of the two kinds; the placeholders give the appointment's date and time.
inline constexpr const char* kReminderText = "PROMEMORIA <Data> <Ora>";
inline constexpr const char* kNoticeText = "PREAVVISO <Data> <Ora>";

// One message per kind, appointment day and patient.
struct SendKey {
  Kind kind = Kind::kReminder;
  int day = 0;
  int badge = 0;
  auto operator<=>(const SendKey&) const = default;
};

struct SentMessage {
  SendKey key;
  int minute = 0;
};

// The patient's number as the soak writes it: "333" and the badge in seven
// digits; the gateway sees it with the country prefix.
std::string NumberOfBadge(int badge);

// A message the gateway took, read back: kind from the text's first word,
// the day from <Data> ("dd/mm/yyyy") counted from `first_day`, the minute
// from <Ora> ("hh.mm" or "hh:mm"), the badge from the recipient's last seven
// digits. Nothing for a text of another form.
std::optional<SentMessage> ReadSent(const std::string& recipient, const std::string& text,
                                    platform::TDateTime first_day);

class Expectations {
 public:
  // The appointments of `day` as a run searched them for `kind`.
  void Expect(Kind kind, int day, const std::vector<Appointment>& appointments);
  // An appointment taken off a day (moved away or cancelled).
  void Removed(const Appointment& a) { removed_.insert({a.day, a.badge}); }

  const std::map<SendKey, int>& expected() const { return expected_; }
  bool WasRemoved(int day, int badge) const { return removed_.count({day, badge}) != 0; }

 private:
  std::map<SendKey, int> expected_;  // the appointment's minute
  std::set<std::pair<int, int>> removed_;
};

struct SendTally {
  long expected = 0;
  long sent = 0;
  long duplicates = 0;  // messages beyond the first for one key
  long lost = 0;        // expected keys without a message
  long unexpected = 0;  // messages for no expected key
  long for_removed = 0; // of those: for an appointment cancelled or moved away
  long wrong_time = 0;  // the right key with another time
  long unreadable = 0;  // gateway records of another form
  std::vector<std::string> problems;  // the first few, spelled out
  bool ok() const {
    return duplicates == 0 && lost == 0 && unexpected == 0 && wrong_time == 0 && unreadable == 0;
  }
};

SendTally CompareSends(const Expectations& expectations, const std::vector<SentMessage>& sent,
                       long unreadable);

// Why error lines may appear on a day: faults armed for it, a kill.
struct DayEvents {
  std::set<std::string> faults;  // "http500", "refuse", "delay", "trickle"
  bool killed = false;
};

// Lines of the activity log that report a failure and that nothing armed or
// done on their day explains. `first_day` dates the lines.
std::vector<std::string> UnexplainedErrorLines(const std::string& log,
                                               platform::TDateTime first_day,
                                               const std::map<int, DayEvents>& events);

struct MemoryVerdict {
  int period_days = 0;
  double second = 0;  // mean VmRSS (kB) of the second period
  double last = 0;    // and of the last
  bool ok = false;    // last within 5 % of second
  std::string reason;
};

// `samples`: VmRSS in kB per day of one process's life. The periods are
// months (30 days) from 90 days on, else a sixth of the span.
MemoryVerdict CompareMemory(const std::map<int, long>& samples, int days);

}  // namespace oxsms::soak
