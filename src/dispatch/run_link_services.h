// The link services of a send run: the confirmation short link (the maker's
// link service, reusing the code stored in the agenda) and the payment link
// (the maker's payment service), each recorded in the practice's databases
// through the run's shared search object `AgImp`.
//
// Account, settings and addresses are read at each call, so a settings
// reload between two sends is seen; the payment accounts are read once per
// send (per search object). Only the service thread calls.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "channels/link_services.h"
#include "dispatch/tdm1_fields.h"
#include "net/http_client.h"
#include "payments/payment_accounts.h"
#include "payments/payment_confirmation.h"
#include "platform/installation.h"
#include "platform/operator_prompt.h"
#include "practice/agimp.h"
#include "practice/connection.h"
#include "service/activity_log.h"

namespace oxsms::dispatch {

// What the link services reach of the settings object and its run.
struct RunAccess {
  TDM1Fields& fields;
  practice::Connection& config_db;  // `IBDatabaseConfig`: LINKPAG when the run has no AgImp
  std::function<practice::TAgImp*()> current_agimp;  // the run's AgImp, or none
  std::function<practice::TAgImp&()> ensure_agimp;   // created when absent
  std::function<net::HttpClient&()> http;
  std::function<platform::OperatorPrompt&()> operator_prompt;
};

class RunLinkServices : public channels::LinkServices {
 public:
  RunLinkServices(RunAccess access, const platform::Installation& installation,
                  service::ActivityLog& log);

  std::string OttieniLink(practice::TLineRec& rec) override;
  void SalvaLinkBreve(const practice::TLineRec& rec) override;
  std::string OttieniLinkPag(practice::TLineRec& rec, practice::TPazRec& paz) override;
  void SalvaLinkPag(const practice::TLineRec& rec, const practice::TPazRec& paz) override;

 private:
  RunAccess access_;
  const platform::Installation& installation_;
  service::ActivityLog& log_;
  payments::UnattendedPaymentConfirmer confirmer_;
  // The practice's payment accounts, read once per search object: a send
  // creates a payment link for every appointment with a fee.
  std::vector<payments::PaymentAccount> accounts_;
  std::uint64_t accounts_of_ = 0;
};

}  // namespace oxsms::dispatch
