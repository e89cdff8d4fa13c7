#include "email/email_composition.h"

#include <nlohmann/json.hpp>

#include "email/builtin_messages.h"
#include "email/tvelk_email.h"

namespace oxsms::email {
namespace {

std::string TrimBlanks(const std::string& text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return text.substr(begin, end - begin);
}

// Every occurrence of `what` that is not followed by `unless_followed_by`
// becomes `with`; nothing happens when `with` is empty.
void Replace(std::string& text, const std::string& what, const std::string& with,
             const std::string& unless_followed_by = {}) {
  if (with.empty()) return;
  std::size_t pos = text.find(what);
  while (pos != std::string::npos) {
    const std::size_t after = pos + what.size();
    if (!unless_followed_by.empty() && text.compare(after, unless_followed_by.size(), unless_followed_by) == 0) {
      pos = text.find(what, after);
      continue;
    }
    text.replace(pos, what.size(), with);
    pos = text.find(what, pos + with.size());
  }
}

void ReplacePersonal(std::string& text, const TEmailRec& rec) {
  Replace(text, "#Cognome", rec.Cognome);
  Replace(text, "#Nome", rec.Nome);
  Replace(text, "#Data", rec.Data);
  Replace(text, "#Ora", rec.Ora);
}

void RemovePersonal(std::string& text) {
  for (const char* placeholder : {"#Cognome", "#Nome", "#Data", "#Ora"}) {
    const std::string what = placeholder;
    for (auto pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos)) {
      text.erase(pos, what.size());
    }
  }
}

void ReadJsonRecipient(TEmailRec& rec, const std::string& text) {
  const nlohmann::json json = nlohmann::json::parse(text, nullptr, false);
  if (!json.is_object()) return;  // not JSON: no recipient values
  auto member = [&](const char* name, std::string& field) {
    const auto it = json.find(name);
    if (it != json.end() && it->is_string()) field = it->get<std::string>();
  };
  member("cognome", rec.Cognome);
  member("nome", rec.Nome);
  member("data", rec.Data);
  member("ora", rec.Ora);
  member("email", rec.Email);
  member("email2", rec.Email2);
  member("link_pag", rec.link_pag);
  member("linkBreve", rec.linkBreve);
}

void ReadCommaRecipient(TEmailRec& rec, const std::string& text) {
  const std::size_t first = text.find(',');
  rec.Cognome = text.substr(0, first);
  const std::size_t second = text.find(',', first + 1);
  if (second == std::string::npos) return;
  rec.Nome = TrimBlanks(text.substr(first + 1, second - first - 1));
  const std::size_t third = text.find(',', second + 1);
  if (third == std::string::npos) {
    rec.Email = text.substr(second + 1);
    return;
  }
  rec.Email = text.substr(second + 1, third - second - 1);
  const std::size_t fourth = text.find(',', third + 1);
  if (fourth == std::string::npos) {
    rec.Data = text.substr(third + 1);
    return;
  }
  rec.Data = text.substr(third + 1, fourth - third - 1);
  rec.Ora = text.substr(fourth + 1);
}

}  // namespace

void LeggiDestinatario(TEmailRec& rec, const std::string& text) {
  rec = TEmailRec{};
  if (!text.empty() && text.front() == '{') {
    ReadJsonRecipient(rec, text);
  } else if (text.find(',') == std::string::npos) {
    rec.Email = text;
  } else {
    ReadCommaRecipient(rec, text);
  }
}

TEmailString SubstitutePersonal(const TEmailString& text, const TEmailRec& rec) {
  TEmailString result = text;
  ReplacePersonal(result.strBody, rec);
  ReplacePersonal(result.strSoggetto, rec);
  return result;
}

TEmailString SubstituteWithLinks(const TEmailString& text, const TEmailRec& rec) {
  TEmailString result = SubstitutePersonal(text, rec);
  Replace(result.strBody, "#Fornitore", rec.Cognome);
  // The payment placeholder first, and the short one never inside it: a
  // text with both links gets each one whole.
  Replace(result.strBody, "#link_pag", rec.link_pag);
  Replace(result.strBody, "#link", rec.linkBreve, "_pag");
  Replace(result.strSoggetto, "#Fornitore", rec.Cognome);
  return result;
}

TEmailString SubstituteAnonymous(const TEmailString& text) {
  TEmailString result = text;
  RemovePersonal(result.strBody);
  RemovePersonal(result.strSoggetto);
  return result;
}

std::string HtmlBody(const std::string& body) {
  std::string html = body;
  for (auto pos = html.find("\r\n"); pos != std::string::npos; pos = html.find("\r\n", pos + 4)) {
    html.replace(pos, 2, "<br>");
  }
  return html;
}

TEmailString ComponiTestoEmail(TVelkEmail& email, const std::string& strNome,
                               std::string& /*listFile*/, const std::string& /*listTo*/,
                               const std::string& /*PostBody*/,
                               const std::string& /*PostSoggetto*/) {
  const std::vector<TypicalMessage> templates = CompositionTemplates(strNome);
  if (!templates.empty()) email.AddMissingRecords(templates);
  email.Log().WriteLog("Composizione Testo Email: nessun operatore per comporre il testo, invio "
                       "email annullato");
  return {};
}

}  // namespace oxsms::email
