// The run journal: what the daily run did today, kept in "diario_invii.json"
// in the home folder, so that neither a tick, a restart nor a run by hand
// sends a kind of message twice on one day, and so that a kind that failed
// for a reason that may pass is tried again later that day.
//
// Per day: how many attempts the day had and when the last one began; per
// kind of send (its journal name: "promemoria", "preavviso",
// "link_pagamento", "compleanni", "controllo") its state, and per channel
// ("sms", "whatsapp", "email") the state of its delivery:
//
//   kind     "avviato" (begun; found so after a restart it was interrupted
//            before it ended and may run again), "completato", "fallito"
//            with "ritentabile" and "motivo"
//   channel  "in_corso" (the request that delivers was under way),
//            "completato", "fallito" with "ritentabile" and "motivo",
//            "incerto" (found "in_corso" after a restart: the messages may
//            or may not have gone; never sent again by itself);
//            "righe_consegnate": the keys of the recipient lines an SMS or
//            WhatsApp channel handed over today (present once the channel
//            keeps them, also empty)
//   kind     "ricerca_incompleta": true when its search could not read every
//            database or table: a later attempt searches again and sends
//            what the earlier ones did not hand over
//
// File form (UTF-8 JSON; unknown members are ignored):
//   {"versione":1,"giorni":{"2026-12-07":{"tentativi":2,
//     "ultimo_tentativo":"2026-12-07 11:05:00","danneggiato":false,
//     "tipi":{"promemoria":{"stato":"fallito","ritentabile":true,"motivo":"...",
//       "ricerca_incompleta":true,
//       "canali":{"sms":{"stato":"completato","inviati":12,"non_inviati":0,
//                        "righe_consegnate":["0c1f...", ...]},
//                 "whatsapp":{"stato":"fallito","ritentabile":true,"motivo":"..."}},
//       "email_consegnate":["9f86d081884c7d65", ...]}}}}}
//
// Every change is written at once and atomically: a temporary file in the
// same folder, flushed to the disk, renamed over the journal (and, on POSIX
// systems, the folder flushed), so a crash leaves the old or the new journal,
// never half of one. Only the last kDaysKept days are kept.
//
// A journal that cannot be read is set aside ("diario_invii.json.danneggiato")
// and logged; the day on which that happened is marked damaged: no kind of
// that day is sent by itself (what went out before cannot be known), only a
// run with --force sends.
//
// Only the service thread uses it.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/activity_log.h"
#include "platform/date_time.h"
#include "platform/error.h"

namespace oxsms::platform {

enum class JournalState { kStarted, kSending, kCompleted, kFailed, kUncertain };

// Journal texts of the states: "avviato", "in_corso", "completato",
// "fallito", "incerto".
const char* JournalStateName(JournalState state);

struct ChannelEntry {
  JournalState state = JournalState::kSending;
  bool retry = false;  // a failure that may pass: try again at a later tick
  std::string reason;
  int accepted = 0;
  int failed = 0;
  // Keys of the recipient lines the channel handed over today (a line the
  // service took or refused; not one held back for a later attempt). Only
  // with `lines_kept` set do they tell the whole of what it handed over.
  std::vector<std::string> delivered_lines;
  bool lines_kept = false;
};

struct KindEntry {
  JournalState state = JournalState::kStarted;
  bool retry = false;
  std::string reason;
  // The search of the kind could not read everything: an attempt after it
  // sends again on the channels that completed, to the lines they lack.
  bool search_incomplete = false;
  std::map<std::string, ChannelEntry> channels;
  // Keys of the email recipients whose message went out today: emails go
  // one message per recipient, so an email batch tried again after a failure
  // that may pass leaves out the recipients already served.
  std::vector<std::string> delivered_emails;
};

struct DayEntry {
  int attempts = 0;
  TDateTime last_attempt = 0;
  bool damaged = false;
  std::map<std::string, KindEntry> kinds;
};

// The kind that reports a run (the control SMS): each attempt sends its own,
// so it is never tried again by itself.
inline constexpr const char* kControlKind = "controllo";

class RunJournal {
 public:
  static constexpr const char* kFileName = "diario_invii.json";
  static constexpr int kDaysKept = 7;

  // The journal file; read at the first use.
  RunJournal(std::filesystem::path file, ActivityLog& log);

  // The day of `when` (created empty when the journal has none). A damaged
  // journal marks the day of the first use damaged; writing that down may
  // raise as Save does.
  DayEntry& Day(TDateTime when);
  // Writes the journal (atomically). A failure to write is logged and
  // raised as Error (kConfiguration): a run must not go on without its record.
  void Save();

  // The pause before attempt number `attempts + 1` of a day, in minutes:
  // 5, 10, 20, 40, then 60 for every further attempt.
  static double PauseMinutes(int attempts);

  // Why a new attempt is due at `now`: a kind (other than the control SMS)
  // of today failed for a reason that may pass, or was interrupted, and the
  // pause since the last attempt has passed. Nothing when no attempt is due.
  std::optional<std::string> RetryDue(TDateTime now);

  const std::filesystem::path& file() const { return file_; }

  // Day keys "YYYY-MM-DD" and times "YYYY-MM-DD HH:MM:SS".
  static std::string DayKey(TDateTime when);
  static std::string TimeText(TDateTime when);

  // The journal as text and back (the file's form); Parse raises DataError
  // on a text that is no journal.
  static std::string Serialize(const std::map<std::string, DayEntry>& days);
  static std::map<std::string, DayEntry> Parse(const std::string& text);

 private:
  void Load(TDateTime today);
  void Prune();

  std::filesystem::path file_;
  ActivityLog& log_;
  bool loaded_ = false;
  bool damaged_ = false;
  std::map<std::string, DayEntry> days_;
};

}  // namespace oxsms::platform
