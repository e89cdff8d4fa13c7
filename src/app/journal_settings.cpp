#include "app/journal_settings.h"

#include "dispatch/orario.h"

namespace oxsms::app {

JournalSettings ReadJournalSettings(const platform::IniFile& ini, platform::ActivityLog& log) {
  JournalSettings settings;
  settings.enabled = ini.ReadBool("sms", "diario_invii", settings.enabled);
  const std::string catch_up = ini.ReadString("sms", "ora_recupero", "");
  if (!catch_up.empty()) {
    try {
      settings.catch_up = dispatch::StrToOrario(catch_up);
    } catch (const dispatch::ConversionError&) {
      log.WriteLog("Valore non valido di ora_recupero in config.ini: " + catch_up +
                   ", si usa 20.00");
    }
  }
  return settings;
}

}  // namespace oxsms::app
