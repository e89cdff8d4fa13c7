#include "dispatch/run_link_services.h"

#include <nlohmann/json.hpp>

#include "channels/confirmation_link.h"
#include "net/maker_rest.h"
#include "payments/payment_accounts.h"
#include "payments/payment_links.h"
#include "dispatch/message_text.h"
#include "platform/error.h"

namespace oxsms::dispatch {
namespace {

// The link `obtain` gives. A link that cannot be had leaves `not_obtained`
// and the reason in the log (the callers only leave the link out), and
// leaves as an error of this program's family, whatever library raised it.
template <typename Obtain>
std::string LoggedLink(platform::ActivityLog& log, const char* not_obtained, Obtain obtain) {
  try {
    return obtain();
  } catch (const platform::Error& e) {
    log.WriteLog(not_obtained + platform::Describe(e));
    throw;
  } catch (const nlohmann::json::exception& e) {
    platform::DataError error(e.what());
    log.WriteLog(not_obtained + platform::Describe(error));
    throw error;
  }
}

}  // namespace

RunLinkServices::RunLinkServices(RunAccess access, const platform::Installation& installation,
                                 platform::ActivityLog& log, std::filesystem::path pending_file)
    : access_(std::move(access)),
      installation_(installation),
      log_(log),
      confirmer_(log),
      pending_(std::move(pending_file)) {}

std::string RunLinkServices::OttieniLink(practice::TLineRec& rec) {
  return LoggedLink(log_, "Link di conferma non ottenuto: ",
                    [&] { return ConfirmationLinkOf(rec); });
}

std::string RunLinkServices::ConfirmationLinkOf(practice::TLineRec& rec) {
  const TDM1Fields& f = access_.fields;
  channels::ConfirmationLinkConfig config;
  config.account = {f.UserConnect.User, f.UserConnect.Pwd, f.ore_disdetta};
  config.link_service = {installation_.link_url, installation_.api_key};
  channels::StoredLinkLookup lookup;
  if (practice::TAgImp* agimp = access_.current_agimp()) {
    const std::string host = net::HostOf(installation_.link_url);
    lookup = [agimp, host](practice::TLineRec& r) { agimp->getLinkBreve(r, host); };
  }
  channels::ConfirmationLinks links(config, access_.http, log_, std::move(lookup));
  return links.OttieniLink(rec);
}

void RunLinkServices::SalvaLinkBreve(const practice::TLineRec& rec) {
  access_.ensure_agimp().SalvaLinkBreve(rec);
}

std::string RunLinkServices::OttieniLinkPag(practice::TLineRec& rec, practice::TPazRec& paz) {
  return LoggedLink(log_, "Link di pagamento non ottenuto: ",
                    [&] { return NewOrPendingPaymentLink(rec, paz); });
}

std::string RunLinkServices::NewOrPendingPaymentLink(practice::TLineRec& rec,
                                                     practice::TPazRec& paz) {
  const bool own_line = rec.id_agenda != kSameAppointment;
  const std::string key =
      payments::PendingPayments::KeyOf(rec.id_agenda, rec.Data, rec.Ora, paz.badge);
  if (!own_line) {
    // A further contact of the appointment of the line before pays the same
    // fee: its link, never a new one.
    if (paz.id_linkpag.empty()) paz.id_linkpag = previous_code_;
    if (paz.id_linkpag.empty()) return {};
    return PaymentLinkOf(rec, paz);
  }
  // A link made for a message that did not go out is this fee's link.
  if (paz.id_linkpag.empty()) {
    if (auto code = PendingLink(key)) paz.id_linkpag = std::move(*code);
  }
  std::string link = PaymentLinkOf(rec, paz);
  previous_code_ = link.empty() ? std::string() : paz.id_linkpag;
  if (!previous_code_.empty()) {
    KeepPending(key, paz.id_linkpag);
    batch_keys_.push_back(key);
  }
  return link;
}

std::string RunLinkServices::PaymentLinkOf(practice::TLineRec& rec, practice::TPazRec& paz) {
  payments::PaymentService service{{installation_.payment_url, installation_.api_key},
                                   access_.http,
                                   log_,
                                   access_.operator_prompt,
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
  links_to_record_.push_back({rec.id_agenda, rec.Data, rec.Ora, paz});
}

void RunLinkServices::RecordLinks() noexcept {
  try {
    pending_.Flush();
  } catch (const platform::Error& e) {
    log_.WriteLog(std::string("Pagamenti in sospeso non aggiornati: ") + e.what());
  }
  if (links_to_record_.empty()) return;
  try {
    practice::TAgImp& agimp = access_.ensure_agimp();
    practice::TLineRec rec;
    std::size_t uncommitted = 0;
    for (const LinkToRecord& link : links_to_record_) {
      rec.id_agenda = link.id_agenda;
      rec.Data = link.data;
      rec.Ora = link.ora;
      agimp.SalvaLinkPag(rec, link.paz);
      // The queued writes and the databases' record of an open transaction
      // take memory per link: a large batch is committed in parts.
      if (++uncommitted == kLinksPerCommit) {
        agimp.CommitBookkeeping();
        uncommitted = 0;
      }
    }
    agimp.CommitBookkeeping();
  } catch (const platform::Error& e) {  // the search object could not be made
    log_.WriteLog(std::string("Link non registrati nell'archivio: ") + e.what());
  }
  // Given back, not kept: the delivery that follows builds its request.
  std::vector<LinkToRecord>().swap(links_to_record_);
}

void RunLinkServices::InizioInvio() {
  RecordLinks();  // what a batch that never went out was given
  batch_keys_.clear();
}

void RunLinkServices::InvioAccettato() {
  RecordLinks();  // none left when the delivery recorded them
  if (batch_keys_.empty()) return;
  try {
    pending_.Remove(batch_keys_);
  } catch (const platform::Error& e) {
    log_.WriteLog(std::string("Pagamenti in sospeso non aggiornati: ") + e.what());
  } catch (const nlohmann::json::exception& e) {  // a key that is no UTF-8 text
    log_.WriteLog(std::string("Pagamenti in sospeso non aggiornati: ") + e.what());
  }
  batch_keys_.clear();
}

void RunLinkServices::OffriPagamentiInSospeso(practice::RecipientLists& lists) {
  for (std::size_t i = 0; i < lists.listCell.size() && i < lists.listCellIncassi.size(); ++i) {
    practice::TPazRec& paz = lists.listCellIncassi[i];
    if (paz.id_linkpag.empty() || i >= lists.list_id_agenda.size()) continue;
    practice::TLineRec rec;
    ParseLineRec(rec, lists.listCell[i]);
    const std::string key =
        payments::PendingPayments::KeyOf(lists.list_id_agenda[i], rec.Data, rec.Ora, paz.badge);
    const auto code = PendingLink(key);
    if (code && *code == paz.id_linkpag) paz.id_linkpag.clear();
  }
}

std::optional<std::string> RunLinkServices::PendingLink(const std::string& key) {
  try {
    return pending_.Find(key);
  } catch (const platform::Error& e) {
    log_.WriteLog(std::string("Pagamenti in sospeso non letti: ") + e.what());
    return std::nullopt;
  }
}

void RunLinkServices::KeepPending(const std::string& key, const std::string& code) {
  try {
    pending_.Add(key, code);
  } catch (const platform::Error& e) {
    log_.WriteLog(std::string("Pagamenti in sospeso non aggiornati: ") + e.what());
  } catch (const nlohmann::json::exception& e) {  // a key that is no UTF-8 text
    log_.WriteLog(std::string("Pagamenti in sospeso non aggiornati: ") + e.what());
  }
}

}  // namespace oxsms::dispatch
