// Test doubles of what the SMS gateway client sees of the send orchestration:
// a host over plain fields and a composer that does real placeholder work.
#pragma once

#include <string>
#include <vector>

#include "channels/message_composer.h"
#include "channels/sms_host.h"

namespace oxsms::channels::testing {

class FakeSmsHost : public SmsHost {
 public:
  SmsCounters counters;
  SmsAccount account;
  bool test_mode = false;
  bool skip_zero_fees = false;
  practice::RecipientLists lists;
  // What the next ReadConnect puts in place of `account` (when set).
  bool reload_gives_account = false;
  SmsAccount reloaded_account;
  int reloads = 0;

  SmsCounters Counters() const override { return counters; }
  void SetCounters(const SmsCounters& value) override { counters = value; }
  SmsAccount GatewayAccount() const override { return account; }
  bool TestMode() const override { return test_mode; }
  bool SkipZeroFees() const override { return skip_zero_fees; }
  practice::RecipientLists& Batch() override { return lists; }
  bool ReadConnect() override {
    ++reloads;
    if (reload_gives_account) account = reloaded_account;
    return true;
  }
};

// Splits "Cognome,Nome,Cellulare[,Data,Ora]" and fills the placeholders
// <Nome>, <Cognome>, <Data>, <Ora>, <link_conferma> (a new link per
// appointment unless the record already carries one) and <link_pag> (a link
// for a fee, recorded in the payment record).
class TemplateComposer : public MessageComposer {
 public:
  int links_created = 0;
  int payment_links_created = 0;

  practice::TLineRec ParseLineRec(const std::string& line) const override;
  std::string ComponiTesto(const std::vector<std::string>& testoLinee, practice::TLineRec& rec,
                           practice::TPazRec& paz) override;
};

}  // namespace oxsms::channels::testing
