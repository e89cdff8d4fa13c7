#include "dispatch/message_text.h"

#include <algorithm>
#include <cctype>
#include <exception>

#include "platform/error.h"

namespace oxsms::dispatch {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kLinkConferma = "<link_conferma>";
constexpr std::string_view kLinkPag = "<link_pag>";

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

// One placeholder of the pass: its text, whether letter case counts, and
// what takes its place.
struct Placeholder {
  std::string_view tag;
  bool exact_case;
  std::string value;
};

bool TagAt(std::string_view text, std::size_t at, const Placeholder& p) {
  if (text.size() - at < p.tag.size()) return false;
  const std::string_view here = text.substr(at, p.tag.size());
  return p.exact_case ? here == p.tag : EqualsIgnoringCase(here, p.tag);
}

// The recipient's own values, with ';' turned into ',' as in the template.
std::string PlainValue(std::string value) {
  std::replace(value.begin(), value.end(), ';', ',');
  return value;
}

void AddRecipientTags(std::vector<Placeholder>& tags, const practice::TLineRec& rec,
                      const TUserConnect& account) {
  tags.push_back({"<Cognome>", false, PlainValue(rec.Cognome)});
  tags.push_back({"<Nome>", false, PlainValue(rec.Nome)});
  tags.push_back({"<Nominativo>", false, PlainValue(rec.Cognome + " " + rec.Nome)});
  tags.push_back({"<dati_studio>", false, PlainValue(CrLfToBlank(account.IntestazioneWhts))});
  tags.push_back({"<intestazione_studio>", false, PlainValue(CrLfToBlank(account.IndirizzoWhts))});
  tags.push_back({"<Data>", false, PlainValue(rec.Data)});
  tags.push_back({"<Ora>", false, PlainValue(rec.Ora)});
}

// The template with every placeholder filled in one pass: a value put in is
// never read again as template, so patient data cannot name a placeholder.
std::string FillInOnePass(std::string_view text, const std::vector<Placeholder>& tags) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const Placeholder* hit = nullptr;
    if (text[i] == '<') {
      for (const Placeholder& p : tags) {
        if (TagAt(text, i, p)) {
          hit = &p;
          break;
        }
      }
    }
    if (hit != nullptr) {
      out += hit->value;
      i += hit->tag.size();
    } else {
      out += text[i] == ';' ? ',' : text[i];
      ++i;
    }
  }
  return out;
}

// The confirmation link, or "" when it cannot be had (no link services, an
// error, a refusal).
std::string ConfirmationLink(practice::TLineRec& rec, LinkServices* links) {
  if (links == nullptr) return {};
  try {
    std::string link = links->OttieniLink(rec);
    if (!rec.id_web.empty() && rec.id_agenda != kSameAppointment) links->SalvaLinkBreve(rec);
    return link;
  } catch (const platform::Error&) {
    return {};  // logged by the link services; the caller counts it as missing
  }
}

// The payment link of the line's fee, or "" when it cannot be had.
std::string PaymentLink(practice::TLineRec& rec, practice::TPazRec& paz, LinkServices* links) {
  if (links == nullptr) return {};
  try {
    std::string link = links->OttieniLinkPag(rec, paz);
    if (!paz.id_linkpag.empty() && rec.id_agenda != kSameAppointment) {
      links->SalvaLinkPag(rec, paz);
    }
    return link;
  } catch (const platform::Error&) {
    return {};  // logged by the link services; the caller counts it as missing
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
                  std::string& result, practice::TPazRec& paz, TDM1Settings& settings,
                  LinkServices* links, channels::MissingLinks* missing) {
  std::string text;
  for (const auto& line : lines) text.append(line).append(kCrLf);

  std::vector<Placeholder> tags;
  AddRecipientTags(tags, rec, settings.UserConnect);
  channels::MissingLinks gaps;
  if (!settings.CBTest) {
    if (Contains(text, kLinkConferma)) {
      std::string link = ConfirmationLink(rec, links);
      gaps.conferma = link.empty();
      tags.push_back({kLinkConferma, true, std::move(link)});
    }
    if (settings.descr_pag_predef.empty()) settings.descr_pag_predef = kDefaultDescrPag;
    std::string link;
    if (Contains(text, kLinkPag) && paz.incasso > 0 && settings.isLinkPag == 1) {
      link = PaymentLink(rec, paz, links);
      gaps.pagamento = link.empty();
    }
    // Without a fee to collect, or with payment links not in use, there is
    // no link to give: the placeholder goes, as one that failed.
    tags.push_back({kLinkPag, true, std::move(link)});
    tags.push_back({"<descrizione_pag>", true, settings.descr_pag_predef});
  }
  result = TrimText(FillInOnePass(text, tags));
  if (missing != nullptr) *missing = gaps;
}

std::string ComponiTestoLibero(const std::string& text, practice::TLineRec rec,
                               practice::TPazRec paz, TDM1Settings& settings, LinkServices* links) {
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
