// The state of each kind of send, built from the settings and the kind sent
// before it, and what the channel adapters see of the send in progress.
#include "dispatch/send_state.h"

#include <gtest/gtest.h>

#include "dispatch/channel_adapters.h"
#include "support/manual_clock.h"
#include "support/temp_dir.h"

namespace oxsms::dispatch {
namespace {

TDM1Settings ReminderSettings() {
  TDM1Settings s;
  s.CBServizioSMS = true;
  s.CBServizioWhatsapp = true;
  s.CBServizioEmail = true;
  s.TestoInvioApp = "Promemoria <Nome>";
  s.NomeEmailApp = "Promemoria";
  s.SiglaGeneraleAppWhts = "PROMEMORIA";
  s.variabiliAppWhts = "nome";
  return s;
}

TEST(SendState, AKindTakesItsOwnTextsOnlyWhereSetAndItsChannelIsOn) {
  TDM1Settings s = ReminderSettings();
  const SendState reminder = ReminderSend(s, 100);
  EXPECT_EQ(reminder.DataRicerca, 100);
  EXPECT_EQ(reminder.DataRicerca1, 100);
  EXPECT_EQ(reminder.TemplaTeInvioWhts, "PROMEMORIA");

  // Nothing of its own: the reminder's text, template and message stay.
  SendState notice = FollowingSend(SendKind::kAdvanceNotice, reminder, s, 107);
  EXPECT_EQ(notice.TestoInvioSMS, "Promemoria <Nome>");
  EXPECT_EQ(notice.TemplaTeInvioWhts, "PROMEMORIA");
  EXPECT_EQ(notice.variabiliInvioWhts, "nome");
  EXPECT_EQ(notice.NomeEmailInvio, "Promemoria");
  EXPECT_EQ(notice.DataRicerca1, 107);

  s.TestoInvioAppPreavviso = "Preavviso";
  s.SiglaGeneraleAppWhtsPreav = "PREAVVISO";
  s.NomeEmailAppPreav = "Avviso";
  notice = FollowingSend(SendKind::kAdvanceNotice, reminder, s, 107);
  EXPECT_EQ(notice.TestoInvioSMS, "Preavviso");
  EXPECT_EQ(notice.TemplaTeInvioWhts, "PREAVVISO");
  EXPECT_EQ(notice.variabiliInvioWhts, "") << "the whole group is the kind's own";
  EXPECT_EQ(notice.NomeEmailInvio, "Avviso");

  // A channel that is off keeps the text of the kind before.
  SendState sms_off = reminder;
  sms_off.sendSms = false;
  sms_off.sendEmail = false;
  const SendState quiet = FollowingSend(SendKind::kAdvanceNotice, sms_off, s, 107);
  EXPECT_EQ(quiet.TestoInvioSMS, "Promemoria <Nome>");
  EXPECT_EQ(quiet.NomeEmailInvio, "Promemoria");
}

TEST(SendState, OnlyThePaymentLinkKindFiltersAndNoKindInheritsRecipients) {
  TDM1Settings s = ReminderSettings();
  s.TestoInvioAppPreavviso = "Preavviso";
  SendState reminder = ReminderSend(s, 100);
  reminder.lists.listCell = {"Rossi,Anna,333"};
  const SendState notice = FollowingSend(SendKind::kAdvanceNotice, reminder, s, 107);
  const SendState payment = FollowingSend(SendKind::kPaymentLink, notice, s, 100);

  EXPECT_FALSE(reminder.eliminaIncassiNulli);
  EXPECT_FALSE(notice.eliminaIncassiNulli);
  EXPECT_TRUE(payment.eliminaIncassiNulli);
  EXPECT_TRUE(notice.lists.listCell.empty());
  EXPECT_EQ(payment.TestoInvioSMS, "Preavviso") << "the kind sent just before";
  EXPECT_EQ(payment.kind, SendKind::kPaymentLink);
}

TEST(SendState, ControlSmsGoesAsSmsWhateverTheKindsUsed) {
  const SendState control = ControlSend("Invio Msg Appuntamenti 3 Msg.");
  EXPECT_TRUE(control.sendSms);
  EXPECT_FALSE(control.sendEmail || control.sendWhts || control.sendWhtsB);
  EXPECT_EQ(control.TestoInvioSMS, "Invio Msg Appuntamenti 3 Msg.");
}

TEST(SendState, AdaptersSeeTheSendInProgressAndNothingBetweenSends) {
  testing::TempDir dir;
  testing::ManualClock clock;
  platform::ActivityLog log(dir / "sms.log", clock);
  TDM1Fields fields;
  channels::NoRunLines no_lines;
  FieldsSmsHost host(
      fields, [] { return true; }, no_lines);
  FieldsWhatsAppHost whatsapp(fields, log);
  SendState payment = FollowingSend(SendKind::kPaymentLink, ReminderSend(ReminderSettings(), 1),
                                    ReminderSettings(), 1);
  payment.lists.listCell = {"Rossi,Anna,333"};
  {
    ActiveSend::Scope sending(fields.send_in_progress, payment);
    EXPECT_TRUE(host.SkipZeroFees());
    EXPECT_EQ(host.Batch().listCell.size(), 1u);
    EXPECT_EQ(whatsapp.Settings().TemplaTeInvioWhts, "PROMEMORIA");
    SendState control = ControlSend("x");
    {
      ActiveSend::Scope nested(fields.send_in_progress, control);
      EXPECT_FALSE(host.SkipZeroFees());
    }
    EXPECT_TRUE(host.SkipZeroFees()) << "the outer send is current again";
    host.Batch().listCell.push_back("Verdi,Luca,334");
  }
  EXPECT_EQ(payment.lists.listCell.size(), 2u) << "the adapters wrote into the send";
  EXPECT_FALSE(host.SkipZeroFees());
  EXPECT_TRUE(host.Batch().listCell.empty());
  EXPECT_EQ(whatsapp.Settings().TemplaTeInvioWhts, "");
}

}  // namespace
}  // namespace oxsms::dispatch
