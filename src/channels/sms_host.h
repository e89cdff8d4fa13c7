// What the SMS gateway client reads and writes of the send-orchestration
// object (`TDM1`). The channels sit below the send orchestration, so the
// client sees that object only through this interface; the orchestration
// implements it over its own fields (tests use a fake).
//
// Values are read at the moment a step needs them, so a settings reload in
// the middle of an operation (`ReadConnect`) is seen by the steps after it.
// Only the service thread calls.
#pragma once

#include <cstdint>
#include <string>

#include "channels/run_lines.h"
#include "practice/recipient_records.h"

namespace oxsms::channels {

// `smsDisp`, `smsInviabili` and `idCliente`: the credit as last reported by
// the gateway and lowered locally after each send.
struct SmsCounters {
  int32_t smsDisp = 0;       // SMS credit at the gateway
  int32_t smsInviabili = 0;  // SMS that may still be sent
  int32_t idCliente = 0;     // the practice's customer number; 0 until known
};

// The channel whose delivering request is about to go out.
enum class DeliveryChannel { kSms, kWhatsApp };

// The gateway account of `UserConnect`.
struct SmsAccount {
  std::string User;
  std::string Pwd;      // a secret: never logged
  std::string TESTATA;  // sender alias shown to the recipient
  int16_t TipoSms = 0;  // 0 normal SMS, any other value flash SMS
};

class SmsHost {
 public:
  virtual ~SmsHost() = default;

  virtual SmsCounters Counters() const = 0;
  virtual void SetCounters(const SmsCounters& counters) = 0;

  // `UserConnect`: `User`, `Pwd`, `TESTATA`, `TipoSms`.
  virtual SmsAccount GatewayAccount() const = 0;

  // `CBTest`: nothing is sent, what would be sent is logged.
  virtual bool TestMode() const = 0;

  // `eliminaIncassiNulli`: leave out recipients with nothing to collect or
  // with a payment link already.
  virtual bool SkipZeroFees() const = 0;

  // `listCell`, `list_id_agenda`, `listCellIncassi`: the batch lists, kept at
  // the same index. The client reads the agenda references and writes back
  // the payment records that composing a message changed.
  virtual practice::RecipientLists& Batch() = 0;

  // `ReadConnect`: reloads the settings from the configuration database.
  // Returns false when the settings could not be reloaded for a reason the
  // host has already logged; raises on a database error.
  virtual bool ReadConnect() = 0;

  // Called right before the request that delivers messages (an SMS, a batch
  // upload, a WhatsApp template request) goes out, never in test mode: from
  // here until the sender returns, the messages may have gone. The run
  // journal records it so that a crash in between is not followed by a
  // second delivery. Must not raise for an ordinary reason.
  virtual void DeliveryStarting(DeliveryChannel /*channel*/) {}

  // Where the senders tell each line they composed or left out and what
  // became of it. By default nothing is kept.
  virtual RunLines& Lines() { return no_lines_; }

 private:
  NoRunLines no_lines_;
};

}  // namespace oxsms::channels
