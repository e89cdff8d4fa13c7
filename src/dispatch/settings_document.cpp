#include "dispatch/settings_document.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <variant>
#include <vector>

#include "dispatch/orario.h"
#include "platform/base64.h"
#include "platform/code_page.h"

namespace oxsms::dispatch {
namespace {

enum class Kind { kText, kBase64, kFlag, kInteger, kTime, kNumber };

enum class Write {
  kAlways,
  kIfNotEmpty,
  kIfTrue,
  kIfCellWhts,       // the signature goes with a WhatsApp number, even when empty
  kWithCBPreavviso,  // the days ahead go with their switch
  kWithCBLinkPag,
};

using Field = std::variant<std::string*, bool*, int32_t*, double*>;

struct Binding {
  const char* key;
  Kind kind;
  Write write;
  Field (*field)(TDM1Settings&);
};

#define OXSMS_BIND(key, kind, write, member) \
  Binding { key, Kind::kind, Write::write, [](TDM1Settings& f) -> Field { return &f.member; } }

// The keys of the document, in the order they are applied.
const std::vector<Binding>& Bindings() {
  static const std::vector<Binding> bindings = {
      OXSMS_BIND("user", kText, kAlways, UserConnect.User),
      OXSMS_BIND("pwd", kText, kAlways, UserConnect.Pwd),
      OXSMS_BIND("testata", kText, kIfNotEmpty, UserConnect.TESTATA),
      OXSMS_BIND("listafile", kText, kAlways, UserConnect.ListaFile),
      OXSMS_BIND("time", kTime, kAlways, OrarioInvio),
      OXSMS_BIND("testoinvio", kText, kAlways, TestoInvioApp),
      OXSMS_BIND("testoinviopreavviso", kText, kIfNotEmpty, TestoInvioAppPreavviso),
      OXSMS_BIND("testoinviolinkpag", kText, kIfNotEmpty, TestoInvioAppLinkPag),
      OXSMS_BIND("tabagescluse", kText, kAlways, TabAgEscluse),
      OXSMS_BIND("testogenerale", kText, kAlways, TestoGenerale),
      OXSMS_BIND("testoinvioemail", kText, kAlways, NomeEmailInvio),
      OXSMS_BIND("nomeemailapp", kText, kAlways, NomeEmailApp),
      OXSMS_BIND("nomeemailapppreav", kText, kIfNotEmpty, NomeEmailAppPreav),
      OXSMS_BIND("nomeemailapplpag", kText, kIfNotEmpty, NomeEmailAppLPag),
      OXSMS_BIND("nomeemailcompl", kText, kAlways, NomeEmailCompl),
      OXSMS_BIND("testoinviocompl", kText, kAlways, TestoInvioCompl),
      OXSMS_BIND("cbcompl", kFlag, kAlways, CBCompl),
      OXSMS_BIND("cbsms", kFlag, kAlways, CBMemoApp),
      OXSMS_BIND("cbserviziosms", kFlag, kAlways, CBServizioSMS),
      OXSMS_BIND("cbservizioemail", kFlag, kAlways, CBServizioEmail),
      OXSMS_BIND("CBServizioWhatsapp", kFlag, kAlways, CBServizioWhatsapp),
      OXSMS_BIND("cbsmsverifica", kFlag, kAlways, CBSmsVerifica),
      OXSMS_BIND("cbsmsfiniti", kFlag, kAlways, CBSmsFiniti),
      OXSMS_BIND("cellverifica1", kText, kAlways, CellVerifica1),
      OXSMS_BIND("editsmsfiniti", kText, kAlways, EditSmsFiniti),
      OXSMS_BIND("giorniinvio", kText, kAlways, giorniinvio),
      OXSMS_BIND("C0", kText, kAlways, C0),
      OXSMS_BIND("C1", kText, kAlways, C1),
      OXSMS_BIND("C2", kText, kAlways, C2),
      OXSMS_BIND("C3", kText, kAlways, C3),
      OXSMS_BIND("C4", kText, kAlways, C4),
      OXSMS_BIND("C5", kText, kAlways, C5),
      OXSMS_BIND("C6", kText, kAlways, C6),
      OXSMS_BIND("ore_disdetta", kNumber, kAlways, ore_disdetta),
      OXSMS_BIND("CellWhts", kText, kIfNotEmpty, UserConnect.CellWhts),
      OXSMS_BIND("FirmaWhts", kBase64, kIfCellWhts, UserConnect.IntestazioneWhts),
      OXSMS_BIND("IndirizzoWhts", kBase64, kIfNotEmpty, UserConnect.IndirizzoWhts),
      OXSMS_BIND("SiglaGeneraleWhts", kText, kIfNotEmpty, SiglaGeneraleWhts),
      OXSMS_BIND("titoloWhts", kText, kIfNotEmpty, titoloWhts),
      OXSMS_BIND("linkConfermaWhts", kText, kIfNotEmpty, linkConfermaWhts),
      OXSMS_BIND("variabiliWhts", kText, kIfNotEmpty, variabiliWhts),
      OXSMS_BIND("SiglaGeneraleAppWhts", kText, kIfNotEmpty, SiglaGeneraleAppWhts),
      OXSMS_BIND("titoloAppWhts", kText, kIfNotEmpty, titoloAppWhts),
      OXSMS_BIND("linkConfermaAppWhts", kText, kIfNotEmpty, linkConfermaAppWhts),
      OXSMS_BIND("variabiliAppWhts", kText, kIfNotEmpty, variabiliAppWhts),
      OXSMS_BIND("SiglaGeneraleAppWhtsPreav", kText, kIfNotEmpty, SiglaGeneraleAppWhtsPreav),
      OXSMS_BIND("titoloAppWhtsPreav", kText, kIfNotEmpty, titoloAppWhtsPreav),
      OXSMS_BIND("linkConfermaAppWhtsPreav", kText, kIfNotEmpty, linkConfermaAppWhtsPreav),
      OXSMS_BIND("variabiliAppWhtsPreav", kText, kIfNotEmpty, variabiliAppWhtsPreav),
      OXSMS_BIND("SiglaGeneraleAppWhtsLPag", kText, kIfNotEmpty, SiglaGeneraleAppWhtsLPag),
      OXSMS_BIND("titoloAppWhtsLPag", kText, kIfNotEmpty, titoloAppWhtsLPag),
      OXSMS_BIND("linkConfermaAppWhtsLPag", kText, kIfNotEmpty, linkConfermaAppWhtsLPag),
      OXSMS_BIND("variabiliAppWhtsLPag", kText, kIfNotEmpty, variabiliAppWhtsLPag),
      OXSMS_BIND("SiglaGeneraleComplWhts", kText, kIfNotEmpty, SiglaGeneraleComplWhts),
      OXSMS_BIND("titoloComplWhts", kText, kIfNotEmpty, titoloComplWhts),
      OXSMS_BIND("variabiliComplWhts", kText, kIfNotEmpty, variabiliComplWhts),
      OXSMS_BIND("TestoGeneraleWths", kBase64, kIfNotEmpty, TestoGeneraleWths),
      OXSMS_BIND("TestoLiberoWhts", kBase64, kIfNotEmpty, TestoLiberoWhts),
      OXSMS_BIND("TestoGeneraleAppWths", kBase64, kIfNotEmpty, TestoGeneraleAppWths),
      OXSMS_BIND("TestoLiberoAppWhts", kBase64, kIfNotEmpty, TestoLiberoAppWhts),
      OXSMS_BIND("TestoGeneraleAppWthsPreav", kBase64, kIfNotEmpty, TestoGeneraleAppWthsPreav),
      OXSMS_BIND("TestoLiberoAppWhtsPreav", kBase64, kIfNotEmpty, TestoLiberoAppWhtsPreav),
      OXSMS_BIND("TestoGeneraleAppWthsLPag", kBase64, kIfNotEmpty, TestoGeneraleAppWthsLPag),
      OXSMS_BIND("TestoLiberoAppWhtsLPag", kBase64, kIfNotEmpty, TestoLiberoAppWhtsLPag),
      OXSMS_BIND("TestoGeneraleComplWths", kBase64, kIfNotEmpty, TestoGeneraleComplWths),
      OXSMS_BIND("TestoLiberoComplWhts", kBase64, kIfNotEmpty, TestoLiberoComplWhts),
      OXSMS_BIND("CBServComplSMS", kFlag, kIfTrue, CBServComplSMS),
      OXSMS_BIND("CBServComplWhts", kFlag, kIfTrue, CBServComplWhts),
      OXSMS_BIND("CBServComplEmail", kFlag, kIfTrue, CBServComplEmail),
      OXSMS_BIND("CBPreavviso", kFlag, kIfTrue, CBPreavviso),
      OXSMS_BIND("GGPreavviso", kInteger, kWithCBPreavviso, GGPreavviso),
      OXSMS_BIND("CBLinkPag", kFlag, kIfTrue, CBLinkPag),
      OXSMS_BIND("GGLinkPag", kInteger, kWithCBLinkPag, GGLinkPag),
  };
  return bindings;
}

#undef OXSMS_BIND

[[noreturn]] void BadValue(const char* key) {
  throw SettingsError(std::string("Valore non valido per \"") + key +
                      "\" nelle impostazioni del servizio");
}

// A scalar value as text, as the read rules compare it with "".
std::string AsText(const char* key, const SettingsDocument& value) {
  if (value.is_string()) return value.get<std::string>();
  if (value.is_boolean()) return value.get<bool>() ? "true" : "false";
  if (value.is_number()) return value.dump();
  BadValue(key);
}

bool ToFlag(const char* key, const SettingsDocument& value, const std::string& text) {
  if (value.is_boolean()) return value.get<bool>();
  if (text == "true" || text == "True" || text == "TRUE" || text == "1") return true;
  if (text == "false" || text == "False" || text == "FALSE" || text == "0") return false;
  BadValue(key);
}

double ToNumber(const char* key, const std::string& text) {
  char* end = nullptr;
  const double n = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || *end != '\0' || !std::isfinite(n)) BadValue(key);
  return n;
}

int32_t ToInteger(const char* key, const std::string& text) {
  const double n = ToNumber(key, text);
  if (n != std::trunc(n) || n < INT32_MIN || n > INT32_MAX) BadValue(key);
  return static_cast<int32_t>(n);
}

void ApplyOne(const Binding& b, const SettingsDocument& document, TDM1Settings& fields) {
  const auto it = document.find(b.key);
  const bool present = it != document.end() && !it->is_null();
  Field field = b.field(fields);
  if (b.kind == Kind::kNumber) {
    const std::string text = present ? AsText(b.key, *it) : std::string();
    *std::get<double*>(field) = text.empty() ? 0.0 : ToNumber(b.key, text);
    return;
  }
  if (!present) return;
  const std::string text = AsText(b.key, *it);
  if (text.empty()) return;
  switch (b.kind) {
    case Kind::kText:
      *std::get<std::string*>(field) = text;
      break;
    case Kind::kBase64:
      if (const auto bytes = platform::TryDecodeBase64(text)) {
        *std::get<std::string*>(field) = platform::ToUtf8Lenient(*bytes);
      }
      break;
    case Kind::kFlag:
      *std::get<bool*>(field) = ToFlag(b.key, *it, text);
      break;
    case Kind::kInteger:
      *std::get<int32_t*>(field) = ToInteger(b.key, text);
      break;
    case Kind::kTime:
      *std::get<double*>(field) = StrToOrario(text);
      break;
    case Kind::kNumber:
      break;  // handled above
  }
}

bool IsWritten(const Binding& b, const Field& field, const TDM1Settings& fields) {
  switch (b.write) {
    case Write::kAlways:
      return true;
    case Write::kIfNotEmpty:
      return !std::get<std::string*>(field)->empty();
    case Write::kIfTrue:
      return *std::get<bool*>(field);
    case Write::kIfCellWhts:
      return !fields.UserConnect.CellWhts.empty();
    case Write::kWithCBPreavviso:
      return fields.CBPreavviso;
    case Write::kWithCBLinkPag:
      return fields.CBLinkPag;
  }
  return false;
}

SettingsDocument ValueOf(Kind kind, const Field& field) {
  switch (kind) {
    case Kind::kText:
      return *std::get<std::string*>(field);
    case Kind::kBase64:
      return platform::EncodeBase64Mime(*std::get<std::string*>(field));
    case Kind::kFlag:
      return *std::get<bool*>(field);
    case Kind::kInteger:
      return *std::get<int32_t*>(field);
    case Kind::kTime:
      return OrarioToStr(*std::get<double*>(field));
    case Kind::kNumber:
      return *std::get<double*>(field);
  }
  return nullptr;
}


// --- single keys ---

const Binding* FindBinding(const std::string& key) {
  for (const Binding& b : Bindings()) {
    if (key == b.key) return &b;
  }
  return nullptr;
}

bool SameLetters(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

[[noreturn]] void Refuse(const std::string& key, const std::string& reason) {
  throw SettingsError("\"" + key + "\": " + reason);
}

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::kText:
    case Kind::kBase64:
      return "testo";
    case Kind::kFlag:
      return "si/no";
    case Kind::kInteger:
      return "intero";
    case Kind::kTime:
      return "ora";
    case Kind::kNumber:
      return "numero";
  }
  return "testo";
}

std::string Lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool FlagOf(const std::string& key, const std::string& text) {
  const std::string t = Lowered(text);
  if (t == "true" || t == "si" || t == "s\xc3\xac" || t == "yes" || t == "1") return true;
  if (t == "false" || t == "no" || t == "0") return false;
  Refuse(key, "vale true o false (anche si/no, 1/0), non \"" + text + "\"");
}

bool AllOf(const std::string& text, const char* allowed) {
  return text.find_first_not_of(allowed) == std::string::npos;
}

// A list kept one entry per line: commas also separate entries; blanks
// around entries and empty entries are dropped.
std::string LinesOf(const std::string& text) {
  std::string lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find_first_of(",\r\n", start);
    if (end == std::string::npos) end = text.size();
    std::string entry = text.substr(start, end - start);
    const auto first = entry.find_first_not_of(" \t");
    if (first != std::string::npos) {
      entry = entry.substr(first, entry.find_last_not_of(" \t") - first + 1);
      if (!lines.empty()) lines += "\r\n";
      lines += entry;
    }
    start = end + 1;
  }
  return lines;
}

std::string TextValue(const std::string& key, const std::string& text) {
  if (key == "giorniinvio") {
    if (text.size() != 7 || !AllOf(text, "01234567")) {
      Refuse(key, "sette cifre da 0 a 7, una per giorno da lunedì (7 = nessun promemoria)");
    }
  } else if (key.size() == 2 && key[0] == 'C' && key[1] >= '0' && key[1] <= '6') {
    if (!text.empty() && (text.size() != 7 || !AllOf(text, "01"))) {
      Refuse(key, "sette cifre 0 o 1, una per giorno della settimana da lunedì");
    }
  } else if (key == "editsmsfiniti") {
    if (text.empty() || text.size() > 9 || !AllOf(text, "0123456789")) {
      Refuse(key, "un numero intero di SMS, da 0 in su");
    }
  } else if (key == "cellverifica1" || key == "tabagescluse") {
    return LinesOf(text);
  }
  return text;
}

int32_t IntegerValue(const std::string& key, const std::string& text) {
  if (text.empty() || text.size() > 3 || !AllOf(text, "0123456789")) {
    Refuse(key, "un numero intero di giorni da 0 a 365");
  }
  const int32_t days = std::stoi(text);
  if (days > 365) Refuse(key, "un numero intero di giorni da 0 a 365");
  return days;
}

platform::TDateTime TimeValue(const std::string& key, std::string text) {
  std::replace(text.begin(), text.end(), ':', '.');
  try {
    return StrToOrario(text);
  } catch (const ConversionError&) {
    Refuse(key, "un'ora del giorno come 11.00 o 11:00");
  }
}

// "ore_disdetta": a time of day ("18.00") or the fraction of a day it is.
double DeadlineValue(const std::string& key, const std::string& text) {
  // "0", "0.75": a fraction; "18.00", "18:00", "0:30": a time of day.
  const bool fraction = text == "0" || text.rfind("0.", 0) == 0;
  if (!fraction && text.find_first_of(".:") != std::string::npos) return TimeValue(key, text);
  char* end = nullptr;
  const double n = std::strtod(text.c_str(), &end);
  if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(n) || n < 0 || n >= 1) {
    Refuse(key, "un'ora del giorno come 18.00, o la frazione di giorno (0 = nessun termine)");
  }
  return n;
}

}  // namespace

void ApplySettingsDocument(const SettingsDocument& document, TDM1Settings& fields) {
  if (!document.is_object()) throw SettingsError("Impostazioni del servizio non valide");
  for (const Binding& b : Bindings()) ApplyOne(b, document, fields);
}

SettingsDocument BuildSettingsDocument(const TDM1Settings& fields) {
  // The bindings locate fields through a non-const reference; nothing is
  // written through it here.
  TDM1Settings& source = const_cast<TDM1Settings&>(fields);
  SettingsDocument document = SettingsDocument::object();
  for (const Binding& b : Bindings()) {
    const Field field = b.field(source);
    if (IsWritten(b, field, fields)) document[b.key] = ValueOf(b.kind, field);
  }
  return document;
}

std::string SettingsDocumentText(const SettingsDocument& document) {
  return document.dump(-1, ' ', true, nlohmann::json::error_handler_t::replace);
}

SettingsDocument ParseSettingsDocument(const std::string& text) {
  SettingsDocument document = SettingsDocument::parse(text, nullptr, false);
  if (document.is_discarded() || !document.is_object()) {
    throw SettingsError("Impostazioni del servizio non valide");
  }
  return document;
}

std::vector<SettingEntry> DescribeSettings(const TDM1Settings& fields) {
  TDM1Settings& source = const_cast<TDM1Settings&>(fields);  // read only, as above
  std::vector<SettingEntry> entries;
  for (const Binding& b : Bindings()) {
    const SettingsDocument value = ValueOf(b.kind == Kind::kBase64 ? Kind::kText : b.kind,
                                           b.field(source));
    SettingEntry entry;
    entry.key = b.key;
    entry.value = value.is_string() ? value.get<std::string>() : value.dump();
    entry.kind = KindName(b.kind);
    entry.secret = entry.key == "pwd";
    entries.push_back(std::move(entry));
  }
  return entries;
}

void SetSetting(TDM1Settings& fields, const std::string& key, const std::string& text) {
  const Binding* b = FindBinding(key);
  if (b == nullptr) {
    for (const Binding& other : Bindings()) {
      if (SameLetters(key, other.key)) {
        Refuse(key, std::string("chiave sconosciuta (forse \"") + other.key + "\"?)");
      }
    }
    Refuse(key, "chiave sconosciuta ('oxsms settings show' elenca le chiavi)");
  }
  if (!platform::IsValidUtf8(text)) Refuse(key, "il valore non è testo UTF-8");
  const Field field = b->field(fields);
  switch (b->kind) {
    case Kind::kText:
    case Kind::kBase64:
      *std::get<std::string*>(field) = TextValue(key, text);
      break;
    case Kind::kFlag:
      *std::get<bool*>(field) = FlagOf(key, text);
      break;
    case Kind::kInteger:
      *std::get<int32_t*>(field) = IntegerValue(key, text);
      break;
    case Kind::kTime:
      *std::get<double*>(field) = TimeValue(key, text);
      break;
    case Kind::kNumber:
      *std::get<double*>(field) = DeadlineValue(key, text);
      break;
  }
}

bool AppliedAtReload(const TDM1Settings& fields, const std::string& key) {
  const Binding* b = FindBinding(key);
  if (b == nullptr) return false;
  const Field field = b->field(const_cast<TDM1Settings&>(fields));
  if (const auto* text = std::get_if<std::string*>(&field)) return !(*text)->empty();
  return true;
}

SettingsDocument BuildEditedSettingsDocument(const TDM1Settings& fields) {
  SettingsDocument document = BuildSettingsDocument(fields);
  TDM1Settings& source = const_cast<TDM1Settings&>(fields);  // read only, as above
  for (const Binding& b : Bindings()) {
    if (b.write == Write::kIfTrue && !*std::get<bool*>(b.field(source))) document[b.key] = false;
  }
  return document;
}

}  // namespace oxsms::dispatch
