#include "dispatch/message_text.h"

#include <algorithm>
#include <cctype>
#include <exception>

namespace oxsms::dispatch {
namespace {

constexpr std::string_view kCrLf = "\r\n";

// Takes the text before the first comma of `rest` and removes it together
// with the comma. The caller has checked that a comma is there.
std::string Cut(std::string_view& rest) {
  const auto comma = rest.find(',');
  std::string part(rest.substr(0, comma));
  rest.remove_prefix(comma + 1);
  return part;
}

void RemoveAll(std::string& text, char c) {
  text.erase(std::remove(text.begin(), text.end(), c), text.end());
}

// Every occurrence of `from` replaced by `to`, exact case.
void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  if (from.empty()) return;
  std::string out;
  std::size_t pos = 0;
  for (auto hit = text.find(from); hit != std::string::npos; hit = text.find(from, pos)) {
    out.append(text, pos, hit - pos).append(to);
    pos = hit + from.size();
  }
  if (pos == 0) return;
  out.append(text, pos, std::string::npos);
  text = std::move(out);
}

bool Contains(const std::string& text, std::string_view what) {
  return text.find(what) != std::string::npos;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

void FillRecipientTags(std::string& text, const practice::TLineRec& rec,
                       const TUserConnect& account) {
  SostituisciTag("<Cognome>", rec.Cognome, text);
  SostituisciTag("<Nome>", rec.Nome, text);
  SostituisciTag("<Nominativo>", rec.Cognome + " " + rec.Nome, text);
  SostituisciTag("<dati_studio>", CrLfToBlank(account.IntestazioneWhts), text);
  SostituisciTag("<intestazione_studio>", CrLfToBlank(account.IndirizzoWhts), text);
  SostituisciTag("<Data>", rec.Data, text);
  SostituisciTag("<Ora>", rec.Ora, text);
}

// A link that cannot be had leaves its placeholder in place: the message goes
// out without it rather than not at all.
void FillConfirmationLink(std::string& text, practice::TLineRec& rec, LinkServices* links) {
  if (!Contains(text, "<link_conferma>") || links == nullptr) return;
  try {
    const std::string link = links->OttieniLink(rec);
    ReplaceAll(text, "<link_conferma>", link);
    if (!rec.id_web.empty() && rec.id_agenda != kSameAppointment) links->SalvaLinkBreve(rec);
  } catch (const std::exception&) {
    // Dropped by contract.
  }
}

void FillPaymentLink(std::string& text, practice::TLineRec& rec, practice::TPazRec& paz,
                     const TDM1Fields& settings, LinkServices* links) {
  if (!Contains(text, "<link_pag>") || paz.incasso <= 0 || settings.isLinkPag != 1 ||
      links == nullptr) {
    return;
  }
  try {
    const std::string link = links->OttieniLinkPag(rec, paz);
    ReplaceAll(text, "<link_pag>", link);
    if (!paz.id_linkpag.empty() && rec.id_agenda != kSameAppointment) {
      links->SalvaLinkPag(rec, paz);
    }
  } catch (const std::exception&) {
    // Dropped by contract.
  }
}

}  // namespace

void ParseLineRec(practice::TLineRec& rec, std::string_view line) {
  std::string_view rest = line;
  if (rest.find(',') == std::string_view::npos) return;
  rec.Cognome = Cut(rest);
  if (rest.find(',') == std::string_view::npos) return;
  rec.Nome = TrimText(Cut(rest));

  const bool more_follows = rest.find(',') != std::string_view::npos;
  std::string number = more_follows ? Cut(rest) : std::string(rest);
  rec.Paese = kDefaultPaese;
  if (!number.empty() && number.front() == '+') {
    // Always three characters: "+355 6" gives "+35" and "56", which still
    // read as the same digits once put together again.
    rec.Paese = number.substr(0, 3);
    number.erase(0, 3);
  }
  for (char c : {'.', '/', '-', ' '}) RemoveAll(number, c);
  rec.Cellulare = std::move(number);

  if (more_follows && rest.find(',') != std::string_view::npos) {
    const auto comma = rest.find(',');
    rec.Data = std::string(rest.substr(0, comma));
    rec.Ora = std::string(rest.substr(comma + 1));
  }
}

void SostituisciTag(std::string_view tag, std::string_view value, std::string& text) {
  if (tag.empty() || text.size() < tag.size()) return;
  std::string out;
  std::size_t pos = 0;
  std::size_t i = 0;
  bool replaced = false;
  while (i + tag.size() <= text.size()) {
    if (EqualsIgnoringCase(std::string_view(text).substr(i, tag.size()), tag)) {
      out.append(text, pos, i - pos).append(value);
      i += tag.size();
      pos = i;
      replaced = true;
    } else {
      ++i;
    }
  }
  if (!replaced) return;
  out.append(text, pos, std::string::npos);
  text = std::move(out);
}

void ComponiTesto(const std::vector<std::string>& lines, practice::TLineRec& rec,
                  std::string& result, practice::TPazRec& paz, TDM1Fields& settings,
                  LinkServices* links) {
  std::string text;
  for (const auto& line : lines) text.append(line).append(kCrLf);

  FillRecipientTags(text, rec, settings.UserConnect);
  std::replace(text.begin(), text.end(), ';', ',');

  if (!settings.CBTest) {
    FillConfirmationLink(text, rec, links);
    if (settings.descr_pag_predef.empty()) settings.descr_pag_predef = kDefaultDescrPag;
    FillPaymentLink(text, rec, paz, settings, links);
    ReplaceAll(text, "<descrizione_pag>", settings.descr_pag_predef);
  }
  result = TrimText(text);
}

std::string ComponiTestoLibero(const std::string& text, practice::TLineRec rec,
                               practice::TPazRec paz, TDM1Fields& settings, LinkServices* links) {
  std::string result;
  ComponiTesto({text}, rec, result, paz, settings, links);
  return result;
}

std::string CrLfToBlank(std::string text) {
  ReplaceAll(text, kCrLf, " ");
  return text;
}

std::string TrimText(std::string_view text) {
  const auto is_blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return std::string(text);
}

}  // namespace oxsms::dispatch
