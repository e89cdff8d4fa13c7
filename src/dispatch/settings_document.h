// The settings document of the service: one JSON object, kept encrypted in
// IMP_CLINICA.GDB_SMS of the configuration database and shared with the
// suite's desktop programs. These functions turn it into fields and back;
// they touch no database.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "dispatch/tdm1_settings.h"
#include "platform/error.h"

namespace oxsms::dispatch {

using SettingsDocument = nlohmann::ordered_json;

// A settings document that cannot be read: not JSON, not an object, or a
// value of a type its key cannot take.
class SettingsError : public platform::Error {
 public:
  explicit SettingsError(const std::string& message)
      : platform::Error(platform::ErrorCategory::kConfiguration, message) {}
};

// Applies every known key to the fields, in a fixed order. A key that is
// absent, null or empty (its value taken as text) leaves its field as it
// was; "ore_disdetta" alone is always applied, 0 when absent. Base64 keys are
// decoded (a value that is no valid Base64 leaves the field as it was).
// Raises ConversionError for a "time" that is no valid time and SettingsError
// for a value of an unusable type; keys applied before the faulty one stay
// applied.
void ApplySettingsDocument(const SettingsDocument& document, TDM1Settings& fields);

// A new document from the fields: each key by its write rule (some always,
// some only when not empty or only when their flag is true). Keys of an
// earlier document that this program does not know are not carried over.
SettingsDocument BuildSettingsDocument(const TDM1Settings& fields);

// Compact JSON text with every non-ASCII character as a \u escape, so the
// text survives the single-byte code page of the encryption.
std::string SettingsDocumentText(const SettingsDocument& document);

// Parses a decrypted document. Raises SettingsError when the text is not a
// JSON object.
SettingsDocument ParseSettingsDocument(const std::string& text);

// --- Reading and changing single keys, for the administration command ---

// One key of the document as the service holds it after a reload: texts
// decoded, switches "true"/"false", the send time "hh.mm.ss", numbers as
// JSON writes them.
struct SettingEntry {
  std::string key;
  std::string value;
  std::string kind;     // what the key takes: "testo", "si/no", "intero", "ora", "numero"
  bool secret = false;  // the account password
};

// Every key of the document, in the document's order, with the value of
// `fields`.
std::vector<SettingEntry> DescribeSettings(const TDM1Settings& fields);

// Sets the field of `key` from an administrator's text. Switches take
// true/false, si/no, 1/0; the send time "hh.mm" or "hh:mm"; "ore_disdetta"
// a time of day or a fraction of a day; the per-weekday keys their seven
// characters; "cellverifica1" and "tabagescluse" one entry per line or
// separated by commas. Raises SettingsError naming the key and the reason
// for an unknown key (suggesting the key of other letter case) or a value
// the key cannot take; `fields` is then unchanged.
void SetSetting(TDM1Settings& fields, const std::string& key, const std::string& text);

// True when the running service takes the value of `key` in `fields` at
// its next reload. An empty text is not applied by a reload (the field keeps
// what it had until the service restarts).
bool AppliedAtReload(const TDM1Settings& fields, const std::string& key);

// BuildSettingsDocument, with the switches that are written only when true
// written as false when off: a reload applies false, where an absent key
// would leave a running service with the switch on until it restarts.
SettingsDocument BuildEditedSettingsDocument(const TDM1Settings& fields);

}  // namespace oxsms::dispatch
