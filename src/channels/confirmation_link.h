// The appointment confirmation links: the short link with which a patient
// confirms or cancels an appointment. `OttieniLink` reuses the link the
// agenda already stores for the appointment, or has the maker's link service
// create one.
//
// Errors are exceptions with the Italian text the callers log or drop:
// ChannelError for a date or time that cannot be read, GatewayReplyError when
// the link service gives no usable reply. No credential reaches the log or an
// error text.
//
// Only the service thread calls. Everything referenced must outlive the
// object.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "channels/confirmation_request.h"
#include "net/http_client.h"
#include "net/maker_rest.h"
#include "platform/activity_log.h"
#include "practice/appointment_key.h"
#include "practice/recipient_records.h"

namespace oxsms::channels {

// Endpoint of the link service, relative to its base address.
inline constexpr const char* kCreaConfermaPath = "conferma_appuntamenti/crea.json";

// `getLinkBreve` of the run's search object: looks up the short link stored
// in the agenda for the appointment of `rec` and may set `Ora`, `id_web`,
// `link_conferma` and `link_exist`. Must not raise. An empty function stands
// for a run without a search object: nothing is looked up.
using StoredLinkLookup = std::function<void(practice::TLineRec&)>;

struct ConfirmationLinkConfig {
  // `UserConnect` and the setting `ore_disdetta` (0 = no deadline sent).
  ConfermaAccount account;
  // The link host and the maker's API key.
  net::MakerService link_service;
  // The separator with which the service reads times of day.
  char time_separator = practice::kTimeSeparator;
};

class ConfirmationLinks {
 public:
  ConfirmationLinks(ConfirmationLinkConfig config, net::HttpClient& http,
                    platform::ActivityLog& log, StoredLinkLookup stored_link = {});

  // `OttieniLink`: the confirmation address of the appointment of `rec`, or
  // "" when none could be had; `rec` is updated in place.
  // - "same" line: `rec.link_conferma` as it is (the link of the line
  //   before), nothing asked.
  // - no `Data`, `Ora` or `id_agenda`: `id_web` and `link_conferma` cleared, "".
  // - a link stored in the agenda: that one (`link_exist` true).
  // - otherwise a new link: on "codice" 1 `id_web` := "link_breve",
  //   `link_conferma` := "url"; any other "codice" gives "" and no error.
  // Raises ChannelError when `Data` or `Ora` cannot be read (`Ora` keeps the
  // last form tried) and GatewayReplyError "Errore del server <host>" when
  // the service gives no reply, or one that is not JSON or lacks the link.
  std::string OttieniLink(practice::TLineRec& rec);

  // `PostServizioLink`: posts `obj` to the link host at "/" + `path` with the
  // maker's conventions and returns the reply object, or nothing when the
  // reply is empty or not a JSON object. Never raises: a transport failure
  // and a reply that is not a JSON object are written to the log and yield
  // nothing.
  std::optional<nlohmann::json> PostServizioLink(const std::string& path,
                                                 const nlohmann::json& obj);

 private:
  // Takes the link out of a reply with "codice" 1; raises when it lacks one.
  void TakeCreatedLink(const nlohmann::json& reply, practice::TLineRec& rec) const;
  [[noreturn]] void RaiseServerError(const std::string& detail) const;

  ConfirmationLinkConfig config_;
  net::HttpClient& http_;
  platform::ActivityLog& log_;
  StoredLinkLookup stored_link_;
};

}  // namespace oxsms::channels
