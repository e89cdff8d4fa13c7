// MultiSendSms and MultiSendFile: a batch of SMS uploaded as one text.
#include <fstream>
#include <iterator>
#include <optional>

#include "channels/channel_error.h"
#include "channels/credit_check.h"
#include "channels/sms_batch.h"
#include "channels/sms_gateway.h"
#include "channels/sms_text.h"
#include "channels/sms_wire.h"
#include "platform/code_page.h"

namespace oxsms::channels {
namespace {

constexpr const char* kAliasQuestion =
    "L'ALIAS non è verificato. Gli SMS potrebbero non arrivare.\r\n"
    "Effettuare la registrazione dell'ALIAS ed attendere la risposta dell'autorità "
    "predisposta\r\r\n"
    "Premere Yes per inviare comunque";
constexpr const char* kAliasDeclined = "Invio SMS annullato: ALIAS non verificato";
constexpr const char* kUndialable = "Numero non valido, SMS non inviato: ";
constexpr const char* kLineRefused = "Numero rifiutato dal gateway, SMS non inviato: ";

bool Refused(const std::string& outvalue) { return outvalue.find("KO ") != std::string::npos; }

}  // namespace

bool SmsGateway::BatchMayGo(std::size_t lines) {
  RequireBatchCredit(host_.Counters(), lines, log_);
  if (verificaalias("", false) != kAliasVerified) {
    const platform::DialogResult answer =
        ChiediConferma(kAliasQuestion, platform::DialogKind::Confirmation,
                       platform::DialogButtons::YesNo, config_.unattended_alias_answer);
    if (answer != platform::DialogResult::Yes) {
      // Nobody may be watching: a dropped batch must show in the log.
      log_.WriteLog(kAliasDeclined);
      return false;
    }
  }
  return true;
}

SendResult SmsGateway::MultiSendSms(const std::vector<std::string>& listSmsCell,
                                    const std::vector<std::string>& testoLinee,
                                    bool bool_futurland) {
  const bool test = host_.TestMode();
  const std::size_t lines = listSmsCell.size();
  SendResult result;
  if (!test && !BatchMayGo(lines)) {
    result.Fail(static_cast<int>(lines), SendFailure::kRefused, kAliasDeclined);
    return result;
  }

  SmsBatchOptions options;
  options.bool_futurland = bool_futurland;
  options.testata = host_.GatewayAccount().TESTATA;
  options.eliminaIncassiNulli = host_.SkipZeroFees();
  options.header_user = config_.batch_user;
  options.header_password = config_.batch_password;
  options.lines = &host_.Lines();
  if (!test) composer_.InizioInvio();
  SmsBatch batch = CreaFileSms(listSmsCell, testoLinee, options, host_.Batch(), composer_);
  for (const std::string& who : batch.undialable) {
    log_.WriteLog(kUndialable + SingleLine(who));
  }
  if (!batch.undialable.empty()) {
    result.Fail(static_cast<int>(batch.undialable.size()), SendFailure::kRefused,
                kUndialable + SingleLine(batch.undialable.front()));
  }
  if (batch.without_payment_link > 0) {
    // Logged by the composer; these messages wait for the next attempt.
    result.Fail(batch.without_payment_link, SendFailure::kTransient, kNoPaymentLink);
    result.held_back = batch.held_back;
  }
  // Every line left out (e-mail, no number, nothing to collect): no upload.
  if (batch.messages == 0) return result;

  if (!test && host_.Counters().smsInviabili < batch.credits) {
    const std::string message = "Disponibilità di credito non sufficiente per l'invio di " +
                                std::to_string(lines) + " messaggi";
    log_.WriteLog(message);
    throw ChannelError(message);
  }

  if (test) {
    SaveTestBatch(batch.text);
    log_.WriteLog("Test MultiSMS\r\n" + MaskedForLog(batch.text, config_.batch_password));
    result.accepted += batch.messages;
    return result;
  }

  host_.DeliveryStarting(DeliveryChannel::kSms);
  std::string outvalue = UploadBatch(batch.text, batch.credits, bool_futurland);
  if (Refused(outvalue)) {
    // A refusal naming one message costs that message only: the batch goes
    // again, once, without it.
    const std::optional<std::size_t> named = RefusedMessage(outvalue, batch, bool_futurland);
    log_.WriteLog("Errore trasmissione: " + outvalue);
    if (named) {
      const std::string message = kLineRefused + SingleLine(batch.records[*named].who);
      log_.WriteLog(message);
      host_.Lines().Ended(batch.records[*named].line, LineOutcome::kRefused,
                          "Errore trasmissione: " + outvalue);
      result.Fail(1, SendFailure::kRefused, message);
      batch = WithoutMessage(batch, *named);
      if (batch.messages == 0) return result;
      outvalue = UploadBatch(batch.text, batch.credits, bool_futurland);
      if (Refused(outvalue)) log_.WriteLog("Errore trasmissione: " + outvalue);
    }
    if (Refused(outvalue)) {
      result.Fail(batch.messages, SendFailure::kRefused, "Errore trasmissione: " + outvalue);
      return result;
    }
  }
  ScalaSms(batch.credits);
  composer_.InvioAccettato();
  log_.WriteLog(JoinLines(listSmsCell));
  result.accepted += batch.messages;
  return result;
}

void SmsGateway::MultiSendFile(const std::filesystem::path& fname, bool bool_futurland) {
  std::ifstream in(fname, std::ios::binary);
  if (!in) throw ChannelError("Impossibile leggere il file " + fname.string());
  const std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) throw ChannelError("Impossibile leggere il file " + fname.string());
  const std::string outvalue = UploadBatch(platform::ToUtf8Lenient(content), 0, bool_futurland);
  if (Refused(outvalue)) log_.WriteLog("Errore trasmissione: " + outvalue);
}

std::string SmsGateway::UploadBatch(const std::string& batch_text, int32_t smsinv,
                                    bool bool_futurland) {
  const SmsAccount account = host_.GatewayAccount();
  WireObject request;
  request["user"] = account.User;
  request["pwd"] = account.Pwd;
  request["idcliente"] = host_.Counters().idCliente;
  request["smsinv"] = smsinv;
  if (bool_futurland) {
    request["bool_ftp"] = 1;
    net::HttpRequest http =
        InvalueRequestWithBase64(config_.rest_host, kFileSmsPath, request, batch_text);
    return Outvalue(http_.Send(http), kFileSmsPath);
  }
  request["fattach"] = batch_text;
  return Outvalue(
      http_.Send(InvalueRequest(config_.rest_host, kFileSmsPath, std::move(request))),
      kFileSmsPath);
}

void SmsGateway::SaveTestBatch(const std::string& batch_text) {
  const std::filesystem::path file =
      config_.test_batch_folder / (std::to_string(host_.Counters().idCliente) + ".txt");
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  const std::string bytes = platform::Utf8ToCp1252(batch_text);
  if (!out || !out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) ||
      !out.flush()) {
    throw ChannelError("Impossibile scrivere il file " + file.string());
  }
}

}  // namespace oxsms::channels
