#include "sms_test_doubles.h"

#include <sstream>

namespace oxsms::channels::testing {
namespace {

std::vector<std::string> SplitCommas(const std::string& line) {
  std::vector<std::string> parts;
  std::stringstream in(line);
  std::string part;
  while (std::getline(in, part, ',')) parts.push_back(part);
  if (!line.empty() && line.back() == ',') parts.emplace_back();
  return parts;
}

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

void Replace(std::string& text, const std::string& tag, const std::string& value) {
  for (auto at = text.find(tag); at != std::string::npos; at = text.find(tag, at + value.size())) {
    text.replace(at, tag.size(), value);
  }
}

}  // namespace

practice::TLineRec TemplateComposer::ParseLineRec(const std::string& line) const {
  practice::TLineRec rec;
  rec.Paese = "+39";
  const std::vector<std::string> parts = SplitCommas(line);
  if (parts.size() < 2) return rec;
  rec.Cognome = parts[0];
  rec.Nome = Trim(parts[1]);
  if (parts.size() > 2) {
    std::string number;
    for (char c : parts[2]) {
      if (c != ' ' && c != '.' && c != '-' && c != '/') number += c;
    }
    if (!number.empty() && number.front() == '+') {
      rec.Paese = number.substr(0, 3);
      number.erase(0, 3);
    }
    rec.Cellulare = number;
  }
  if (parts.size() > 4) {
    rec.Data = parts[3];
    rec.Ora = parts[4];
  }
  return rec;
}

std::string TemplateComposer::ComponiTesto(const std::vector<std::string>& testoLinee,
                                           practice::TLineRec& rec, practice::TPazRec& paz) {
  std::string text;
  for (const auto& line : testoLinee) text += line;
  Replace(text, "<Nome>", rec.Nome);
  Replace(text, "<Cognome>", rec.Cognome);
  Replace(text, "<Data>", rec.Data);
  Replace(text, "<Ora>", rec.Ora);
  if (text.find("<link_conferma>") != std::string::npos) {
    if (rec.id_web.empty()) {
      rec.id_web = "w" + std::to_string(++links_created);
      rec.link_conferma = "https://l.test/c/" + rec.id_web;
    }
    Replace(text, "<link_conferma>", rec.link_conferma);
  }
  if (text.find("<link_pag>") != std::string::npos && paz.incasso > 0) {
    paz.id_linkpag = "p" + std::to_string(++payment_links_created);
    paz.link_pag = "https://l.test/s/" + paz.id_linkpag;
    Replace(text, "<link_pag>", paz.link_pag);
  }
  return text;
}

}  // namespace oxsms::channels::testing

#include "gateway_harness.h"

namespace oxsms::channels::testing {

std::vector<std::string> GatewayHarness::LogTexts() const {
  // Entries are "dd/mm/yyyy hh.mm.ss text" and end with CR LF; an entry's
  // text may itself hold CR LF, which then continues it.
  std::vector<std::string> texts;
  const std::string log = LogText();
  std::size_t start = 0;
  while (start < log.size()) {
    std::size_t end = log.find("\r\n", start);
    if (end == std::string::npos) end = log.size();
    std::string line = log.substr(start, end - start);
    const bool new_entry = line.size() > 20 && line[2] == '/' && line[5] == '/' && line[10] == ' ';
    if (new_entry || texts.empty()) {
      texts.push_back(new_entry ? line.substr(20) : line);
    } else {
      texts.back() += "\r\n" + line;
    }
    start = end + 2;
  }
  return texts;
}

}  // namespace oxsms::channels::testing
