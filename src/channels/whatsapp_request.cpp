#include "channels/whatsapp_request.h"

#include <array>
#include <cctype>
#include <optional>
#include <stdexcept>
#include <vector>

#include "channels/channel_error.h"
#include "platform/base64.h"
#include "platform/date_time.h"

namespace oxsms::channels {
namespace {

constexpr std::array<const char*, 7> kGiorni = {
    "Luned\xC3\xAC",    "Marted\xC3\xAC", "Mercoled\xC3\xAC", "Gioved\xC3\xAC",
    "Venerd\xC3\xAC", "Sabato",         "Domenica"};

bool Contains(std::string_view text, std::string_view what) {
  return text.find(what) != std::string_view::npos;
}

std::string CrLfToBlank(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      out += ' ';
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

bool IsWordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

// `word` starts at `at` and stands whole there.
bool WholeWordAt(std::string_view text, std::size_t at, std::string_view word) {
  if (text.compare(at, word.size(), word) != 0) return false;
  const std::size_t end = at + word.size();
  const bool open_before = at > 0 && (IsWordChar(text[at - 1]) || text[at - 1] == '<');
  const bool close_after = end < text.size() && (IsWordChar(text[end]) || text[end] == '>');
  return !open_before && !close_after;
}

// Digits only, one or more; nullopt otherwise.
std::optional<int> Number(std::string_view part) {
  if (part.empty() || part.size() > 4) return std::nullopt;
  int value = 0;
  for (char c : part) {
    if (std::isdigit(static_cast<unsigned char>(c)) == 0) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::vector<std::string_view> SplitDate(std::string_view text) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '/' || text[i] == '-' || text[i] == '.') {
      parts.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

std::string_view TrimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

bool ConfermaInvio(bool as_service, std::size_t lines) {
  return as_service || lines >= kConfermaInvioFrom;
}

std::string Base64OneLine(std::string_view text) {
  return platform::EncodeBase64Mime(CrLfToBlank(text));
}

TemplateObject VariabiliGlobali(const WhatsAppSettings& settings) {
  TemplateObject globals = TemplateObject::object();
  globals["dati_studio"] = Base64OneLine(settings.IntestazioneWhts);
  globals["indirizzo_studio"] = Base64OneLine(settings.IndirizzoWhts);
  return globals;
}

std::string GiornoDellaSettimana(const std::string& data) {
  const std::vector<std::string_view> parts = SplitDate(TrimBlanks(data));
  const auto invalid = [&data] { return ChannelError("'" + data + "' non \xC3\xA8 una data valida"); };
  if (parts.size() != 3) throw invalid();
  const auto day = Number(parts[0]);
  const auto month = Number(parts[1]);
  auto year = Number(parts[2]);
  if (!day || !month || !year || parts[0].size() > 2 || parts[1].size() > 2 ||
      (parts[2].size() != 2 && parts[2].size() != 4)) {
    throw invalid();
  }
  if (parts[2].size() == 2) *year += 2000;
  try {
    const platform::TDateTime date = platform::EncodeDate(*year, *month, *day);
    return kGiorni[static_cast<std::size_t>(platform::DayOfTheWeek(date) - 1)];
  } catch (const platform::DataError&) {
    throw invalid();
  }
}

std::string SostituisciParolePagamento(const std::string& text, const std::string& link,
                                       const std::string& descrizione) {
  // Longest first, so "link_pagamento" is never read as "link_pag" + "amento".
  const std::array<std::pair<std::string_view, const std::string*>, 3> words = {
      {{"link_pagamento", &link}, {"descrizione_pag", &descrizione}, {"link_pag", &link}}};
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    bool replaced = false;
    for (const auto& [word, value] : words) {
      if (WholeWordAt(text, i, word)) {
        out += *value;
        i += word.size();
        replaced = true;
        break;
      }
    }
    if (!replaced) out += text[i++];
  }
  return out;
}

bool ChiedePagamento(const WhatsAppSettings& settings) {
  return Contains(settings.variabiliInvioWhts, "link_pagamento") ||
         Contains(settings.TestoLiberoInvioWhts, "link_pag");
}

bool EscludiPerPagamento(const WhatsAppSettings& settings, bool eliminaIncassiNulli,
                         const practice::TPazRec& paz) {
  if (settings.AsService || !eliminaIncassiNulli) return false;
  if (!Contains(settings.variabiliInvioWhts, "link_pagamento")) return false;
  if (!settings.link_pag_predef.empty()) return false;
  if (Contains(settings.TestoLiberoInvioWhts, "link_pag")) return false;
  return paz.incasso == 0 || !paz.id_linkpag.empty();
}

}  // namespace oxsms::channels
