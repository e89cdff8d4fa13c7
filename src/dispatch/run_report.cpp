#include "dispatch/run_report.h"

#include <algorithm>

#include "channels/channel_error.h"
#include "net/http_client.h"
#include "practice/database_error.h"

namespace oxsms::dispatch {

const char* KindName(SendKind kind) {
  switch (kind) {
    case SendKind::kReminder:
      return "promemoria";
    case SendKind::kAdvanceNotice:
      return "preavviso";
    case SendKind::kPaymentLink:
      return "link_pagamento";
    case SendKind::kBirthday:
      return "compleanni";
    case SendKind::kControl:
      break;
  }
  return "controllo";
}

channels::SendResult KindReport::Total() const {
  channels::SendResult total = sms;
  total.Add(whatsapp);
  total.Add(email);
  total.Add(other);
  return total;
}

bool RunReport::Failed() const {
  return std::any_of(kinds.begin(), kinds.end(),
                     [](const KindReport& k) { return !k.Total().ok(); });
}

KindReport& RunReport::Of(SendKind kind) {
  for (KindReport& k : kinds) {
    if (k.kind == kind) return k;
  }
  KindReport& added = kinds.emplace_back();
  added.kind = kind;
  return added;
}

channels::SendFailure FailureOf(const std::exception& error) {
  const auto* http = dynamic_cast<const net::HttpError*>(&error);
  if (http != nullptr && http->Unanswered()) return channels::SendFailure::kUncertain;
  if (dynamic_cast<const net::HttpError*>(&error) != nullptr ||
      dynamic_cast<const channels::GatewayReplyError*>(&error) != nullptr ||
      dynamic_cast<const practice::DatabaseError*>(&error) != nullptr) {
    return channels::SendFailure::kTransient;
  }
  return channels::SendFailure::kRefused;
}

}  // namespace oxsms::dispatch
