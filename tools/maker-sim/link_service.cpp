#include "maker-sim/link_service.h"

#include <algorithm>
#include <stdexcept>

#include "maker-sim/sim_json.h"
#include "platform/date_time.h"

namespace oxsms::makersim {

using nlohmann::json;

namespace {

constexpr const char* kCreatePath = "/conferma_appuntamenti/crea.json";
constexpr const char* kPagePrefix = "/c/";

// A refusal of the service: HTTP 200 (or `status`) with the envelope.
void Refuse(httplib::Response& response, int codice, const std::string& message, int status = 200) {
  ReplyJson(response, {{"codice", codice}, {"response_message", message}}, status);
}

bool PlainAscii(const std::string& body) {
  return std::all_of(body.begin(), body.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// "yyyy-mm-dd hh:nn:ss" naming a date and time that exist.
bool ValidMoment(const std::string& text) {
  if (text.size() != 19 || text[10] != ' ') return false;
  try {
    platform::ParseIsoDateTime(text);
    return true;
  } catch (const platform::DataError&) {
    return false;
  }
}

json LinkToJson(const CreatedLink& link) {
  json value = {{"link_breve", link.code},
                {"url", link.url},
                {"user", link.user},
                {"id_agenda", link.id_agenda},
                {"data_appuntamento", link.data_appuntamento},
                {"ore_disdetta", nullptr},
                {"time", link.time}};
  if (link.ore_disdetta) value["ore_disdetta"] = *link.ore_disdetta;
  return value;
}

}  // namespace

void LinkService::AddRoutes(Router& router) {
  router.AddEndpoint("POST", kCreatePath,
                     [this](const httplib::Request& rq, httplib::Response& rs) { Create(rq, rs); });
  router.AddEndpoint("GET", kPagePrefix,
                     [this](const httplib::Request& rq, httplib::Response& rs) { Page(rq, rs); });
  router.AddControl("GET", "/_sim/links", [this](const httplib::Request&, httplib::Response& rs) {
    ReplyJson(rs, LinksJson());
  });
}

void LinkService::LoadState(const json& section) {
  std::string url_base;
  if (!section.is_null()) {
    if (!section.is_object()) {
      throw BadRequest("lo stato \"links\" deve essere un oggetto");
    }
    url_base = OptionalString(section, "url_base", "");
    while (!url_base.empty() && url_base.back() == '/') url_base.pop_back();
  }
  url_base_ = url_base;
  links_.clear();
  next_code_ = 1001;
}

void LinkService::Create(const httplib::Request& request, httplib::Response& response) {
  if (!core_.ApiKeyAccepted(request.get_header_value("Authorization"))) {
    Refuse(response, 0, "Chiave API non valida", 401);
    return;
  }
  // The maker's services take plain ASCII bodies, every other character
  // written as a \u escape; raw UTF-8 or code-page bytes are refused.
  if (!PlainAscii(request.body)) {
    Refuse(response, 0, "Richiesta non valida: caratteri non ASCII nel corpo", 400);
    return;
  }
  json in;
  std::string user, pwd, moment, id_agenda;
  std::optional<long long> ore_disdetta;
  try {
    in = ParseJsonObjectBody(request.body);
    user = RequiredString(in, "user");
    pwd = RequiredString(in, "pwd");
    moment = RequiredString(in, "data_appuntamento");
    id_agenda = RequiredString(in, "id_agenda");
    if (in.contains("ore_disdetta")) ore_disdetta = RequiredInteger(in, "ore_disdetta");
  } catch (const BadRequest& e) {
    Refuse(response, 0, std::string("Richiesta non valida: ") + e.what(), 400);
    return;
  }
  if (auto refusal = accounts_(user, pwd)) {
    Refuse(response, 2, *refusal);
    return;
  }
  if (!ValidMoment(moment)) {
    Refuse(response, 0, "data_appuntamento non valida: " + moment);
    return;
  }
  if (id_agenda.empty()) {
    Refuse(response, 0, "id_agenda mancante");
    return;
  }
  if (ore_disdetta && *ore_disdetta < 0) {
    Refuse(response, 0, "ore_disdetta non valide");
    return;
  }
  CreatedLink link;
  link.code = "C" + std::to_string(next_code_++);
  link.url = UrlBase(request) + kPagePrefix + link.code;
  link.user = user;
  link.id_agenda = id_agenda;
  link.data_appuntamento = moment;
  link.ore_disdetta = ore_disdetta;
  link.time = UtcTimestamp();
  links_.push_back(link);
  ReplyJson(response,
            {{"codice", 1},
             {"response_message", "Link creato"},
             {"dati", {{"ConfermaAppuntamenti", {{"link_breve", link.code}, {"url", link.url}}}}}});
}

void LinkService::Page(const httplib::Request& request, httplib::Response& response) const {
  const std::string code = request.path.substr(std::string(kPagePrefix).size());
  const auto found = std::find_if(links_.begin(), links_.end(),
                                  [&](const CreatedLink& link) { return link.code == code; });
  if (found == links_.end()) {
    response.status = 404;
    response.set_content("<html><body><h1>Link non valido</h1></body></html>",
                         "text/html; charset=utf-8");
    return;
  }
  // The moment was validated at creation: digits, '-', ':' and a blank only.
  response.set_content("<html><body><h1>Conferma appuntamento</h1><p>Appuntamento del " +
                           found->data_appuntamento +
                           "</p><p><a href=\"?conferma=1\">Confermo</a> "
                           "<a href=\"?disdetta=1\">Disdico</a></p></body></html>",
                       "text/html; charset=utf-8");
}

json LinkService::LinksJson() const {
  json links = json::array();
  for (const auto& link : links_) links.push_back(LinkToJson(link));
  return links;
}

std::string LinkService::UrlBase(const httplib::Request& request) const {
  if (!url_base_.empty()) return url_base_;
  return "http://" + request.get_header_value("Host");
}

}  // namespace oxsms::makersim
