// The SMS channel: the client of the maker's SMS gateway. It checks the
// practice's account and credit, sends one SMS or a batch uploaded as one
// text, checks the sender alias, and keeps the credit counters of the
// send-orchestration object that the WhatsApp sender and the daily run read.
//
// Every failure is raised as an exception with the Italian text that the
// daily run logs: ChannelError for a refused or impossible send,
// GatewayReplyError for a reply the client cannot use, and the HTTP client's
// net::HttpError for a transport failure, passed on unchanged. The client
// logs only the lines named below; no credential and no API key is logged.
//
// Only the service thread calls. Everything referenced must outlive the
// object.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "channels/message_composer.h"
#include "channels/send_result.h"
#include "channels/sms_gateway_config.h"
#include "channels/sms_host.h"
#include "net/http_client.h"
#include "platform/activity_log.h"
#include "platform/operator_prompt.h"
#include "practice/recipient_records.h"

namespace oxsms::channels {

// The pause of the "wait 200 ms" steps; tests pass one that does not sleep.
using Sleeper = std::function<void(std::chrono::milliseconds)>;
void SleepFor(std::chrono::milliseconds pause);

// Endpoint paths of the gateway.
inline constexpr const char* kVerificaUtentePath = "/smsox/verificautente.json";
inline constexpr const char* kSingleSmsPath = "/smsox/singlesmstoterver.json";
inline constexpr const char* kFileSmsPath = "/smsox/filesmstoserver.json";
inline constexpr const char* kVerificaAliasPath = "/home/verifica_alias.json";

// verificaalias: the verdict of a verified alias, and of an empty reply.
inline constexpr int kAliasVerified = 1;
inline constexpr int kAliasNoReply = 10;

class SmsGateway {
 public:
  SmsGateway(SmsHost& host, MessageComposer& composer, platform::OperatorPrompt& operator_prompt,
             net::HttpClient& http, platform::ActivityLog& log, SmsGatewayConfig config,
             Sleeper sleep = SleepFor);

  // Refreshes `idCliente`, `smsDisp` and `smsInviabili` from the gateway.
  // With no account configured the settings are reloaded first; still none:
  // logs and raises "Configurazione utente ancora non effettuata". An
  // account refused (codice 1 or 2) zeroes the counters and raises
  // "Errore di autenticazione <message>". No credit after a second check:
  // raises "Disponibilità di SMS esaurita: <n>". Otherwise logs
  // "Sms disponibili: <n>". `connect` changes nothing.
  void VerificaUtenteSMS(bool connect);

  // Sends one SMS to `rec` with the template `testoLinee`; the first agenda
  // reference and payment record of the batch lists belong to it. An e-mail
  // recipient is skipped silently. In test mode only logs what it would send.
  // Raises on missing credit and on a send not acknowledged ("OK"). Returns
  // what went out: a number that cannot be dialled is a refused message.
  SendResult SendSingleSmS(practice::TLineRec rec, const std::vector<std::string>& testoLinee);

  // Sends all of `listSmsCell` as one uploaded batch (large-batch layout when
  // `bool_futurland`). Checks credit and alias first, unless in test mode; a
  // batch the gateway refuses ("KO ") is logged, not raised. In test mode the
  // batch is saved as "<idCliente>.txt" in the home folder and logged.
  // Returns what went out: the messages of an accepted upload; lines left out
  // for their number, a batch dropped for its alias or refused by the
  // gateway are refused messages.
  SendResult MultiSendSms(const std::vector<std::string>& listSmsCell,
                    const std::vector<std::string>& testoLinee, bool bool_futurland);

  // Uploads the batch text of the file `fname` (Windows-1252 or UTF-8) as
  // MultiSendSms does, with no credit announced; changes no counter. Raises
  // ChannelError when the file cannot be read.
  void MultiSendFile(const std::filesystem::path& fname, bool bool_futurland);

  // The gateway's verdict on the alias `testata` (`TESTATA` when empty):
  // 1 = verified, 10 = empty reply, else the gateway's "codice". With
  // `shomsg` its "response_message" is shown to the operator.
  int verificaalias(const std::string& testata, bool shomsg);

  // Lower both counters by one (only once the gateway has named the
  // customer), or both by `count`.
  void ScalaSmsSingolo();
  void ScalaSms(int32_t count);

  // The operator's dialogs (`ChiediConferma`, `MostraMessaggio`).
  platform::DialogResult ChiediConferma(const std::string& text, platform::DialogKind kind,
                                        platform::DialogButtons buttons,
                                        platform::DialogResult unattended);
  void MostraMessaggio(const std::string& text);

 private:
  // One account check (steps 2 to 4): sets the counters or raises.
  void CheckAccountOnce(const SmsAccount& account);
  // The upload of a batch text; returns the reply's "outvalue".
  // Reads `batch_text` in place: the large form's request holds it in
  // base64, and a second copy of a large batch would only raise the peak.
  std::string UploadBatch(const std::string& batch_text, int32_t smsinv, bool bool_futurland);
  // Credit and alias checks before a batch; false when the batch is dropped.
  bool BatchMayGo(std::size_t lines);
  void SaveTestBatch(const std::string& batch_text);

  SmsHost& host_;
  MessageComposer& composer_;
  platform::OperatorPrompt& operator_;
  net::HttpClient& http_;
  platform::ActivityLog& log_;
  SmsGatewayConfig config_;
  Sleeper sleep_;
};

}  // namespace oxsms::channels
