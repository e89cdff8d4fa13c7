#include "channels/confirmation_link.h"

#include <exception>
#include <string>
#include <utility>

#include "channels/channel_error.h"

namespace oxsms::channels {
namespace {

constexpr const char* kSameAppointment = "same";

// A member of the reply's "dati" → "ConfermaAppuntamenti" as text; "" when
// absent or empty. A numeric code is taken as its digits.
std::string LinkMember(const nlohmann::json& reply, const char* name) {
  const auto dati = reply.find("dati");
  if (dati == reply.end() || !dati->is_object()) return {};
  const auto link = dati->find("ConfermaAppuntamenti");
  if (link == dati->end() || !link->is_object()) return {};
  const auto value = link->find(name);
  if (value == link->end()) return {};
  if (value->is_string()) return value->get<std::string>();
  if (value->is_number_integer()) return value->dump();
  return {};
}

}  // namespace

ConfirmationLinks::ConfirmationLinks(ConfirmationLinkConfig config, net::HttpClient& http,
                                     platform::ActivityLog& log, StoredLinkLookup stored_link)
    : config_(std::move(config)), http_(http), log_(log), stored_link_(std::move(stored_link)) {}

std::string ConfirmationLinks::OttieniLink(practice::TLineRec& rec) {
  if (rec.id_agenda == kSameAppointment) return rec.link_conferma;
  if (rec.Data.empty() || rec.Ora.empty() || rec.id_agenda.empty()) {
    rec.id_web.clear();
    rec.link_conferma.clear();
    return {};
  }
  rec.link_exist = false;
  if (stored_link_) stored_link_(rec);
  if (!rec.id_web.empty()) return rec.link_conferma;

  const nlohmann::json request = BuildConfermaRequest(rec, config_.account, config_.time_separator);
  const auto reply = PostServizioLink(kCreaConfermaPath, request);
  if (!reply) RaiseServerError("");

  net::MakerReply envelope;
  envelope.object = *reply;
  if (!envelope.done()) return {};
  TakeCreatedLink(*reply, rec);
  return rec.link_conferma;
}

std::optional<nlohmann::json> ConfirmationLinks::PostServizioLink(const std::string& path,
                                                                  const nlohmann::json& obj) {
  // Only the address, the status and the transport's own words reach the
  // log: never the request, which carries the account's password.
  try {
    const net::HttpResponse response =
        http_.Send(net::MakeMakerRequest(config_.link_service, "/" + path, obj));
    net::MakerReply reply = net::ReadMakerReply(response);
    if (!reply.object) {
      log_.WriteLog("Servizio link di conferma: risposta " +
                    std::string(reply.empty() ? "vuota" : "non leggibile") + " (HTTP " +
                    std::to_string(response.status) + ")");
    }
    return reply.object;
  } catch (const net::HttpError& e) {
    log_.WriteLog(std::string("Servizio link di conferma: ") + e.what());
    return std::nullopt;
  }
}

void ConfirmationLinks::TakeCreatedLink(const nlohmann::json& reply,
                                        practice::TLineRec& rec) const {
  std::string code = LinkMember(reply, "link_breve");
  std::string url = LinkMember(reply, "url");
  // A link without its code could not be stored, one without its address
  // could not be sent: neither is a link.
  if (code.empty() || url.empty()) RaiseServerError(": risposta senza link");
  rec.id_web = std::move(code);
  rec.link_conferma = std::move(url);
}

void ConfirmationLinks::RaiseServerError(const std::string& detail) const {
  throw GatewayReplyError("Errore del server " + net::HostOf(config_.link_service.base_url) +
                          detail);
}

}  // namespace oxsms::channels
