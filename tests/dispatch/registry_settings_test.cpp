#include "dispatch/registry_settings.h"

#include <gtest/gtest.h>

#include "dispatch/orario.h"
#include "platform/registry_file.h"
#include "support/temp_dir.h"

namespace oxsms::dispatch {
namespace {

using platform::RegistryHive;

class RegistrySettingsTest : public ::testing::Test {
 protected:
  std::unique_ptr<platform::RegistryKey> Key(RegistryHive hive, const std::string& values) {
    const char* name = hive == RegistryHive::kLocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
    testing::WriteFile(dir_ / "registry.ini",
                       "[" + std::string(name) + "\\" + kLegacySettingsKey + "]\n" + values);
    auto key = platform::FileRegistry(dir_ / "registry.ini").OpenKeyReadOnly(hive, kLegacySettingsKey);
    EXPECT_TRUE(key);
    return key;
  }
  testing::TempDir dir_;
};

TEST_F(RegistrySettingsTest, MachineHiveGivesEveryValueItHolds) {
  const auto key = Key(RegistryHive::kLocalMachine,
                       "User=studio\nPwd=pw\nTESTATA=Rossi\nListaFile=p.fdb\nTime=9.45\n"
                       "TestoInvio=Promemoria\nTestoInvioEMAIL=Email1\nNomeEmailCompl=Auguri\n"
                       "CBSms=dword:00000000\nCBCompl=dword:00000002\nCBTest=dword:1\n"
                       "CBServizioWhatsapp=dword:1\nCellVerifica1=3331\nEditSmsFiniti=15\n"
                       "2=dword:00000003\n6=dword:0000000c\nC4=0000100\n");
  TDM1Settings f;
  ReadMachineHiveSettings(*key, f);
  EXPECT_EQ(f.UserConnect.User, "studio");
  EXPECT_EQ(f.UserConnect.Pwd, "pw");
  EXPECT_EQ(f.UserConnect.TESTATA, "Rossi");
  EXPECT_EQ(f.UserConnect.ListaFile, "p.fdb");
  EXPECT_EQ(OrarioToStr(f.OrarioInvio), "09.45.00");
  EXPECT_EQ(f.TestoInvioApp, "Promemoria");
  EXPECT_EQ(f.NomeEmailInvio, "Email1");
  EXPECT_EQ(f.NomeEmailCompl, "Auguri");
  EXPECT_FALSE(f.CBMemoApp);
  EXPECT_TRUE(f.CBCompl);
  EXPECT_TRUE(f.CBTest);
  EXPECT_TRUE(f.CBServizioWhatsapp);
  EXPECT_EQ(f.CellVerifica1, "3331");
  EXPECT_EQ(f.EditSmsFiniti, "15");
  // Day "2" (Wednesday) is 3; day "6" is 12, of which the first digit counts.
  EXPECT_EQ(f.giorniinvio, "0030001");
  EXPECT_EQ(f.C4, "0000100");
  // Values the key does not hold leave their fields alone.
  EXPECT_EQ(f.TestoInvioCompl, kDefaultTestoInvioCompl);
  EXPECT_EQ(f.NomeEmailApp, "Appuntamento");
  EXPECT_TRUE(f.CBServizioSMS);
}

TEST_F(RegistrySettingsTest, EmptyBirthdayTextDoesNotReplaceTheDefault) {
  const auto key = Key(RegistryHive::kLocalMachine, "TestoInvioCompl=\nTestoInvio=\n");
  TDM1Settings f;
  ReadMachineHiveSettings(*key, f);
  EXPECT_EQ(f.TestoInvioCompl, kDefaultTestoInvioCompl);
  EXPECT_EQ(f.TestoInvioApp, "");  // an existing value counts, even empty
}

TEST_F(RegistrySettingsTest, UserHiveEmptiesTheTextsAndSkipsWeekdays) {
  const auto key = Key(RegistryHive::kCurrentUser,
                       "User=mario\nTime=10.00\nTestoInvio=Ignorato\nTestoInvioCompl=Ignorato\n"
                       "CBSmsVerifica=dword:1\n2=dword:3\nC0=1111111\nTabAgEscluse=Agenda3\n");
  TDM1Settings f;
  ReadUserHiveSettings(*key, f);
  EXPECT_EQ(f.UserConnect.User, "mario");
  EXPECT_EQ(OrarioToStr(f.OrarioInvio), "10.00.00");
  EXPECT_EQ(f.TestoInvioApp, "");
  EXPECT_EQ(f.TestoInvioCompl, "");
  EXPECT_TRUE(f.CBSmsVerifica);
  EXPECT_EQ(f.TabAgEscluse, "Agenda3");
  EXPECT_EQ(f.giorniinvio, "0000000");
  EXPECT_EQ(f.C0, "");
}

TEST_F(RegistrySettingsTest, WrongTypesAndBadTimesRaise) {
  TDM1Settings f;
  EXPECT_THROW(ReadMachineHiveSettings(*Key(RegistryHive::kLocalMachine, "CBSms=si\n"), f),
               platform::RegistryError);
  EXPECT_THROW(ReadMachineHiveSettings(*Key(RegistryHive::kLocalMachine, "User=dword:1\n"), f),
               platform::RegistryError);
  EXPECT_THROW(ReadUserHiveSettings(*Key(RegistryHive::kCurrentUser, "Time=mezzogiorno\n"), f),
               ConversionError);
}

TEST_F(RegistrySettingsTest, ReminderTextsRepairOnlyFromNonEmptyValues) {
  TDM1Settings f;
  f.TestoInvioApp.clear();
  ReadReminderTexts(*Key(RegistryHive::kLocalMachine, "TestoInvio=Dal registro\nTestoInvioCompl=\n"), f);
  EXPECT_EQ(f.TestoInvioApp, "Dal registro");
  EXPECT_EQ(f.TestoInvioCompl, kDefaultTestoInvioCompl);
}

}  // namespace
}  // namespace oxsms::dispatch
