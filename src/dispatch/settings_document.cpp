#include "dispatch/settings_document.h"

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

}  // namespace oxsms::dispatch
