// The decisions of the agenda and patient searches that need no database.
#include <gtest/gtest.h>

#include <string>

#include "platform/date_time.h"
#include "practice/agenda_lines.h"
#include "practice/appointment_key.h"
#include "practice/contact_rules.h"
#include "practice/firebird_location.h"
#include "practice/patient_statements.h"
#include "practice/settings_profile.h"
#include "practice/smsconf_file.h"

namespace oxsms::practice {
namespace {

using platform::EncodeDate;
using platform::EncodeTime;

TEST(AgendaLines, TableIsTheValueUpToASecondEquals) {
  EXPECT_EQ(TableOfAgendaLine("Agenda1=AGENDA_DR"), "AGENDA_DR");
  EXPECT_EQ(TableOfAgendaLine("Agenda1=AG1=extra"), "AG1");
  EXPECT_EQ(TableOfAgendaLine("AGENDA3"), "AGENDA3");
  EXPECT_EQ(TableOfAgendaLine("Agenda1="), "");
}

TEST(AgendaLines, OnlyPlainIdentifiersAreTableNames) {
  EXPECT_TRUE(IsPlainTableName("Agenda1"));
  EXPECT_TRUE(IsPlainTableName("AG_STUDIO_2"));
  EXPECT_TRUE(IsPlainTableName(std::string(63, 'A')));
  EXPECT_FALSE(IsPlainTableName(std::string(64, 'A')));
  EXPECT_FALSE(IsPlainTableName(""));
  EXPECT_FALSE(IsPlainTableName("1AGENDA"));
  EXPECT_FALSE(IsPlainTableName("_AGENDA"));
  EXPECT_FALSE(IsPlainTableName("AGENDA1 where 1=1"));
  EXPECT_FALSE(IsPlainTableName("AGENDA1;drop table ANAGRAFICA"));
  EXPECT_FALSE(IsPlainTableName("\"AGENDA\""));
  EXPECT_FALSE(IsPlainTableName("AGENDA-1"));
  EXPECT_FALSE(IsPlainTableName("AGEND\xC3\x80"));
}

TEST(AgendaLines, PrintableNameCannotForgeLogLines) {
  EXPECT_EQ(PrintableName("A\r\nB"), "A??B");
  EXPECT_EQ(PrintableName(std::string(100, 'x')).size(), 83u);
}

TEST(AgendaLines, SplitLinesKeepsEmptyLinesInside) {
  EXPECT_EQ(SplitLines("a\r\n\r\nb\nc\r"), (std::vector<std::string>{"a", "", "b", "c"}));
  EXPECT_TRUE(SplitLines("").empty());
}

TEST(AppointmentKey, KeyHoldsShortDateAndHourMinuteWithDot) {
  const auto date = EncodeDate(2025, 5, 12) + EncodeTime(14, 0, 0);  // time part ignored
  EXPECT_EQ(FormatAppointmentKey(date, EncodeTime(9, 30, 59)), "12/05/2025,09.30");
  // A TIME delivered as a timestamp of 30/12/1899 or with another date.
  EXPECT_EQ(FormatAppointmentKey(date, EncodeDate(2025, 5, 12) + EncodeTime(8, 5, 0)),
            "12/05/2025,08.05");
}

TEST(AppointmentKey, OraDaChiaveReadsTheTimeAfterTheFirstComma) {
  EXPECT_EQ(OraDaChiave("12/05/2025,09.30"), EncodeTime(9, 30, 0));
  EXPECT_EQ(OraDaChiave("12/05/2025,09:30"), EncodeTime(9, 30, 0));
  EXPECT_EQ(OraDaChiave("12/05/2025,9.30.15"), EncodeTime(9, 30, 15));
  EXPECT_EQ(OraDaChiave("12/05/2025"), 0.0);
  EXPECT_EQ(OraDaChiave(""), 0.0);
}

TEST(AppointmentKey, OraDaChiaveRefusesWhatIsNoTime) {
  EXPECT_THROW(OraDaChiave("12/05/2025,"), platform::DataError);
  EXPECT_THROW(OraDaChiave("12/05/2025,25.00"), platform::DataError);
  EXPECT_THROW(OraDaChiave("12/05/2025,09"), platform::DataError);
  EXPECT_THROW(OraDaChiave("12/05/2025,ab.cd"), platform::DataError);
}

TEST(AppointmentKey, KeyAndOraDaChiaveAgreeToTheMillisecond) {
  for (int minute : {0, 1, 29, 30, 59}) {
    const auto time = EncodeTime(11, minute, 0);
    const auto key = FormatAppointmentKey(EncodeDate(2025, 1, 1), time);
    EXPECT_EQ(MillisecondOfDay(OraDaChiave(key)), MillisecondOfDay(time)) << key;
  }
}

TEST(ContactRules, PulisciNumeroRemovesSeparatorsAndLetters) {
  std::string n = "333 12.34-56";
  PulisciNumero(n);
  EXPECT_EQ(n, "333123456");
  n = "+39 (333) 1234";
  PulisciNumero(n);
  EXPECT_EQ(n, "+39(333)1234");
  n = "nessuno";
  PulisciNumero(n);
  EXPECT_EQ(n, "");
  n = "\t333/12\\34,5 tel\r\n";
  PulisciNumero(n);
  EXPECT_EQ(n, "33312345");
}

TEST(ContactRules, ConsentCodes) {
  EXPECT_FALSE(ConsentAllowsSms(0));
  EXPECT_TRUE(ConsentAllowsSms(1));
  EXPECT_FALSE(ConsentAllowsSms(2));
  EXPECT_TRUE(ConsentAllowsSms(3));
  EXPECT_FALSE(ConsentAllowsSms(4));
  EXPECT_FALSE(ConsentAllowsEmail(1));
  EXPECT_TRUE(ConsentAllowsEmail(2));
  EXPECT_TRUE(ConsentAllowsEmail(3));
  EXPECT_FALSE(ConsentAllowsEmail(-1));
}

TEST(BirthdayPeriod, BirthdayMovedIntoTheYearOfTheStart) {
  const auto start = EncodeDate(2025, 5, 3);
  const auto end = EncodeDate(2025, 5, 5);
  EXPECT_TRUE(CompleannoNelPeriodo(end, start, EncodeDate(1980, 5, 4)));
  EXPECT_TRUE(CompleannoNelPeriodo(end, start, EncodeDate(1980, 5, 3)));
  EXPECT_TRUE(CompleannoNelPeriodo(end, start, EncodeDate(1980, 5, 5)));
  EXPECT_FALSE(CompleannoNelPeriodo(end, start, EncodeDate(1980, 5, 6)));
  EXPECT_FALSE(CompleannoNelPeriodo(end, start, EncodeDate(1980, 5, 2)));
}

TEST(BirthdayPeriod, AcrossMonthsAndYears) {
  EXPECT_TRUE(CompleannoNelPeriodo(EncodeDate(2025, 5, 2), EncodeDate(2025, 4, 30),
                                   EncodeDate(1990, 5, 1)));
  // The birthday is moved into the start's year: 1 January 2025 lies before
  // 30 December 2025.
  EXPECT_FALSE(CompleannoNelPeriodo(EncodeDate(2026, 1, 2), EncodeDate(2025, 12, 30),
                                    EncodeDate(1990, 1, 1)));
  EXPECT_TRUE(CompleannoNelPeriodo(EncodeDate(2026, 1, 2), EncodeDate(2025, 12, 30),
                                   EncodeDate(1990, 12, 31)));
}

TEST(BirthdayPeriod, TwentyNinthOfFebruaryOnlyInLeapYears) {
  const auto born = EncodeDate(1988, 2, 29);
  EXPECT_FALSE(CompleannoNelPeriodo(EncodeDate(2025, 3, 1), EncodeDate(2025, 2, 28), born));
  EXPECT_TRUE(CompleannoNelPeriodo(EncodeDate(2024, 2, 29), EncodeDate(2024, 2, 29), born));
}

TEST(BirthdayPeriod, EndBeforeStartFindsNothing) {
  EXPECT_FALSE(CompleannoNelPeriodo(EncodeDate(2025, 5, 3), EncodeDate(2025, 5, 5),
                                    EncodeDate(1980, 5, 4)));
}

std::string SmsConfRecordBytes(int16_t flag, const std::string& host, const std::string& path) {
  std::string r(kSmsConfRecordSize, '\0');
  r[0] = static_cast<char>(flag & 0xff);
  r[1] = static_cast<char>((flag >> 8) & 0xff);
  r[2] = static_cast<char>(host.size());
  r.replace(3, host.size(), host);
  r[33] = static_cast<char>(path.size());
  r.replace(34, path.size(), path);
  return r;
}

TEST(SmsConfFile, TwoRecordsOfOneHundredFourteenBytes) {
  const std::string bytes = SmsConfRecordBytes(0, "srv", "C:\\Dati\\ag2.fdb") +
                            SmsConfRecordBytes(1, "", "ag3.fdb");
  ASSERT_EQ(bytes.size(), 228u);
  const auto records = ParseSmsConf(bytes);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_FALSE(records[0].switched_off);
  EXPECT_EQ(records[0].host, "srv");
  EXPECT_EQ(records[0].path, "C:\\Dati\\ag2.fdb");
  EXPECT_TRUE(records[1].switched_off);
  EXPECT_EQ(records[1].host, "");
  EXPECT_EQ(records[1].path, "ag3.fdb");
}

TEST(SmsConfFile, OnlyFlagOneSwitchesOffAndTextIsCodePage) {
  auto bytes = SmsConfRecordBytes(256, "", "agend\xE0.fdb");  // flag 0x0100, not 1
  const auto records = ParseSmsConf(bytes);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_FALSE(records[0].switched_off);
  EXPECT_EQ(records[0].path, "agend\xC3\xA0.fdb");
}

TEST(SmsConfFile, DamagedLengthsAndTrailingBytesStayInsideTheRecord) {
  auto bytes = SmsConfRecordBytes(0, "h", "p");
  bytes[2] = static_cast<char>(200);   // beyond the 30 bytes of the host field
  bytes[33] = static_cast<char>(255);  // beyond the 80 bytes of the path field
  bytes.replace(3, 30, std::string(30, 'H'));
  bytes.replace(34, 80, std::string(80, 'P'));
  bytes += "tail";  // not a whole record
  const auto records = ParseSmsConf(bytes);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].host, std::string(30, 'H'));
  EXPECT_EQ(records[0].path, std::string(80, 'P'));
}

TEST(SettingsProfile, SectionValuesAsTheyStandWithProfileRules) {
  const SettingsProfile p(
      "[agenda]\r\nAgenda1=AG1\r\n; Agenda9=commented\r\n  Agenda2 = AG2 \r\nAgenda1=dup\r\n"
      "noequals\r\n[File Gruppi]\r\nF1=C:\\a.fdb\r\nF2=\"srv:C:\\b.fdb\"\r\n[Agenda]\r\nX=late\r\n");
  EXPECT_EQ(p.SectionValues("Agenda"), (std::vector<std::string>{"Agenda1=AG1", "Agenda2=AG2"}));
  EXPECT_EQ(p.SectionValues("FILE GRUPPI"),
            (std::vector<std::string>{"F1=C:\\a.fdb", "F2=srv:C:\\b.fdb"}));
  EXPECT_TRUE(p.SectionValues("Missing").empty());
}

TEST(SettingsProfile, ReadIntegerFallsBackToTheDefault) {
  const SettingsProfile p("[Agenda]\nAgenda1=0\nAgenda2=x\nagenda3=\n");
  EXPECT_EQ(p.ReadInteger("Agenda", "AGENDA1", 1), 0);
  EXPECT_EQ(p.ReadInteger("Agenda", "Agenda2", 1), 1);
  EXPECT_EQ(p.ReadInteger("Agenda", "Agenda3", 1), 1);
  EXPECT_EQ(p.ReadInteger("Agenda", "Agenda4", 1), 1);
}

TEST(FirebirdLocation, ServerOrLocalPath) {
  EXPECT_TRUE(NamesServer("srv:C:\\Dati\\g.fdb"));
  EXPECT_TRUE(NamesServer("srv/3051:C:\\Dati\\g.fdb"));
  EXPECT_TRUE(NamesServer("\\\\srv\\Dati\\g.fdb"));
  EXPECT_TRUE(NamesServer("srv@C:\\Dati\\g.fdb"));
  EXPECT_FALSE(NamesServer("C:\\Dati\\g.fdb"));
  EXPECT_FALSE(NamesServer("g.fdb"));
  EXPECT_FALSE(NamesServer("/var/db/g.fdb"));
  EXPECT_FALSE(NamesServer("@g.fdb"));
}

TEST(PatientStatements, FirebirdStatementsReadPlainColumns) {
  EXPECT_EQ(ContactStatement(false, false, "'k'"),
            "select COGNOME,NOME,TELCELL,SMS,EMAIL,CODICE_CLIENTE from ANAGRAFICA where badge = "
            ":badge");
  EXPECT_EQ(ContactStatement(true, false, "'k'"),
            "select COGNOME,NOME,TELCELL,SMS,EMAIL,TELCELL2,EMAIL2,CODICE_CLIENTE from ANAGRAFICA "
            "where badge = :badge");
}

TEST(PatientStatements, MySqlDecryptsEachEncryptedColumnInItsOwnRight) {
  const std::string sql = ContactStatement(true, true, "'k''ey'");
  EXPECT_EQ(sql,
            "select AES_DECRYPT(UNHEX(COGNOME),'k''ey') as COGNOME,NOME,TELCELL,SMS,"
            "AES_DECRYPT(UNHEX(EMAIL),'k''ey') as EMAIL,TELCELL2,"
            "AES_DECRYPT(UNHEX(EMAIL2),'k''ey') as EMAIL2,CODICE_CLIENTE from ANAGRAFICA where "
            "badge = :badge");
}

TEST(PatientStatements, BirthdayMonthConditionByDialect) {
  EXPECT_EQ(BirthdayStatement(false, "'k'", false),
            "select COGNOME,NOME,TELCELL,SMS,EMAIL,data_di_nascita from ANAGRAFICA where "
            "data_di_nascita is not null");
  EXPECT_NE(BirthdayStatement(false, "'k'", true).find("and extract(month from data_di_nascita) = :mese"),
            std::string::npos);
  const std::string mysql = BirthdayStatement(true, "'k'", true);
  EXPECT_NE(mysql.find("and month(data_di_nascita) = :mese"), std::string::npos);
  EXPECT_NE(mysql.find("AES_DECRYPT(UNHEX(EMAIL),'k') as EMAIL"), std::string::npos);
}

}  // namespace
}  // namespace oxsms::practice
