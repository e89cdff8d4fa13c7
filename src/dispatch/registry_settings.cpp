#include "dispatch/registry_settings.h"

#include <string>

#include "dispatch/orario.h"

namespace oxsms::dispatch {
namespace {

void ReadText(const platform::RegistryKey& key, const char* name, std::string& field) {
  if (key.ValueExists(name)) field = key.ReadString(name);
}

// Booleans were kept as integers, non-zero = true.
void ReadFlag(const platform::RegistryKey& key, const char* name, bool& field) {
  if (key.ValueExists(name)) field = key.ReadInteger(name) != 0;
}

void ReadTime(const platform::RegistryKey& key, TDM1Settings& fields) {
  if (key.ValueExists("Time")) fields.OrarioInvio = StrToOrario(key.ReadString("Time"));
}

void ReadAccount(const platform::RegistryKey& key, TDM1Settings& fields) {
  ReadText(key, "User", fields.UserConnect.User);
  ReadText(key, "Pwd", fields.UserConnect.Pwd);
  ReadText(key, "TESTATA", fields.UserConnect.TESTATA);
  ReadText(key, "ListaFile", fields.UserConnect.ListaFile);
  ReadTime(key, fields);
}

// Values "0" … "6" (Monday first): the first character of each number's
// decimal text becomes that weekday's digit of giorniinvio.
void ReadReminderDays(const platform::RegistryKey& key, TDM1Settings& fields) {
  if (fields.giorniinvio.size() < 7) fields.giorniinvio.resize(7, '0');
  for (int day = 0; day < 7; ++day) {
    const std::string name = std::to_string(day);
    if (key.ValueExists(name)) {
      fields.giorniinvio[day] = std::to_string(key.ReadInteger(name)).front();
    }
  }
}

void ReadBirthdayWeek(const platform::RegistryKey& key, TDM1Settings& fields) {
  std::string* week[] = {&fields.C0, &fields.C1, &fields.C2, &fields.C3,
                         &fields.C4, &fields.C5, &fields.C6};
  for (int day = 0; day < 7; ++day) {
    ReadText(key, ("C" + std::to_string(day)).c_str(), *week[day]);
  }
}

}  // namespace

void ReadMachineHiveSettings(const platform::RegistryKey& key, TDM1Settings& fields) {
  ReadAccount(key, fields);
  ReadText(key, "TestoInvio", fields.TestoInvioApp);
  ReadText(key, "TabAgEscluse", fields.TabAgEscluse);
  ReadText(key, "TestoGenerale", fields.TestoGenerale);
  ReadText(key, "TestoInvioEMAIL", fields.NomeEmailInvio);
  ReadText(key, "NomeEmailApp", fields.NomeEmailApp);
  ReadText(key, "NomeEmailCompl", fields.NomeEmailCompl);
  if (key.ValueExists("TestoInvioCompl")) {
    std::string text = key.ReadString("TestoInvioCompl");
    if (!text.empty()) fields.TestoInvioCompl = std::move(text);
  }
  ReadFlag(key, "CBSms", fields.CBMemoApp);
  ReadFlag(key, "CBCompl", fields.CBCompl);
  ReadFlag(key, "CBServizioSMS", fields.CBServizioSMS);
  ReadFlag(key, "CBServizioEmail", fields.CBServizioEmail);
  ReadFlag(key, "CBServizioWhatsapp", fields.CBServizioWhatsapp);
  ReadFlag(key, "CBSmsVerifica", fields.CBSmsVerifica);
  ReadFlag(key, "CBTest", fields.CBTest);
  ReadFlag(key, "CBSmsFiniti", fields.CBSmsFiniti);
  ReadText(key, "CellVerifica1", fields.CellVerifica1);
  ReadText(key, "EditSmsFiniti", fields.EditSmsFiniti);
  ReadReminderDays(key, fields);
  ReadBirthdayWeek(key, fields);
}

void ReadUserHiveSettings(const platform::RegistryKey& key, TDM1Settings& fields) {
  ReadAccount(key, fields);
  fields.TestoInvioApp.clear();
  fields.TestoInvioCompl.clear();
  ReadFlag(key, "CBSms", fields.CBMemoApp);
  ReadFlag(key, "CBCompl", fields.CBCompl);
  ReadFlag(key, "CBServizioSMS", fields.CBServizioSMS);
  ReadFlag(key, "CBServizioEmail", fields.CBServizioEmail);
  ReadFlag(key, "CBServizioWhatsapp", fields.CBServizioWhatsapp);
  ReadFlag(key, "CBTest", fields.CBTest);
  ReadFlag(key, "CBSmsFiniti", fields.CBSmsFiniti);
  ReadText(key, "TabAgEscluse", fields.TabAgEscluse);
  ReadText(key, "TestoGenerale", fields.TestoGenerale);
  ReadText(key, "TestoInvioEMAIL", fields.NomeEmailInvio);
  ReadText(key, "NomeEmailApp", fields.NomeEmailApp);
  ReadText(key, "NomeEmailCompl", fields.NomeEmailCompl);
  ReadFlag(key, "CBSmsVerifica", fields.CBSmsVerifica);
  ReadText(key, "CellVerifica1", fields.CellVerifica1);
  ReadText(key, "EditSmsFiniti", fields.EditSmsFiniti);
}

void ReadReminderTexts(const platform::RegistryKey& key, TDM1Settings& fields) {
  if (key.ValueExists("TestoInvio")) {
    std::string text = key.ReadString("TestoInvio");
    if (!text.empty()) fields.TestoInvioApp = std::move(text);
  }
  if (key.ValueExists("TestoInvioCompl")) {
    std::string text = key.ReadString("TestoInvioCompl");
    if (!text.empty()) fields.TestoInvioCompl = std::move(text);
  }
}

}  // namespace oxsms::dispatch
