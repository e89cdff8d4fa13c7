#include "app/admin_settings.h"

#include <algorithm>
#include <iomanip>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>

#include "app/process_context.h"
#include "dispatch/settings_document.h"
#include "dispatch/settings_store.h"
#include "platform/activity_log.h"
#include "platform/clock.h"

namespace oxsms::app {
namespace {

constexpr const char* kMasked = "********";

struct LoadedSettings {
  bool stored = false;  // false: no document yet, the defaults
  dispatch::TDM1Settings fields;
};

// The fields as a service started now would hold them after its first
// reload: the defaults with the stored document applied.
LoadedSettings Load(dispatch::StoredSettings& store) {
  LoadedSettings loaded;
  if (const auto document = store.Read()) {
    loaded.stored = true;
    dispatch::ApplySettingsDocument(*document, loaded.fields);
  }
  return loaded;
}

std::string Shown(const dispatch::SettingEntry& entry, bool show_secrets) {
  if (entry.secret && !show_secrets && !entry.value.empty()) return kMasked;
  return entry.value;
}

nlohmann::ordered_json JsonValue(const dispatch::SettingEntry& entry, const std::string& shown) {
  if (shown == kMasked) return shown;
  if (entry.kind == "si/no") return shown == "true";
  if (entry.kind == "intero") return std::stol(shown);
  if (entry.kind == "numero") return std::stod(shown);
  return shown;
}

// A value of several lines: the later lines indented under the first.
std::string Indented(const std::string& value, std::size_t indent) {
  std::string text;
  for (char c : value) {
    if (c == '\r') continue;
    text += c;
    if (c == '\n') text.append(indent, ' ');
  }
  return text;
}

int Show(const std::vector<std::string>& args, const AdminEnv& env) {
  bool show_secrets = false;
  for (const std::string& a : args) {
    if (a != "--show-secrets") throw UsageError("opzione sconosciuta: " + a);
    show_secrets = true;
  }
  platform::SystemClock clock;
  platform::ActivityLog log(env.home.File("sms.log"), clock);
  ProcessContext context(env.home, log);
  dispatch::StoredSettings store(context.catalogue);
  const LoadedSettings loaded = Load(store);
  const auto entries = dispatch::DescribeSettings(loaded.fields);
  if (env.json) {
    nlohmann::ordered_json settings = nlohmann::ordered_json::object();
    for (const auto& entry : entries) settings[entry.key] = JsonValue(entry, Shown(entry, show_secrets));
    env.out << nlohmann::ordered_json{{"stored", loaded.stored}, {"settings", settings}}.dump(2)
            << "\n";
    return kAdminOk;
  }
  if (!loaded.stored) {
    env.out << "Nessuna impostazione memorizzata: valori predefiniti (il servizio li memorizza "
               "alla prima lettura).\n";
  }
  std::size_t width = 0;
  for (const auto& entry : entries) width = std::max(width, entry.key.size());
  for (const auto& entry : entries) {
    env.out << std::left << std::setw(static_cast<int>(width)) << entry.key << "  "
            << Indented(Shown(entry, show_secrets), width + 2) << "\n";
  }
  return kAdminOk;
}

std::pair<std::string, std::string> KeyAndValue(const std::string& arg) {
  const auto equals = arg.find('=');
  if (equals == std::string::npos || equals == 0) {
    throw UsageError("atteso CHIAVE=VALORE, non \"" + arg + "\"");
  }
  return {arg.substr(0, equals), arg.substr(equals + 1)};
}

int Set(const std::vector<std::string>& args, const AdminEnv& env) {
  if (args.empty()) throw UsageError("nessuna chiave da cambiare");
  std::vector<std::pair<std::string, std::string>> changes;
  for (const std::string& a : args) changes.push_back(KeyAndValue(a));

  platform::SystemClock clock;
  platform::ActivityLog log(env.home.File("sms.log"), clock);
  ProcessContext context(env.home, log);
  dispatch::StoredSettings store(context.catalogue);
  LoadedSettings loaded = Load(store);
  const auto before = dispatch::DescribeSettings(loaded.fields);
  for (const auto& [key, value] : changes) {
    try {
      dispatch::SetSetting(loaded.fields, key, value);
    } catch (const dispatch::SettingsError& e) {
      throw UsageError(std::string(e.what()) + "; nulla è stato scritto");
    }
  }
  store.Write(dispatch::BuildEditedSettingsDocument(loaded.fields));

  const auto after = dispatch::DescribeSettings(loaded.fields);
  nlohmann::ordered_json changed = nlohmann::ordered_json::array();
  std::vector<std::string> keys;
  std::vector<std::string> notes;
  for (std::size_t i = 0; i < after.size(); ++i) {
    const bool named = std::any_of(changes.begin(), changes.end(),
                                   [&](const auto& c) { return c.first == after[i].key; });
    if (!named) continue;
    keys.push_back(after[i].key);
    const std::string old_value = Shown(before[i], false);
    const std::string new_value = Shown(after[i], false);
    changed.push_back({{"key", after[i].key}, {"before", old_value}, {"after", new_value}});
    if (!env.json) {
      env.out << after[i].key << ": " << Indented(old_value, 4) << " -> "
              << Indented(new_value, 4) << "\n";
    }
    if (!dispatch::AppliedAtReload(loaded.fields, after[i].key)) {
      notes.push_back(after[i].key +
                      " vuoto: il servizio in esecuzione tiene il valore precedente fino al "
                      "riavvio, poi vale il predefinito");
    }
  }
  if (env.json) {
    env.out << nlohmann::ordered_json{{"changed", changed}, {"notes", notes}}.dump(2) << "\n";
  } else {
    for (const std::string& note : notes) env.err << "nota: " << note << "\n";
  }

  // What changed, never the values: the log must hold no secret.
  std::string line = "Impostazioni del servizio cambiate con oxsms:";
  for (std::size_t i = 0; i < keys.size(); ++i) line += (i ? ", " : " ") + keys[i];
  log.WriteLog(line);
  return kAdminOk;
}

}  // namespace

int SettingsCommand(const std::vector<std::string>& args, const AdminEnv& env) {
  if (args.empty()) throw UsageError("manca il comando: settings show | settings set");
  if (args[0] == "--help" || args[0] == "-h") {
    env.out << kSettingsUsage;
    return kAdminOk;
  }
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (std::find(rest.begin(), rest.end(), "--help") != rest.end()) {
    env.out << kSettingsUsage;
    return kAdminOk;
  }
  if (args[0] == "show") return Show(rest, env);
  if (args[0] == "set") return Set(rest, env);
  throw UsageError("comando sconosciuto: settings " + args[0]);
}

}  // namespace oxsms::app
