// The send operations of the email subsystem over the current email object:
// a circular to a list of recipient lines, one personalised message to one
// line, and a single send with links. Each builds the message from a typical
// message (or the composition), takes the in-progress slot, and hands the
// message to the transport the settings choose: the maker's REST service
// when the email object says `usavelk`, else the practice's SMTP server.
//
// Without a desktop user there is no mail client to hand messages to and no
// operator to ask: a settings document that asks for the desktop mail client
// is logged once per object and the REST or SMTP transport is used instead;
// a missing sender is logged and the send fails.
//
// The service thread runs the operations; a delivery that the rules send to
// the worker (`TEmailThread`) is waited for before the operation returns, so
// every line's outcome is known to the caller and the email object outlives
// every delivery it started. Not thread-safe: one caller thread per object.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "email/delivery_outcome.h"
#include "email/email_composition.h"
#include "email/email_message.h"
#include "email/email_thread.h"
#include "email/email_transport.h"
#include "email/in_progress_slot.h"
#include "email/tvelk_email.h"
#include "platform/activity_log.h"

namespace oxsms::email {

class EmailSends {
 public:
  // All parts must outlive the object; `email` has read its settings.
  EmailSends(TVelkEmail& email, EmailTransport& smtp, EmailTransport& rest, InProgressSlot& slot,
             platform::ActivityLog& log);

  // `InviaEmailCircolare`: the typical message `strNome` to every line of
  // `listToEmail` (CR LF separated recipient descriptions); `listFile` holds
  // attachment paths, one per line. Returns one outcome per line, in order.
  // - A first line with a surname: one personalised message per line, each
  //   delivered before the next. A failure of this message alone (a refused
  //   address) costs that line; any other failure would repeat for every
  //   line, so the lines after it are not tried and fail with its reason.
  // - A first line without a surname: one message with the placeholders
  //   removed, on the worker thread; by SMTP with every address in Bcc, by
  //   the REST service (which carries no Bcc) one request per address, each
  //   to that address alone.
  // Every line that did not go is logged with its reason. Raises EmailError
  // "Attendere invio di altre email ancora in corso" when a message is in
  // delivery and "Destinatari non passati" for an empty list. An empty text
  // (no typical message of that name) sends nothing and fails every line, and
  // so does a text that asks for a link ("#link", "#link_pag"): a circular
  // has none to put in, and the placeholder must not reach the patient.
  std::vector<DeliveryOutcome> InviaEmailCircolare(const std::string& listToEmail,
                                                   const std::string& strNome,
                                                   const std::string& listFile = {});

  // `InviaEmailDestinatario`: the personalised `text` to the one recipient
  // `line`, delivered on this thread (`wait`) or on the worker, which this
  // call then waits for. A line without an address sends nothing.
  DeliveryOutcome InviaEmailDestinatario(const std::string& line, const TEmailString& text,
                                         bool wait, const std::string& listFile);

  // `InviaEmailSingola`: one message with links to the recipient
  // description `listToEmail` (a second address as Cc). Returns the subject
  // sent, empty when nothing was handed over. Raises what the transport
  // raised.
  std::string InviaEmailSingola(const std::string& listToEmail, const std::string& strNome,
                                std::string listFile, bool forceComponi, bool wait,
                                const std::string& soggetto, const std::string& PostBody,
                                const std::string& PostSoggetto);

  // `InviaMessaggio`: delivers a built message with the settings document
  // `configStream` by the transport the email object chooses. Raises
  // EmailError "Configurazione SMTP non trovata" / "Configurazione email non
  // trovata" for a document without root, EmailError when there is no
  // sender, and what the transport raises.
  void InviaMessaggio(const EmailMessage& message, const std::string& configStream);

  // `ChiediMittente`: there is nobody to ask for the sender address. Logs
  // how to set it and returns false.
  bool ChiediMittente();

 private:
  EmailTransport& Transport();
  void NoteDesktopClient();
  DeliveryOutcome DeliverHere(const EmailMessage& message);
  std::vector<DeliveryOutcome> DeliverOnWorker(std::vector<EmailMessage> messages, SlotPlace place);
  std::vector<DeliveryOutcome> Personalised(const std::vector<std::string>& lines,
                                            const TEmailString& text, const std::string& listFile);
  std::vector<DeliveryOutcome> Anonymous(const std::vector<std::string>& lines,
                                         const TEmailString& text, const std::string& listFile);

  TVelkEmail& email_;
  EmailTransport& smtp_;
  EmailTransport& rest_;
  InProgressSlot& slot_;
  platform::ActivityLog& log_;
  bool desktop_client_noted_ = false;
};

// The recipient description `line` as an outcome's log line names it:
// the address, or the line itself when it has none.
std::string RecipientOf(const std::string& line);

}  // namespace oxsms::email
