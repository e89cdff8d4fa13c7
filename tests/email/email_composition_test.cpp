// Recipient descriptions and the placeholder substitutions.
#include <gtest/gtest.h>

#include "email/email_composition.h"
#include "email/tvelk_email.h"
#include "email/email_error.h"
#include "support/manual_clock.h"
#include "support/temp_dir.h"

namespace oxsms::email {
namespace {

// A recipient with only the given fields set.
TEmailRec With(std::initializer_list<std::pair<std::string TEmailRec::*, std::string>> fields) {
  TEmailRec rec;
  for (const auto& [field, value] : fields) rec.*field = value;
  return rec;
}

TEmailRec Read(const std::string& text) {
  TEmailRec rec;
  rec.Email = "stale@x.it";  // every field is cleared first
  LeggiDestinatario(rec, text);
  return rec;
}

TEST(LeggiDestinatarioTest, CommaForm) {
  TEmailRec five = Read("Rossi, Mario ,mario@x.it,12/05/2025,10.30");
  EXPECT_EQ(five.Cognome, "Rossi");
  EXPECT_EQ(five.Nome, "Mario");
  EXPECT_EQ(five.Email, "mario@x.it");
  EXPECT_EQ(five.Data, "12/05/2025");
  EXPECT_EQ(five.Ora, "10.30");

  // Only the name is trimmed; the time takes every further comma.
  TEmailRec more = Read(" Rossi ,Mario, m@x.it ,d,10.30,extra");
  EXPECT_EQ(more.Cognome, " Rossi ");
  EXPECT_EQ(more.Email, " m@x.it ");
  EXPECT_EQ(more.Ora, "10.30,extra");

  EXPECT_EQ(Read("Rossi,Mario"), (With({{&TEmailRec::Cognome, "Rossi"}})));
  EXPECT_EQ(Read("Rossi,Mario,m@x.it"), 
            (With({{&TEmailRec::Email, "m@x.it"}, {&TEmailRec::Cognome, "Rossi"}, {&TEmailRec::Nome, "Mario"}})));
  EXPECT_EQ(Read("Rossi,Mario,m@x.it,12/05/2025").Data, "12/05/2025");
  EXPECT_EQ(Read("m@x.it"), (With({{&TEmailRec::Email, "m@x.it"}})));
}

TEST(LeggiDestinatarioTest, JsonForm) {
  const TEmailRec rec = Read(
      R"({"cognome":"Rossi","nome":"Mario","email":"m@x.it","data":"12/05","ora":"10.30",)"
      R"("linkBreve":"https://l/c/1","link_pag":"https://p/s/2","altro":"x"})");
  EXPECT_EQ(rec, (TEmailRec{"m@x.it", "", "Rossi", "Mario", "12/05", "10.30", "https://l/c/1",
                            "https://p/s/2"}));
  EXPECT_EQ(Read(R"({"email":"m@x.it","email2":7})"), (With({{&TEmailRec::Email, "m@x.it"}})));
  // Not JSON although it starts like it: no recipient values at all.
  EXPECT_EQ(Read(R"({"email":"m@x.it",)"), TEmailRec{});
  EXPECT_EQ(Read("{Rossi,Mario,m@x.it"), TEmailRec{});
}

TEST(SubstitutionTest, PersonalKeepsPlaceholdersWithoutValue) {
  const TEmailRec rec = With({{&TEmailRec::Cognome, "Rossi"}, {&TEmailRec::Data, "12/05"}});
  const TEmailString out =
      SubstitutePersonal({"", "#Nome #Cognome #Data", "Ciao #Nome #Cognome, #Data #Ora #link"}, rec);
  EXPECT_EQ(out.strBody, "Ciao #Nome Rossi, 12/05 #Ora #link");
  EXPECT_EQ(out.strSoggetto, "#Nome Rossi 12/05");
}

TEST(SubstitutionTest, LinkVariantGivesEachLinkWhole) {
  const TEmailRec rec = With({{&TEmailRec::Cognome, "Dental Spa"},
                              {&TEmailRec::Nome, "Mario"},
                              {&TEmailRec::linkBreve, "https://l/c/AB"},
                              {&TEmailRec::link_pag, "https://p/s/CD"}});
  const TEmailString out = SubstituteWithLinks(
      {"", "#Fornitore #link", "#Nome conferma: #link - paga: #link_pag #Fornitore"}, rec);
  EXPECT_EQ(out.strBody, "Mario conferma: https://l/c/AB - paga: https://p/s/CD Dental Spa");
  // Links go into the body only.
  EXPECT_EQ(out.strSoggetto, "Dental Spa #link");

  // Without a payment link its placeholder stays as written.
  const TEmailRec short_only = With({{&TEmailRec::linkBreve, "https://l/c/AB"}});
  EXPECT_EQ(SubstituteWithLinks({"", "", "#link #link_pag"}, short_only).strBody,
            "https://l/c/AB #link_pag");
}

TEST(SubstitutionTest, AnonymousRemovesThePersonalPlaceholders) {
  const TEmailString out = SubstituteAnonymous({"", "Per #Nome", "Gentile #Nome #Cognome, il #Data alle #Ora #link"});
  EXPECT_EQ(out.strBody, "Gentile  , il  alle  #link");
  EXPECT_EQ(out.strSoggetto, "Per ");
}

TEST(SubstitutionTest, HtmlBodyTurnsLineBreaksIntoBr) {
  EXPECT_EQ(HtmlBody("uno\r\ndue\r\n\r\ntre\n"), "uno<br>due<br><br>tre\n");
}

TEST(TVelkEmailWithoutDatabaseTest, LookupsNeedTheConfigurationRow) {
  oxsms::testing::TempDir dir;
  oxsms::testing::ManualClock clock;
  platform::ActivityLog log(dir / "sms.log", clock);
  TypicalMessages table;
  TVelkEmail email(table, log);
  try {
    email.TestoDaSoggetto("Agenda");
    FAIL() << "no error without a configuration row";
  } catch (const EmailError& e) {
    EXPECT_STREQ(e.what(), "File di configurazione nullo");
  }
}

TEST(TypicalMessagesTest, NameAndSubjectAreCutToTheirWidthInCharacters) {
  TypicalMessages table;
  table.Append({"Promemoria èèèèèèèèèèèèè", "corpo", std::string(70, 'x')});
  EXPECT_EQ(table.Row(0).C0, "Promemoria èèèèèèèèè");
  EXPECT_EQ(table.Row(0).C2, std::string(60, 'x'));
}

}  // namespace
}  // namespace oxsms::email
