#include "dispatch/journal_gate.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace oxsms::dispatch {
namespace {

using platform::JournalState;

constexpr JournalChannel kChannels[] = {JournalChannel::kSms, JournalChannel::kWhatsApp,
                                        JournalChannel::kEmail};

bool& MaskOf(ChannelMask& mask, JournalChannel channel) {
  switch (channel) {
    case JournalChannel::kSms:
      return mask.sms;
    case JournalChannel::kWhatsApp:
      return mask.whatsapp;
    case JournalChannel::kEmail:
      break;
  }
  return mask.email;
}

channels::SendResult& ResultOf(KindReport& report, JournalChannel channel) {
  switch (channel) {
    case JournalChannel::kSms:
      return report.sms;
    case JournalChannel::kWhatsApp:
      return report.whatsapp;
    case JournalChannel::kEmail:
      break;
  }
  return report.email;
}

bool AllDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "dd/mm/yyyy", "hh.mm" or "hh:mm" (one or two digits before the mark).
bool DateOrTime(std::string_view field) {
  const auto slash = field.find('/');
  if (slash != std::string_view::npos) {
    const auto second = field.find('/', slash + 1);
    return second != std::string_view::npos && AllDigits(field.substr(0, slash)) &&
           AllDigits(field.substr(slash + 1, second - slash - 1)) &&
           AllDigits(field.substr(second + 1));
  }
  const auto mark = field.find_first_of(".:");
  return mark != std::string_view::npos && mark <= 2 && AllDigits(field.substr(0, mark)) &&
         field.size() - mark - 1 == 2 && AllDigits(field.substr(mark + 1));
}

}  // namespace

bool JournalGate::Closed(const platform::ChannelEntry& c, bool search_missed_lines) {
  if (c.state == JournalState::kUncertain) return true;
  if (c.state == JournalState::kFailed) return !c.retry;
  return c.state == JournalState::kCompleted && !search_missed_lines;
}

const char* JournalChannelName(JournalChannel channel) {
  switch (channel) {
    case JournalChannel::kSms:
      return "sms";
    case JournalChannel::kWhatsApp:
      return "whatsapp";
    case JournalChannel::kEmail:
      break;
  }
  return "email";
}

void JournalGate::BeginRun(platform::TDateTime now, bool test_mode) {
  active_ = journal_ != nullptr && !test_mode;
  any_ran_ = false;
  if (!active_) return;
  day_ = now;
  platform::DayEntry& day = journal_->Day(now);
  ++day.attempts;
  day.last_attempt = now;
  journal_->Save();
  if (force_) {
    log_.WriteLog("Invio forzato (--force): il diario degli invii di oggi non è considerato, "
                  "ogni tipo di invio viene ripetuto");
  } else if (day.damaged) {
    log_.WriteLog("Diario degli invii di oggi danneggiato: nessun invio automatico oggi, "
                  "per inviare comunque usare --force");
  }
}

bool JournalGate::Recorded(SendKind kind) {
  return active_ && journal_->Day(day_).kinds.count(KindName(kind)) != 0;
}

platform::KindEntry* JournalGate::Entry(SendKind kind) {
  if (!active_) return nullptr;
  return &journal_->Day(day_).kinds[KindName(kind)];
}

ChannelMask JournalGate::BeginKind(SendKind kind, KindReport& report) {
  ChannelMask mask;
  if (!active_) {
    any_ran_ = true;
    return mask;
  }
  platform::DayEntry& day = journal_->Day(day_);
  const std::string name = KindName(kind);
  const bool known = day.kinds.count(name) != 0;
  platform::KindEntry& entry = day.kinds[name];
  if (force_ || kind == SendKind::kControl || !known) {
    if (!force_ && kind != SendKind::kControl && day.damaged) {
      // What went out before the journal was lost cannot be known.
      entry.state = JournalState::kFailed;
      entry.retry = false;
      entry.reason = "diario danneggiato";
      journal_->Save();
      log_.WriteLog("Invio " + name + " non eseguito: diario degli invii danneggiato");
      report.other.Fail(0, channels::SendFailure::kRefused, "diario danneggiato");
      return ChannelMask{false, false, false};
    }
    entry = platform::KindEntry{};
    journal_->Save();
    any_ran_ = true;
    return mask;
  }
  reopened_.clear();
  for (const JournalChannel channel : kChannels) {
    const auto found = entry.channels.find(JournalChannelName(channel));
    if (found == entry.channels.end()) continue;
    platform::ChannelEntry& c = found->second;
    // The email lines that went are kept with the kind: an email channel
    // always knows what it handed over.
    const bool keyed = c.lines_kept || channel == JournalChannel::kEmail;
    if (c.state == JournalState::kSending) {
      const std::string text = std::string("Invio ") + name + " " + found->first +
                               " interrotto durante la consegna: esito incerto, non ripetuto "
                               "(per ripeterlo usare --force)";
      log_.WriteLog(text);
      c.state = JournalState::kUncertain;
      c.reason = "interrotto durante la consegna";
      ResultOf(report, channel).Fail(0, channels::SendFailure::kRefused, text);
    }
    if (Closed(c, entry.search_incomplete && keyed)) {
      MaskOf(mask, channel) = false;
    } else if (channel != JournalChannel::kEmail && !c.delivered_lines.empty()) {
      // This attempt decides anew; the lines handed over stay recorded. Until
      // it does, the channel counts as to be tried again.
      reopened_.emplace(found->first, c);
      c.state = JournalState::kFailed;
      c.retry = true;
      c.reason = "da ripetere";
    } else {
      entry.channels.erase(found);  // this attempt decides anew
    }
  }
  const bool rerun = entry.state == JournalState::kStarted ||
                     (entry.state == JournalState::kFailed && entry.retry);
  if (!rerun || !mask.any()) {
    if (entry.state == JournalState::kStarted) entry.state = JournalState::kFailed;
    journal_->Save();
    log_.WriteLog("Invio " + name + " già eseguito oggi: non ripetuto");
    return ChannelMask{false, false, false};
  }
  entry.state = JournalState::kStarted;
  entry.retry = false;
  entry.reason.clear();
  journal_->Save();
  any_ran_ = true;
  return mask;
}

void JournalGate::MarkSending(SendKind kind, const char* channel) {
  platform::KindEntry* entry = Entry(kind);
  if (entry == nullptr) return;
  reopened_.erase(channel);
  platform::ChannelEntry& c = entry->channels[channel];
  platform::ChannelEntry sending;
  sending.state = JournalState::kSending;
  sending.delivered_lines = std::move(c.delivered_lines);
  sending.lines_kept = c.lines_kept;
  c = std::move(sending);
  journal_->Save();
}

void JournalGate::Delivering(SendKind kind, channels::DeliveryChannel channel) {
  MarkSending(kind, channel == channels::DeliveryChannel::kSms ? "sms" : "whatsapp");
}

void JournalGate::DeliveringEmail(SendKind kind) { MarkSending(kind, "email"); }

std::set<std::string> JournalGate::DeliveredEmails(SendKind kind) {
  const platform::KindEntry* entry = Entry(kind);
  if (entry == nullptr) return {};
  return {entry->delivered_emails.begin(), entry->delivered_emails.end()};
}

void JournalGate::EmailsDelivered(SendKind kind, const std::vector<std::string>& keys) {
  platform::KindEntry* entry = Entry(kind);
  if (entry == nullptr) return;
  entry->delivered_emails.insert(entry->delivered_emails.end(), keys.begin(), keys.end());
}

std::set<std::string> JournalGate::DeliveredLines(SendKind kind, JournalChannel channel) {
  const platform::KindEntry* entry = Entry(kind);
  if (entry == nullptr) return {};
  const auto found = entry->channels.find(JournalChannelName(channel));
  if (found == entry->channels.end()) return {};
  return {found->second.delivered_lines.begin(), found->second.delivered_lines.end()};
}

void JournalGate::LinesDelivered(SendKind kind, JournalChannel channel,
                                 const std::vector<std::string>& keys) {
  platform::KindEntry* entry = Entry(kind);
  if (entry == nullptr) return;
  std::vector<std::string>& lines = entry->channels[JournalChannelName(channel)].delivered_lines;
  lines.insert(lines.end(), keys.begin(), keys.end());
}

std::string RecipientKey(std::string_view line) {
  for (auto comma = line.rfind(','); comma != std::string_view::npos; comma = line.rfind(',')) {
    if (!DateOrTime(line.substr(comma + 1))) break;
    line = line.substr(0, comma);
  }
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : line) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string key(16, '0');
  for (int i = 15; i >= 0; --i, hash >>= 4) key[static_cast<std::size_t>(i)] = kDigits[hash & 0xF];
  return key;
}

void JournalGate::ChannelDone(SendKind kind, JournalChannel channel,
                              const channels::SendResult& result) {
  platform::KindEntry* entry = Entry(kind);
  if (entry == nullptr) return;
  // Only the delivering request can leave the messages in doubt; a check
  // before it that got no reply sent nothing.
  const auto found = entry->channels.find(JournalChannelName(channel));
  const bool delivering =
      found != entry->channels.end() && found->second.state == JournalState::kSending;
  reopened_.erase(JournalChannelName(channel));
  platform::ChannelEntry& c = entry->channels[JournalChannelName(channel)];
  // From here on the channel's record of lines is whole (the email lines are
  // kept with the kind).
  if (channel != JournalChannel::kEmail) c.lines_kept = true;
  const bool uncertain = result.failure == channels::SendFailure::kUncertain && delivering;
  c.accepted = result.accepted;
  c.failed = result.failed;
  c.reason = result.reason;
  c.retry = result.failure == channels::SendFailure::kTransient ||
            (result.failure == channels::SendFailure::kUncertain && !delivering);
  c.state = result.ok()   ? JournalState::kCompleted
            : uncertain   ? JournalState::kUncertain
                          : JournalState::kFailed;
  if (uncertain) {
    log_.WriteLog(std::string("Invio ") + KindName(kind) + " " + JournalChannelName(channel) +
                  " senza risposta dal servizio: esito incerto, non ripetuto "
                  "(per ripeterlo usare --force)");
  }
  journal_->Save();
}

void JournalGate::EndKind(SendKind kind, const KindReport& report) {
  platform::KindEntry* entry = Entry(kind);
  if (entry == nullptr || entry->state != JournalState::kStarted) return;
  for (auto& [name, before] : reopened_) {
    platform::ChannelEntry& c = entry->channels[name];
    if (report.other.ok()) {
      c.state = JournalState::kCompleted;  // nothing was left for it
      c.retry = false;
      c.reason.clear();
    } else {
      c = std::move(before);
    }
  }
  reopened_.clear();
  entry->search_incomplete = report.search_incomplete;
  bool retry = report.other.failure == channels::SendFailure::kTransient;
  bool failed = !report.other.ok();
  std::string reason = report.other.reason;
  for (const auto& [name, c] : entry->channels) {
    if (c.state == JournalState::kCompleted) continue;
    failed = true;
    if (c.state == JournalState::kFailed && c.retry) retry = true;
    if (reason.empty()) reason = name + ": " + c.reason;
  }
  entry->state = failed ? JournalState::kFailed : JournalState::kCompleted;
  entry->retry = retry;
  entry->reason = reason;
  journal_->Save();
  if (retry) {
    log_.WriteLog(std::string("Invio ") + KindName(kind) +
                  " non riuscito, sarà ritentato più tardi: " + reason);
  }
}

}  // namespace oxsms::dispatch
