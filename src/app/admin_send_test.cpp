#include "app/admin_send_test.h"

#include <nlohmann/json.hpp>

#include "app/admin_email.h"
#include "app/process_context.h"
#include "app/service_parts.h"
#include "dispatch/message_text.h"
#include "dispatch/tdm1.h"
#include "platform/activity_log.h"
#include "platform/clock.h"

namespace oxsms::app {
namespace {

struct Outcome {
  bool accepted = false;
  std::string answer;
};

Outcome SendTestSms(const std::string& number, const std::string& text, const AdminEnv& env) {
  platform::SystemClock clock;
  platform::ActivityLog log(env.home.File("sms.log"), clock);
  ProcessContext context(env.home, log);
  ServiceParts parts(context, log);
  dispatch::TDM1 dm1(context.catalogue, log, clock, *context.registry, parts.Parts());
  log.WriteLog("SMS di prova con oxsms a " + number);
  channels::SmsGateway& gateway = dm1.Channels().Sms();
  gateway.VerificaUtenteSMS(false);  // the counters the send checks
  practice::TLineRec rec;
  dispatch::ParseLineRec(rec, "Prova,OXSMS," + number);
  const channels::SendResult result = gateway.SendSingleSmS(rec, {text});
  if (result.accepted > 0) {
    return {true, "accettato dal gateway (" + std::to_string(dm1.smsDisp) +
                      " SMS disponibili prima dell'invio)"};
  }
  return {false, result.reason.empty() ? "non inviato" : result.reason};
}

}  // namespace

int SendTestCommand(const std::vector<std::string>& args, const AdminEnv& env) {
  std::string text = kTestSmsText;
  std::string target;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--help" || args[i] == "-h") {
      env.out << kSendTestUsage;
      return kAdminOk;
    }
    if (args[i] == "--text") {
      if (i + 1 >= args.size()) throw UsageError("manca il valore di --text");
      text = args[++i];
    } else if (target.empty() && !args[i].empty() && args[i][0] != '-') {
      target = args[i];
    } else {
      throw UsageError("argomento non atteso: " + args[i]);
    }
  }
  if (target.empty()) throw UsageError("manca il numero o l'indirizzo");
  if (target.find('@') != std::string::npos) return EmailCommand({"test", target}, env);

  const Outcome outcome = SendTestSms(target, text, env);
  if (env.json) {
    env.out << nlohmann::ordered_json{{"channel", "sms"},
                                      {"to", target},
                                      {"accepted", outcome.accepted},
                                      {"answer", outcome.answer}}
                   .dump(2)
            << "\n";
  } else {
    env.out << "SMS di prova a " << target << ": " << outcome.answer << "\n";
  }
  return outcome.accepted ? kAdminOk : kAdminFailed;
}

}  // namespace oxsms::app
