#include "practice/unrecorded_links.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <system_error>

#include "platform/atomic_file.h"
#include "platform/error.h"

namespace oxsms::practice {
namespace {

using nlohmann::json;

std::string Text(const std::tm& tm, const char* format) {
  char text[32];
  const std::size_t n = std::strftime(text, sizeof text, format, &tm);
  return std::string(text, n);
}

// Three numbers separated by `mark` ("2026-12-08", "09:45:00").
void ReadParts(const std::string& text, char mark, int (&parts)[3]) {
  const std::string format = std::string("%d") + mark + "%d" + mark + "%d%c";
  char tail = 0;
  if (std::sscanf(text.c_str(), format.c_str(), &parts[0], &parts[1], &parts[2], &tail) != 3) {
    throw platform::DataError("valore non valido nei link da registrare: " + text);
  }
}

std::tm ReadDate(const std::string& text) {
  int parts[3];
  ReadParts(text, '-', parts);
  std::tm tm{};
  tm.tm_year = parts[0] - 1900;
  tm.tm_mon = parts[1] - 1;
  tm.tm_mday = parts[2];
  return tm;
}

std::tm ReadTime(const std::string& text) {
  int parts[3];
  ReadParts(text, ':', parts);
  std::tm tm{};
  tm.tm_hour = parts[0];
  tm.tm_min = parts[1];
  tm.tm_sec = parts[2];
  return tm;
}

std::string DateText(const std::tm& tm) { return Text(tm, "%Y-%m-%d"); }
std::string TimeText(const std::tm& tm) { return Text(tm, "%H:%M:%S"); }

bool SameRow(const UnrecordedLink& link, const std::string& table, const std::tm& data,
             const std::tm& ora) {
  return link.table == table && DateText(link.data) == DateText(data) &&
         TimeText(link.ora) == TimeText(ora);
}

}  // namespace

UnrecordedLinks::UnrecordedLinks(std::filesystem::path file, platform::ActivityLog& log)
    : file_(std::move(file)), log_(log) {}

void UnrecordedLinks::Add(const UnrecordedLink& link) {
  Load();
  for (const UnrecordedLink& kept : links_) {
    if (SameRow(kept, link.table, link.data, link.ora)) return;
  }
  links_.push_back(link);
  log_.WriteLog("Link di pagamento " + link.id_linkpag + " da registrare in agenda (tabella " +
                link.table + ", " + DateText(link.data) + " " + TimeText(link.ora) +
                "): sarà registrato al prossimo invio");
  Save();
}

std::optional<std::string> UnrecordedLinks::LinkOf(const std::string& table, const std::tm& data,
                                                   const std::tm& ora) {
  Load();
  for (const UnrecordedLink& link : links_) {
    if (SameRow(link, table, data, ora)) return link.id_linkpag;
  }
  return std::nullopt;
}

std::string UnrecordedLinks::Serialize(const std::vector<UnrecordedLink>& links) {
  json list = json::array();
  for (const UnrecordedLink& link : links) {
    const std::tm since = platform::ToTm(link.since);
    list.push_back({{"tabella", link.table},
                    {"data", DateText(link.data)},
                    {"ora", TimeText(link.ora)},
                    {"id_linkpag", link.id_linkpag},
                    {"dal", DateText(since) + " " + TimeText(since)}});
  }
  return json{{"versione", 1}, {"link", list}}.dump(2);
}

std::vector<UnrecordedLink> UnrecordedLinks::Parse(const std::string& text) {
  const json j = json::parse(text, nullptr, false);
  if (!j.is_object() || !j.contains("link") || !j.at("link").is_array()) {
    throw platform::DataError("link da registrare non validi");
  }
  std::vector<UnrecordedLink> links;
  try {
    for (const json& item : j.at("link")) {
      UnrecordedLink link;
      link.table = item.at("tabella").get<std::string>();
      link.data = ReadDate(item.at("data").get<std::string>());
      link.ora = ReadTime(item.at("ora").get<std::string>());
      link.id_linkpag = item.at("id_linkpag").get<std::string>();
      link.since = platform::ParseIsoDateTime(item.at("dal").get<std::string>());
      links.push_back(std::move(link));
    }
  } catch (const json::exception& e) {
    throw platform::DataError(std::string("link da registrare non validi: ") + e.what());
  }
  return links;
}

void UnrecordedLinks::Load() {
  if (loaded_) return;
  loaded_ = true;
  std::ifstream in(file_, std::ios::binary);
  if (!in) return;  // none kept
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  try {
    links_ = Parse(text);
  } catch (const platform::DataError& e) {
    const std::filesystem::path aside = file_.string() + ".danneggiato";
    std::error_code ec;
    std::filesystem::rename(file_, aside, ec);
    log_.WriteLog(std::string("File dei link di pagamento da registrare illeggibile, messo da "
                              "parte in ") +
                  aside.string() + ": " + e.what());
  }
}

void UnrecordedLinks::Save() {
  try {
    platform::WriteFileAtomically(file_, Serialize(links_),
                                  "Impossibile scrivere i link da registrare " + file_.string());
  } catch (const platform::Error& e) {
    // The link is still kept for this run; the log tells what may be lost.
    log_.WriteLog(e.what());
  }
}

void UnrecordedLinks::Dropped(const UnrecordedLink& link) {
  log_.WriteLog("Link di pagamento " + link.id_linkpag + " non registrato in agenda (tabella " +
                link.table + ", " + DateText(link.data) + " " + TimeText(link.ora) + ") dopo " +
                std::to_string(kDaysKept) + " giorni: non più tentato");
}

}  // namespace oxsms::practice
