#include "floor_run.h"

#include <stdexcept>

#include "channels/sms_batch.h"
#include "channels/sms_gateway.h"
#include "channels/sms_wire.h"
#include "channels/whatsapp_host.h"
#include "channels/whatsapp_template_sender.h"
#include "dispatch/channel_adapters.h"
#include "dispatch/message_text.h"
#include "dispatch/settings_document.h"
#include "dispatch/sms_section.h"
#include "fixed_clock.h"
#include "floor_email.h"
#include "floor_links.h"
#include "floor_search.h"
#include "net/curl_http_client.h"
#include "platform/activity_log.h"
#include "platform/base64.h"
#include "platform/ini_file.h"
#include "platform/installation.h"
#include "platform/operator_prompt.h"
#include "process_meter.h"

namespace oxsms::bench {
namespace {

constexpr const char* kStripeAccount = "acct_1Demo1";  // the practice's LINKPAG account

// The fields as the run has them when its reminder batch starts.
void PrepareFields(dispatch::TDM1Fields& f) {
  dispatch::ApplySettingsDocument(dispatch::ParseSettingsDocument(RunSettingsDocument()), f);
  f.AsService = true;
  f.isLinkPag = 1;
  f.smsDisp = f.smsInviabili = static_cast<int32_t>(kCredit);
  f.idCliente = kCustomerId;
  f.CBServizioSMS = true;
  f.CBServizioWhatsapp = true;
}

void UploadBatch(net::HttpClient& http, const std::string& rest_host,
                 const dispatch::TDM1Fields& f, const channels::SmsBatch& batch, bool large) {
  channels::WireObject request;
  request["user"] = f.UserConnect.User;
  request["pwd"] = f.UserConnect.Pwd;
  request["idcliente"] = f.idCliente;
  request["smsinv"] = batch.credits;
  if (large) {
    request["bool_ftp"] = 1;
    request["fattach"] = platform::EncodeBase64Mime(batch.text);
  } else {
    request["fattach"] = batch.text;
  }
  const std::string outvalue = channels::Outvalue(
      http.Send(channels::InvalueRequest(rest_host, channels::kFileSmsPath, request)),
      channels::kFileSmsPath);
  if (outvalue.rfind("OK", 0) != 0) throw std::runtime_error("batch refused: " + outvalue);
}

}  // namespace

ChildResult RunFloor(const PracticeSize& size, const std::filesystem::path& home, int smtp_port) {
  const platform::IniFile ini(home / "config.ini");
  const platform::Installation inst = platform::Installation::Load(ini);
  dispatch::TDM1Fields fields;
  const dispatch::SmsGatewaySettings gateway = dispatch::ReadSmsSection(ini);
  PrepareFields(fields);
  // The reminder send; its own batch lists stay empty, as the run's do once
  // its phone batch is handed over.
  dispatch::SendState reminder = dispatch::ReminderSend(fields, SearchDay());
  const dispatch::ActiveSend::Scope sending(fields.send_in_progress, reminder);
  const PracticePlan plan = PlanOf(size, home);
  FixedClock clock(RunMoment());
  platform::ActivityLog log(home / "floor.log", clock);
  platform::HeadlessOperator headless([&log](std::string_view text) { log.WriteLog(text); });
  const email::EmailSettings email_settings = FloorEmailSettings(smtp_port);

  const StatementCounts before = CurrentStatementCounts();
  Stopwatch watch;

  FloorRecipients found = ReadFloorRecipients(plan, SearchDay());
  practice::RecipientLists& lists = found.lists;
  net::CurlHttpClient http;
  FloorLinks links({{inst.link_url, inst.api_key},
                    {inst.payment_url, inst.api_key},
                    {fields.UserConnect.User, fields.UserConnect.Pwd, fields.ore_disdetta},
                    kStripeAccount},
                   http, found.stored_codes);
  dispatch::FieldsComposer composer(fields, [&links] { return &links; }, log);

  // The phone batch is the whole list: the email lines are apart.
  const std::vector<std::string> lines = lists.listCell;
  channels::SmsBatchOptions options;
  options.bool_futurland = static_cast<long>(lines.size()) >= gateway.ftp_limit;
  options.testata = fields.UserConnect.TESTATA;
  options.header_user = inst.batch_user;
  options.header_password = inst.batch_password;
  const channels::SmsBatch batch = channels::CreaFileSms(
      lines, {dispatch::CrLfToBlank(reminder.TestoInvioSMS)}, options, lists, composer);
  UploadBatch(http, gateway.rest_host, fields, batch, options.bool_futurland);

  channels::NoRunLines no_lines;
  dispatch::FieldsSmsHost sms_host(
      fields, [] { return true; }, no_lines);
  dispatch::FieldsWhatsAppHost whatsapp_host(fields, log);
  channels::WhatsAppTemplateClient whatsapp(sms_host, whatsapp_host, composer,
                                            [&links] { return &links; }, headless, http, log,
                                            {inst.secure_sms_url, inst.api_key});
  whatsapp.MultiSendWhtsB(lines);
  SendFloorEmails(found.email_lines, email_settings);

  watch.Stop();
  return MeasuredResult(watch, before);
}

}  // namespace oxsms::bench
