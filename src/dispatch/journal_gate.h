// The daily run's side of the run journal: before each kind of send it tells
// which channels may still go today, and it records each kind and channel as
// the run goes (begun, delivering, completed, failed and why).
//
// The rules, per kind and channel of today:
// - a channel completed, refused (a failure that would only repeat: account,
//   credit, alias, a number that cannot be dialled) or uncertain is not sent
//   again; a kind whose channels are all so is skipped with a log line;
// - a channel that failed for a reason that may pass (transport, an unusable
//   reply, a database) is sent again at the next attempt, alone: the
//   channels that went are not repeated;
// - a channel found "delivering" is one whose request was under way when the
//   process ended: its messages may have gone. It is not sent again by
//   itself: it is logged, recorded as uncertain and counted as failed in this
//   run's report (once);
// - a kind found begun but not ended (killed while searching or composing)
//   runs again: nothing of it was delivered;
// - a kind whose search could not read everything (a database or an agenda
//   table) failed for a reason that may pass: the next attempt searches
//   again and sends also on the channels that completed, to the lines they
//   had not handed over (each SMS and WhatsApp channel keeps the keys of the
//   lines it handed over, as the email lines do), so what was missed goes
//   once and nothing goes twice;
// - a channel tried again sends only the lines it has not handed over yet
//   (a line held back for a later attempt is one it has not).
// - the control SMS reports one attempt: it goes with each attempt in which
//   some kind ran, or when today has none yet (a day whose only report is
//   the low-credit warning); never again by itself.
// With --force the journal is read by nobody: every kind runs on every
// channel, and the run is still recorded. Without a journal (the setting off,
// or test mode, which never writes it) every kind runs and nothing is
// recorded.
#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "channels/send_result.h"
#include "channels/sms_host.h"
#include "dispatch/run_report.h"
#include "platform/activity_log.h"
#include "platform/date_time.h"
#include "platform/run_journal.h"

namespace oxsms::dispatch {

enum class JournalChannel { kSms, kWhatsApp, kEmail };

// Channels a kind may use in this attempt.
struct ChannelMask {
  bool sms = true;
  bool whatsapp = true;
  bool email = true;
  bool any() const { return sms || whatsapp || email; }
};

class JournalGate {
 public:
  explicit JournalGate(platform::ActivityLog& log) : log_(log) {}

  // The journal to keep (nullptr: none) and whether runs are forced.
  void Use(platform::RunJournal* journal, bool force) {
    journal_ = journal;
    force_ = force;
  }
  bool Configured() const { return journal_ != nullptr; }

  // The start of a run at `now`; records the attempt. In test mode the
  // journal is left alone for the whole run.
  void BeginRun(platform::TDateTime now, bool test_mode);
  // True while a run keeps the journal.
  bool Active() const { return active_; }
  // True when some kind ran (was not skipped) in this run.
  bool AnyKindRan() const { return any_ran_; }
  // True when the journal holds `kind` for today.
  bool Recorded(SendKind kind);

  // Before `kind`: the channels that may go; nothing: skip the kind. Records
  // the kind as begun. Uncertain channels are counted in `report`.
  ChannelMask BeginKind(SendKind kind, KindReport& report);
  // The delivering request of `channel` is about to go out.
  void Delivering(SendKind kind, channels::DeliveryChannel channel);
  void DeliveringEmail(SendKind kind);
  // The keys (RecipientKey) of the lines `channel` (SMS or WhatsApp) of
  // `kind` handed over earlier today; empty without a journal or with
  // --force.
  std::set<std::string> DeliveredLines(SendKind kind, JournalChannel channel);
  // Adds the keys of lines `channel` just handed over; written with the
  // next ChannelDone.
  void LinesDelivered(SendKind kind, JournalChannel channel, const std::vector<std::string>& keys);
  // The keys (RecipientKey) of the email lines of `kind` that went out
  // earlier today; empty without a journal or with --force.
  std::set<std::string> DeliveredEmails(SendKind kind);
  // Adds the keys of email lines that just went out; written to the journal
  // with the next ChannelDone.
  void EmailsDelivered(SendKind kind, const std::vector<std::string>& keys);
  // What `channel` came to so far in this run.
  void ChannelDone(SendKind kind, JournalChannel channel, const channels::SendResult& result);
  // The kind ended (also by an error): completed, or failed and why.
  void EndKind(SendKind kind, const KindReport& report);

 private:
  platform::KindEntry* Entry(SendKind kind);
  void MarkSending(SendKind kind, const char* channel);
  // True when channel `c` is not to be sent again in this attempt. A
  // completed channel goes again only after a search that missed lines, and
  // only when it knows which lines it handed over: `search_missed_lines`.
  static bool Closed(const platform::ChannelEntry& c, bool search_missed_lines);

  // Channels of the kind in progress that this attempt opened again while
  // they keep the lines handed over earlier, with their entry before: one
  // the attempt leaves untouched had nothing left to send (it ends
  // completed), unless an error ended the kind first (it stays as it was).
  std::map<std::string, platform::ChannelEntry> reopened_;

  platform::ActivityLog& log_;
  platform::RunJournal* journal_ = nullptr;
  bool force_ = false;
  bool active_ = false;
  bool any_ran_ = false;
  platform::TDateTime day_ = 0;
};

const char* JournalChannelName(JournalChannel channel);

// The journal's key of a recipient line: a 64-bit FNV-1a hash, as 16
// hexadecimal digits, of the line without its trailing date and time fields
// (dd/mm/yyyy, hh.mm or hh:mm), so of the name and the number or address.
// A kind sends one message per recipient a day: a later attempt whose search
// picks another appointment of the same patient (one that could not be read
// before) does not remind the patient again. The journal keeps no number or
// address in clear.
std::string RecipientKey(std::string_view line);

}  // namespace oxsms::dispatch
