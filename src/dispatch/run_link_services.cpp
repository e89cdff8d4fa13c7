#include "dispatch/run_link_services.h"

#include "channels/confirmation_link.h"
#include "net/maker_rest.h"
#include "payments/payment_accounts.h"
#include "payments/payment_links.h"

namespace oxsms::dispatch {

RunLinkServices::RunLinkServices(RunAccess access, const platform::Installation& installation,
                                 service::ActivityLog& log)
    : access_(std::move(access)), installation_(installation), log_(log), confirmer_(log) {}

std::string RunLinkServices::OttieniLink(practice::TLineRec& rec) {
  const TDM1Fields& f = access_.fields;
  channels::ConfirmationLinkConfig config;
  config.account = {f.UserConnect.User, f.UserConnect.Pwd, f.ore_disdetta};
  config.link_service = {installation_.link_url, installation_.api_key};
  channels::StoredLinkLookup lookup;
  if (practice::TAgImp* agimp = access_.current_agimp()) {
    const std::string host = net::HostOf(installation_.link_url);
    lookup = [agimp, host](practice::TLineRec& r) { agimp->getLinkBreve(r, host); };
  }
  channels::ConfirmationLinks links(config, access_.http(), log_, std::move(lookup));
  return links.OttieniLink(rec);
}

void RunLinkServices::SalvaLinkBreve(const practice::TLineRec& rec) {
  access_.ensure_agimp().SalvaLinkBreve(rec);
}

std::string RunLinkServices::OttieniLinkPag(practice::TLineRec& rec, practice::TPazRec& paz) {
  payments::PaymentService service{{installation_.payment_url, installation_.api_key},
                                   access_.http(),
                                   log_,
                                   access_.operator_prompt(),
                                   confirmer_};
  TDM1Fields& f = access_.fields;
  // The run's search object keeps the configuration database connected for
  // the whole send; without one the settings object's connection is opened
  // for the read.
  practice::TAgImp* agimp = access_.current_agimp();
  practice::Connection& config_db = agimp ? agimp->FDConnectionConfig() : access_.config_db;
  const auto accounts = [this, agimp, &config_db] {
    if (agimp == nullptr) return payments::ReadPaymentAccounts(config_db);
    if (accounts_of_ != agimp->Serial()) {
      accounts_ = payments::ReadPaymentAccounts(config_db);
      accounts_of_ = agimp->Serial();
    }
    return accounts_;
  };
  payments::PaymentLinks links(
      service, [&f] { return payments::AccountCredentials{f.UserConnect.User, f.UserConnect.Pwd}; },
      accounts);
  return links.OttieniLinkPag(rec, paz);
}

void RunLinkServices::SalvaLinkPag(const practice::TLineRec& rec, const practice::TPazRec& paz) {
  access_.ensure_agimp().SalvaLinkPag(rec, paz);
}

}  // namespace oxsms::dispatch
