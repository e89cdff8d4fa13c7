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
  const long days = ini.ReadInteger("sms", "giorni_rapporto", settings.report_days);
  if (days < 0 || days > 3650) {
    log.WriteLog("Valore non valido di giorni_rapporto in config.ini: " + std::to_string(days) +
                 ", si usa " + std::to_string(settings.report_days));
  } else {
    settings.report_days = static_cast<int>(days);
  }
  return settings;
}

}  // namespace oxsms::app
