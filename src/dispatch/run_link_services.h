// The link services of a send run: the confirmation short link (the maker's
// link service, reusing the code stored in the agenda) and the payment link
// (the maker's payment service), each recorded in the practice's databases
// through the run's shared search object `AgImp`.
//
// Account, settings and addresses are read at each call, so a settings
// reload between two sends is seen; the payment accounts are read once per
// send (per search object). Only the service thread calls.
//
// A payment link given to a message waits in the pending-payments file
// (payments/pending_payments.h) until a channel accepted that message; a fee
// whose link waits gets that same link again, never a new one.
//
// The links given to a batch are made durable together by RecordLinks, which
// the channels' delivery reaches before a message leaves: first the pending
// file (one write), then the records in the agenda and the accounts,
// committed. In that order a run cut short at any point leaves no recorded
// link that the file does not know, and no message out whose link is not
// recorded; a link made for a batch that never got that far was seen by
// nobody, and the next run makes the fee's link anew.
//
// A link that cannot be had leaves a line in the log ("Link di conferma non
// ottenuto: ...", "Link di pagamento non ottenuto: ...") unless the service
// behind it logged already, and always leaves as a platform::Error.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "channels/link_services.h"
#include "dispatch/tdm1_fields.h"
#include "net/http_client.h"
#include "payments/payment_accounts.h"
#include "payments/payment_confirmation.h"
#include "payments/pending_payments.h"
#include "platform/activity_log.h"
#include "platform/installation.h"
#include "platform/operator_prompt.h"
#include "practice/agimp.h"
#include "practice/connection.h"

namespace oxsms::dispatch {

// What the link services reach of the settings object and its run.
struct RunAccess {
  TDM1Fields& fields;
  practice::Connection& config_db;  // `IBDatabaseConfig`: LINKPAG when the run has no AgImp
  std::function<practice::TAgImp*()> current_agimp;  // the run's AgImp, or none
  std::function<practice::TAgImp&()> ensure_agimp;   // created when absent
  net::HttpClient& http;
  platform::OperatorPrompt& operator_prompt;
};

class RunLinkServices : public channels::LinkServices {
 public:
  // `pending_file`: the pending-payments file of the home folder.
  RunLinkServices(RunAccess access, const platform::Installation& installation,
                  platform::ActivityLog& log, std::filesystem::path pending_file);

  std::string OttieniLink(practice::TLineRec& rec) override;
  void SalvaLinkBreve(const practice::TLineRec& rec) override;
  std::string OttieniLinkPag(practice::TLineRec& rec, practice::TPazRec& paz) override;
  void SalvaLinkPag(const practice::TLineRec& rec, const practice::TPazRec& paz) override;
  void InizioInvio() override;
  void InvioAccettato() override;
  void OffriPagamentiInSospeso(practice::RecipientLists& lists) override;

  // Writes the pending file, then records the payment links given since the
  // last call (SalvaLinkPag) and commits the bookkeeping. Called right before
  // a message may leave, and when a send ends. Never raises: what fails is
  // logged (a pending file that cannot be written does not hold the records
  // back, as a link that is not recorded would be made a second time).
  void RecordLinks() noexcept;

 private:
  // OttieniLink and OttieniLinkPag without the log line of a link not had.
  std::string ConfirmationLinkOf(practice::TLineRec& rec);
  std::string NewOrPendingPaymentLink(practice::TLineRec& rec, practice::TPazRec& paz);
  // The pending file's answer, or nothing when it cannot be read or written
  // (logged): the message then goes as it would without the file.
  std::optional<std::string> PendingLink(const std::string& key);
  // The link as PaymentLinks gives it (reused from `paz.id_linkpag` or new).
  std::string PaymentLinkOf(practice::TLineRec& rec, practice::TPazRec& paz);
  void KeepPending(const std::string& key, const std::string& code);

  RunAccess access_;
  const platform::Installation& installation_;
  platform::ActivityLog& log_;
  payments::UnattendedPaymentConfirmer confirmer_;
  // The practice's payment accounts, read once per search object: a send
  // creates a payment link for every appointment with a fee.
  std::vector<payments::PaymentAccount> accounts_;
  std::uint64_t accounts_of_ = 0;
  payments::PendingPayments pending_;
  // The appointments whose payment link went into the batch being composed.
  std::vector<std::string> batch_keys_;
  // What SalvaLinkPag was given since the last RecordLinks: of the agenda
  // line its table, day and time (all the bookkeeping reads), and the fee.
  struct LinkToRecord {
    std::string id_agenda;
    std::string data;
    std::string ora;
    practice::TPazRec paz;
  };
  std::vector<LinkToRecord> links_to_record_;
  static constexpr std::size_t kLinksPerCommit = 128;
  // The payment link code of the last line that was not a "same" line.
  std::string previous_code_;
};

}  // namespace oxsms::dispatch
