// What a daily run came to, kind of message by kind of message: per channel
// what went out and what did not, and the errors outside the channels (a
// search that could not read a database). The control SMS, the exit code of
// a run started by hand and the run journal read it.
#pragma once

#include <exception>
#include <string>
#include <vector>

#include "channels/send_result.h"

namespace oxsms::dispatch {

enum class SendKind { kReminder, kAdvanceNotice, kPaymentLink, kBirthday, kControl };

// The kind's name in the run journal and in log lines: "promemoria",
// "preavviso", "link_pagamento", "compleanni", "controllo".
const char* KindName(SendKind kind);

struct KindReport {
  SendKind kind = SendKind::kReminder;
  channels::SendResult sms;
  channels::SendResult whatsapp;
  channels::SendResult email;
  channels::SendResult other;  // errors outside the channels
  // The search could not read everything (a database, an agenda table):
  // recipients may be missing from what went.
  bool search_incomplete = false;

  channels::SendResult Total() const;
};

struct RunReport {
  std::vector<KindReport> kinds;  // in the order the run took them

  // True when any kind left a message unsent or ended on an error.
  bool Failed() const;
  // The report of `kind`, added when the run has none yet.
  KindReport& Of(SendKind kind);
};

// How far an error that ended a send may pass: transport failures, replies
// that could not be used and databases that could not be read are
// transient; everything else (a refusal, bad settings or data) is not.
channels::SendFailure FailureOf(const std::exception& error);

}  // namespace oxsms::dispatch
