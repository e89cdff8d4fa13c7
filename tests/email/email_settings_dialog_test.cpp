#include "email/email_settings_dialog.h"

#include <gtest/gtest.h>

#include "email/email_error.h"
#include "platform/activity_log.h"
#include "platform/clock.h"
#include "support/temp_dir.h"

namespace oxsms::email {
namespace {

TEST(EmailErrataTest, TheAddressRulesInOrder) {
  for (const char* bad : {"", "   ", "a b@x.it", "m\xc3\xbcller@x.de", "M\xc3\x9c" "LLER@x.de",
                          "[a]@x.it", "a(b)@x.it", "a:b@x.it", "ax.it", "@x.it", "a@",
                          "a@b@x.it", "a@x", "a@xit", "a@.xit", "a@xit."}) {
    EXPECT_TRUE(EmailErrata(bad)) << bad;
  }
  // A domain whose first dot is inside it passes, even ending in a dot.
  for (const char* good : {"a@x.it", "mario.rossi@studio.example.com", "a@x.it."}) {
    EXPECT_FALSE(EmailErrata(good)) << good;
  }
}

class EmailDialogTest : public ::testing::Test {
 protected:
  testing::TempDir dir_;
  platform::SystemClock clock_;
  platform::ActivityLog log_{dir_ / "sms.log", clock_};
  TypicalMessages messages_;
  TVelkEmail email_{messages_, log_};
  TImpEmailDlg dialog_{email_};
};

TEST_F(EmailDialogTest, PresetsSetHostPortAndSsl) {
  dialog_.ApplyPreset(*FindSmtpPreset("gmail"));
  EXPECT_EQ(dialog_.account.Port, "465");
  EXPECT_TRUE(dialog_.account.CBSSL);
  EXPECT_FALSE(dialog_.account.Host.empty());
  dialog_.ApplyPreset(*FindSmtpPreset("ALICE"));
  EXPECT_EQ(dialog_.account.Port, "587");
  EXPECT_FALSE(dialog_.account.CBSSL);
  EXPECT_EQ(SmtpPresets().size(), 10u);
  EXPECT_EQ(FindSmtpPreset("nessuno"), nullptr);
}

TEST_F(EmailDialogTest, SavingStoresAnEmptyPortAs25AndUpdatesTheEmailObject) {
  dialog_.Show();
  dialog_.account.Host = " smtp.example.com ";
  dialog_.account.Port = "";
  dialog_.account.Username = "studio";
  dialog_.account.Password = "";
  dialog_.account.CBNotificaDiario = true;
  email_.usavelk = false;
  dialog_.SalvaConfigurazione();
  const auto stored = ParseEmailSettings(dialog_.configStream);
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->Port, "25");
  EXPECT_EQ(stored->Host, "smtp.example.com");
  EXPECT_TRUE(email_.emailconfigurata);
  EXPECT_TRUE(email_.usavelk);  // no password: the maker's service
  EXPECT_TRUE(email_.isNotificaDiario);

  // Shown again from the document: the same values.
  TImpEmailDlg again(email_);
  again.configStream = dialog_.configStream;
  again.Show();
  EXPECT_EQ(again.account.Host, "smtp.example.com");
  EXPECT_EQ(again.account.Port, "25");
}

TEST_F(EmailDialogTest, AddressBookRefusesBadAddressesAndKeepsBareOnes) {
  email_.listRubrica = {"Rossi,Mario,mario@x.it", "senza-indirizzo,Nome,", "bianchi@x.it"};
  dialog_.CaricaRubrica();
  ASSERT_EQ(dialog_.Rubrica().size(), 2u);
  EXPECT_EQ(dialog_.Rubrica()[0].cognome, "Rossi");
  std::string error;
  EXPECT_FALSE(dialog_.AggiungiRubrica({"a b@x.it", "Verdi", ""}, &error));
  EXPECT_EQ(error, kIndirizzoErrato);
  EXPECT_TRUE(dialog_.AggiungiRubrica({"neri@x.it", "", "Anna"}, &error));
  ASSERT_TRUE(dialog_.EliminaRubrica(0));
  dialog_.AggiornaRubrica();
  EXPECT_EQ(email_.listRubrica, (std::vector<std::string>{"bianchi@x.it", "neri@x.it"}));
}

TEST_F(EmailDialogTest, TheTestMessageNeedsASender) {
  dialog_.Show();
  try {
    dialog_.MessaggioDiProva("dest@x.it");
    FAIL() << "no sender";
  } catch (const EmailError& e) {
    EXPECT_STREQ(e.what(), kMittenteMancante);
  }
  dialog_.account.DaEmail = "studio@x.it";
  dialog_.account.EmailBCC = "copia@x.it";
  const EmailMessage message = dialog_.MessaggioDiProva("dest@x.it");
  EXPECT_EQ(message.subject, kTestSubject);
  EXPECT_EQ(message.html_body, kTestBody);
  ASSERT_EQ(message.to.size(), 1u);
  EXPECT_EQ(message.to[0].address, "dest@x.it");
  ASSERT_EQ(message.bcc.size(), 1u);
}

}  // namespace
}  // namespace oxsms::email
