// SendSingleSmS: one SMS for one recipient line.
#include "channels/channel_error.h"
#include "channels/credit_check.h"
#include "channels/sms_gateway.h"
#include "channels/sms_text.h"
#include "channels/sms_wire.h"

namespace oxsms::channels {
namespace {

constexpr const char* kServerPaused =
    "Impossibile inviare SMS per interruzione momentanea del server Velk";

}  // namespace

SendResult SmsGateway::SendSingleSmS(practice::TLineRec rec, const std::vector<std::string>& testoLinee) {
  const bool test = host_.TestMode();
  if (!test) {
    const SmsCounters counters = host_.Counters();
    if (counters.smsDisp <= 0) {
      log_.WriteLog(kCreditOver);
      throw ChannelError(kCreditOver);
    }
    if (counters.smsInviabili <= 0) throw ChannelError(kServerPaused);
  }

  practice::RecipientLists& lists = host_.Batch();
  if (!lists.list_id_agenda.empty()) rec.id_agenda = lists.list_id_agenda.front();
  practice::TPazRec paz =
      lists.listCellIncassi.empty() ? practice::TPazRec{} : lists.listCellIncassi.front();
  if (!test) composer_.InizioInvio();
  const std::string text = composer_.ComponiTesto(testoLinee, rec, paz);
  if (!lists.listCellIncassi.empty()) lists.listCellIncassi.front() = paz;
  SendResult result;
  RunLines& run_lines = host_.Lines();
  const std::string who = SingleLine(rec.Cognome + " " + rec.Nome);
  const std::string person = PersonLabel(rec);
  if (composer_.LinkMancanti().pagamento) {
    run_lines.Ended(run_lines.Composed(LineChannel::kSms, person, text), LineOutcome::kError,
                    kNoPaymentLink);
    // Logged by the composer; the message waits for the next attempt.
    result.Fail(1, SendFailure::kTransient, kNoPaymentLink);
    result.held_back.push_back(0);
    return result;
  }
  if (rec.Cellulare.find('@') != std::string::npos) return result;
  // A number field that cleaning left empty (letters only) has nobody to
  // reach; the gateway would only refuse "+39". Say so instead of failing.
  if (rec.Cellulare.empty()) {
    const std::string message = "SMS non inviato, numero mancante: " + who;
    log_.WriteLog(message);
    run_lines.LeftOut(LineChannel::kSms, person, "numero mancante");
    result.Fail(1, SendFailure::kRefused, message);
    return result;
  }
  const std::string rcpt = WireNumber(rec.Paese, rec.Cellulare);
  if (!IsDialable(rcpt)) {
    const std::string message = "Numero non valido, SMS non inviato: " + who + " (" +
                                SingleLine(rec.Paese + rec.Cellulare) + ")";
    log_.WriteLog(message);
    run_lines.LeftOut(LineChannel::kSms, person, kUndialableReason);
    result.Fail(1, SendFailure::kRefused, message);
    return result;
  }

  run_lines.Composed(LineChannel::kSms, person, text);
  const SmsAccount account = host_.GatewayAccount();
  if (test) {
    log_.WriteLog("Test:SingleSMS \r\n" + rcpt + " " + text);
    result.accepted = 1;
    return result;
  }

  WireObject request;
  request["operation"] = account.TipoSms != 0 ? "FLASH" : "TEXT";
  request["rcpt"] = rcpt;
  request["from"] = account.TESTATA;
  request["data"] = text;
  request["idcliente"] = host_.Counters().idCliente;
  host_.DeliveryStarting(DeliveryChannel::kSms);
  const std::string outvalue =
      Outvalue(http_.Send(InvalueRequest(config_.rest_host, kSingleSmsPath, request)),
               kSingleSmsPath);
  if (outvalue.find("OK") == std::string::npos) {
    run_lines.PendingEnded(LineOutcome::kRefused, "Errore d'invio: " + outvalue);
    throw ChannelError("Errore d'invio: " + outvalue);
  }

  composer_.InvioAccettato();
  log_.WriteLog(JoinLines(host_.Batch().listCell));
  ScalaSmsSingolo();
  result.accepted = 1;
  return result;
}

}  // namespace oxsms::channels
