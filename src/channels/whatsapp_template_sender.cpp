#include "channels/whatsapp_template_sender.h"

#include <exception>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "channels/channel_error.h"
#include "channels/credit_check.h"
#include "channels/sms_text.h"

namespace oxsms::channels {
namespace {

constexpr const char* kSameAppointment = "same";
constexpr const char* kDefaultDescrPag = "Pagamento prestazione";
constexpr const char* kNoReply = "Errore del server durante l'invio";
constexpr const char* kRecipientRefused = "Numero rifiutato dal servizio, WhatsApp non inviato: ";
constexpr const char* kRefusedShown =
    "errore d'invio, la chiamata e la risposta sono state copiate negli appunti";

bool Contains(const std::string& text, const char* what) {
  return text.find(what) != std::string::npos;
}

// The person fields come from the line alone, so nothing of one patient (a
// date, a weekday) reaches the message of the next; the link fields stay for
// "same" lines.
void TakePersonFields(practice::TLineRec& rec, practice::TLineRec parsed) {
  rec.Cognome = std::move(parsed.Cognome);
  rec.Nome = std::move(parsed.Nome);
  rec.Paese = std::move(parsed.Paese);
  rec.Cellulare = std::move(parsed.Cellulare);
  rec.Data = std::move(parsed.Data);
  rec.Ora = std::move(parsed.Ora);
}

// The wire form of the maker's JSON services: compact, every non-ASCII
// character escaped.
std::string WireText(const TemplateObject& value) {
  return value.dump(-1, ' ', true, nlohmann::json::error_handler_t::replace);
}

// The request as a tree again, for the rare paths that show it.
TemplateObject WithRecipients(TemplateObject head, const std::string& variabili) {
  head["variabili"] = TemplateObject::parse("[" + variabili + "]");
  return head;
}

std::string Readable(const nlohmann::json& value) {
  return value.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}
std::string Readable(const TemplateObject& value) {
  return value.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

// What a recipient's message says, for the run's lines: the template and
// the values it is filled with (the number is the line's recipient).
std::string TemplateText(const WhatsAppSettings& settings, const TemplateObject& recipient) {
  TemplateObject values = recipient;
  values.erase("destinatario");
  return settings.TemplaTeInvioWhts + " " +
         values.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string RefusalMessage(const nlohmann::json& reply) {
  for (const char* member : {"message", "response_message"}) {
    const auto it = reply.find(member);
    if (it != reply.end() && it->is_string()) return it->get<std::string>();
  }
  return {};
}

// Where one recipient object lies in the request text, and whom it is for.
struct PlacedRecipient {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::string destinatario;
  std::string who;  // "Cognome Nome (number as stored)", for the log
  std::size_t line = 0;  // its number in the run's lines
};

// The recipient that a refusal "Destinatario non valido: <number>" names.
std::optional<std::size_t> NamedRecipient(const std::string& refusal,
                                          const std::vector<PlacedRecipient>& placed) {
  static constexpr std::string_view kInvalid = "Destinatario non valido: ";
  if (!refusal.starts_with(kInvalid)) return std::nullopt;
  const std::string_view number = std::string_view(refusal).substr(kInvalid.size());
  for (std::size_t k = 0; k < placed.size(); ++k) {
    if (placed[k].destinatario == number) return k;
  }
  return std::nullopt;
}

// Cuts recipient k, with the comma that separates it, out of the request
// text whose recipients start at `first`.
void RemoveRecipient(std::string& body, std::size_t first, std::vector<PlacedRecipient>& placed,
                     std::size_t k) {
  std::size_t begin = placed[k].begin;
  std::size_t end = placed[k].end;
  if (begin > first) {
    --begin;  // the comma before
  } else if (end < body.size() && body[end] == ',') {
    ++end;  // the first recipient: the comma after
  }
  body.erase(begin, end - begin);
  placed.erase(placed.begin() + static_cast<std::ptrdiff_t>(k));
  for (std::size_t i = k; i < placed.size(); ++i) {
    placed[i].begin -= end - begin;
    placed[i].end -= end - begin;
  }
}

bool Accepted(const nlohmann::json& reply) { return net::Codice(reply) == 1; }

}  // namespace

WhatsAppTemplateClient::WhatsAppTemplateClient(SmsHost& sms, WhatsAppHost& host,
                                               MessageComposer& composer, LinkSource links,
                                               platform::OperatorPrompt& operator_prompt,
                                               net::HttpClient& http, platform::ActivityLog& log,
                                               net::MakerService service)
    : sms_(sms),
      host_(host),
      composer_(composer),
      links_(std::move(links)),
      operator_(operator_prompt),
      http_(http),
      log_(log),
      service_(std::move(service)) {}

SendResult WhatsAppTemplateClient::MultiSendWhtsB(const std::vector<std::string>& listSmsCell) {
  const std::size_t lines = listSmsCell.size();
  const bool test = sms_.TestMode();
  if (!test) RequireBatchCredit(sms_.Counters(), lines, log_);

  WhatsAppSettings settings = host_.Settings();
  if (settings.descr_pag_predef.empty()) {
    settings.descr_pag_predef = kDefaultDescrPag;
    host_.SetDescrPagPredef(settings.descr_pag_predef);
  }
  const TemplateObject head = RequestHead(settings, lines);

  // Each recipient object goes into the request text as soon as it is made:
  // a tree of one object per recipient, or a list of recipients copied into
  // the request afterwards, would take several times the memory of the text
  // for a large batch.
  std::string body = BatchRequestHead(head);
  const std::size_t first = body.size();
  practice::TLineRec rec;  // one record for the batch: "same" lines keep the link before
  SendResult result;
  std::vector<PlacedRecipient> placed;
  LinkServices* batch_links = test ? nullptr : links_();
  if (batch_links != nullptr) batch_links->InizioInvio();
  for (std::size_t i = 0; i < lines; ++i) {
    if (auto recipient = Recipient(i, listSmsCell[i], settings, rec, result)) {
      if (body.size() != first) body += ',';
      const std::size_t begin = body.size();
      body += WireText(*recipient);
      std::string who = rec.Cognome + " " + rec.Nome + " (" + rec.Paese + rec.Cellulare + ")";
      const std::size_t line = sms_.Lines().Composed(LineChannel::kWhatsApp, PersonLabel(rec),
                                                     TemplateText(settings, *recipient));
      placed.push_back({begin, body.size(), (*recipient)["destinatario"].get<std::string>(),
                        std::move(who), line});
    }
  }
  if (placed.empty()) return result;
  const auto variabili = [&body, first] { return body.substr(first); };

  if (test) {
    log_.WriteLog("Test WhatsApp Diretto\r\n" + Readable(WithRecipients(head, variabili())));
    result.accepted += static_cast<int>(placed.size());
    return result;
  }

  sms_.DeliveryStarting(DeliveryChannel::kWhatsApp);
  std::optional<nlohmann::json> reply = PostBatch(body);
  if (!reply) throw GatewayReplyError(kNoReply);
  if (!Accepted(*reply)) {
    // A refusal naming one recipient costs that recipient only: the request
    // goes again, once, without it.
    if (const auto named = NamedRecipient(RefusalMessage(*reply), placed)) {
      log_.WriteLog("Errore di invio template " + RefusalMessage(*reply));
      const std::string message = kRecipientRefused + SingleLine(placed[*named].who);
      log_.WriteLog(message);
      sms_.Lines().Ended(placed[*named].line, LineOutcome::kRefused,
                         "Errore di invio template " + RefusalMessage(*reply));
      result.Fail(1, SendFailure::kRefused, message);
      RemoveRecipient(body, first, placed, *named);
      if (placed.empty()) return result;
      reply = PostBatch(body);
      if (!reply) throw GatewayReplyError(kNoReply);
    }
  }
  const int recipients = static_cast<int>(placed.size());
  if (!Accepted(*reply)) {
    sms_.Lines().PendingEnded(LineOutcome::kRefused,
                              "Errore di invio template " + RefusalMessage(*reply));
    // Raises in the service; shown to the operator otherwise.
    Refused(WithRecipients(head, variabili()), *reply, settings);
    result.Fail(recipients, SendFailure::kRefused, "Errore di invio template");
    return result;
  }
  SmsCounters counters = sms_.Counters();
  counters.smsDisp -= static_cast<int32_t>(lines);
  counters.smsInviabili -= static_cast<int32_t>(lines);
  sms_.SetCounters(counters);
  if (batch_links != nullptr) batch_links->InvioAccettato();
  log_.WriteLog("Invio Whatsapp Diretto");
  log_.WriteLog(JoinLines(listSmsCell));
  result.accepted += recipients;
  return result;
}


TemplateObject WhatsAppTemplateClient::RequestHead(const WhatsAppSettings& settings,
                                                   std::size_t lines) const {
  TemplateObject request = TemplateObject::object();
  request["sigla_template"] = settings.TemplaTeInvioWhts;
  request["mittente"] = settings.CellWhts;
  request["count_msg"] = lines;
  request["bool_conferma_invio"] = ConfermaInvio(settings.AsService, lines);
  request["variabili_globali"] = VariabiliGlobali(settings);
  return request;
}

std::optional<TemplateObject> WhatsAppTemplateClient::Recipient(std::size_t i,
                                                                const std::string& line,
                                                                const WhatsAppSettings& settings,
                                                                practice::TLineRec& rec,
                                                                SendResult& result) {
  practice::RecipientLists& lists = sms_.Batch();
  practice::TPazRec paz =
      i < lists.listCellIncassi.size() ? lists.listCellIncassi[i] : practice::TPazRec{};
  if (EscludiPerPagamento(settings, sms_.SkipZeroFees(), paz)) {
    sms_.Lines().LeftOut(LineChannel::kWhatsApp, PersonLabel(composer_.ParseLineRec(line)),
                         "nulla da incassare");
    return std::nullopt;
  }

  TakePersonFields(rec, composer_.ParseLineRec(line));
  // A line without a number would make the service refuse the whole batch.
  if (rec.Cellulare.find('@') != std::string::npos) return std::nullopt;
  const std::string destinatario = WireNumber(rec.Paese, rec.Cellulare);
  if (rec.Cellulare.empty() || !IsDialable(destinatario)) {
    const std::string person =
        SingleLine(rec.Cognome + " " + rec.Nome + " (" + rec.Paese + rec.Cellulare + ")");
    const std::string message = "Numero non valido, WhatsApp non inviato: " + person;
    log_.WriteLog(message);
    sms_.Lines().LeftOut(LineChannel::kWhatsApp, PersonLabel(rec), kUndialableReason);
    result.Fail(1, SendFailure::kRefused, message);
    return std::nullopt;
  }
  rec.id_agenda = i < lists.list_id_agenda.size() ? lists.list_id_agenda[i] : std::string();
  if (rec.id_agenda != kSameAppointment) {
    rec.id_web.clear();
    rec.link_conferma.clear();
  }

  TemplateObject recipient = TemplateObject::object();
  recipient["destinatario"] = destinatario;
  if (!rec.Cognome.empty()) recipient["cognome"] = rec.Cognome;
  if (!rec.Nome.empty()) recipient["nome"] = rec.Nome;
  if (!rec.Data.empty()) {
    recipient["data"] = rec.Data;
    recipient["giorno"] = GiornoDellaSettimana(rec.Data);
  }
  if (!rec.Ora.empty()) recipient["ora"] = rec.Ora;

  const PaymentWords words = PaymentFields(i, settings, rec, paz, recipient);
  // A payment message without its link tells the patient nothing: it waits
  // for the next attempt.
  if (words.missing) {
    const std::string message =
        "Link di pagamento non ottenuto, WhatsApp non inviato: " + SingleLine(rec.Cognome + " " + rec.Nome);
    log_.WriteLog(message);
    sms_.Lines().Ended(sms_.Lines().Composed(LineChannel::kWhatsApp, PersonLabel(rec), ""),
                       LineOutcome::kError, kNoPaymentLink);
    result.Fail(1, SendFailure::kTransient, message);
    result.held_back.push_back(i);
    return std::nullopt;
  }
  ConfirmationLink(i, settings, rec, recipient);
  recipient["testo_libero"] = FreeText(settings, words, rec, paz);
  return recipient;
}

WhatsAppTemplateClient::PaymentWords WhatsAppTemplateClient::PaymentFields(
    std::size_t i, const WhatsAppSettings& settings, practice::TLineRec& rec,
    practice::TPazRec& paz, TemplateObject& recipient) {
  PaymentWords words;
  if (!ChiedePagamento(settings)) return words;
  if (Contains(settings.variabiliInvioWhts, "link_pagamento")) recipient["link_pagamento"] = "";
  if (Contains(settings.variabiliInvioWhts, "descrizione_pag")) recipient["descrizione_pag"] = "";
  try {
    if (!settings.link_pag_predef.empty()) {
      words.link = settings.link_pag_predef;
      words.descrizione = settings.descr_pag_predef;
      recipient["link_pagamento"] = words.link;
      recipient["descrizione_pag"] = words.descrizione;
    } else if (paz.incasso != 0 && settings.isLinkPag == kLinkPagInUse) {
      LinkServices* links = links_();
      if (!sms_.TestMode() && rec.id_agenda != kSameAppointment && links != nullptr) {
        links->OttieniLinkPag(rec, paz);
        practice::RecipientLists& lists = sms_.Batch();
        if (i < lists.listCellIncassi.size()) lists.listCellIncassi[i] = paz;
        if (!paz.id_linkpag.empty()) links->SalvaLinkPag(rec, paz);
        words.missing = paz.link_pag.empty();
      }
      words.link = paz.link_pag;
      words.descrizione = settings.descr_pag_predef;
      recipient["link_pagamento"] = words.link;
      recipient["descrizione_pag"] = words.descrizione;
    }
    words.chosen = true;
  } catch (const platform::Error&) {
    // The link services log what they could not do.
    words.missing = true;
  }
  return words;
}

void WhatsAppTemplateClient::ConfirmationLink(std::size_t i, const WhatsAppSettings& settings,
                                              practice::TLineRec& rec,
                                              TemplateObject& recipient) {
  if (rec.Data.empty() || rec.Ora.empty() || settings.linkConfermaInvioWhts != kLinkConfermaOn ||
      i >= sms_.Batch().list_id_agenda.size()) {
    return;
  }
  if (sms_.TestMode()) {
    // Nothing goes out in test mode, so no link is made for it (nor written
    // to the agenda): its place is marked, as in an SMS text.
    recipient["link_breve"] = "<link_breve>";
    return;
  }
  LinkServices* links = links_();
  if (links == nullptr) return;
  // The template names "link_breve": without a link it goes empty rather
  // than missing, and the log says so once for the line.
  recipient["link_breve"] = "";
  try {
    links->OttieniLink(rec);
    recipient["link_breve"] = rec.id_web;
    if (!rec.id_web.empty() && rec.id_agenda != kSameAppointment) links->SalvaLinkBreve(rec);
  } catch (const platform::Error& e) {
    log_.WriteLog("Errore OttieniLink Conferma");
    log_.WriteLog(e.what());
    return;
  }
  if (rec.id_web.empty()) {
    log_.WriteLog("Link di conferma non ottenuto, WhatsApp senza link: " + rec.Cognome + " " +
                  rec.Nome);
  }
}

std::string WhatsAppTemplateClient::FreeText(const WhatsAppSettings& settings,
                                             const PaymentWords& words, practice::TLineRec& rec,
                                             const practice::TPazRec& paz) {
  const std::string text =
      words.chosen
          ? SostituisciParolePagamento(settings.TestoLiberoInvioWhts, words.link, words.descrizione)
          : settings.TestoLiberoInvioWhts;
  if (text.empty()) return {};
  // The payment record is composed on a copy (the batch list already holds
  // what PaymentFields obtained); the line record keeps a link fetched here, so a
  // "same" line after it reuses that link.
  practice::TPazRec paz_copy = paz;
  return Base64OneLine(composer_.ComponiTesto({text}, rec, paz_copy));
}

void WhatsAppTemplateClient::Refused(const TemplateObject& request, const nlohmann::json& reply,
                                     const WhatsAppSettings& settings) {
  if (settings.IsVisual != 1) {
    throw ChannelError("Errore di invio template " + RefusalMessage(reply));
  }
  TemplateObject shown = request;
  shown["user"] = sms_.GatewayAccount().User;
  shown["pwd"] = "********";
  host_.CopiaNegliAppunti("chiamata\r\n" + Readable(shown) + "\r\r\nRiposta\r\n" + Readable(reply));
  operator_.MostraMessaggio(kRefusedShown);
}

std::optional<nlohmann::json> WhatsAppTemplateClient::InviaTemplate(const TemplateObject& obj) {
  TemplateObject body = obj;
  const SmsAccount account = sms_.GatewayAccount();
  body["user"] = account.User;
  body["pwd"] = account.Pwd;
  net::MakerReply reply = Post(kInviaTemplatePath, body);
  if (reply.empty()) return std::nullopt;
  return std::move(*reply.object);
}

std::string WhatsAppTemplateClient::BatchRequestHead(const TemplateObject& head) {
  std::string text = WireText(head);
  text.pop_back();  // the closing brace; the head is never empty
  return text.append(",\"variabili\":[");
}

std::optional<nlohmann::json> WhatsAppTemplateClient::PostBatch(std::string& body) {
  // Closed as InviaTemplate would write the head with "variabili" and the
  // account added: the members in that order, compact, ASCII. The request is
  // sent from `body` itself, which gets back only its recipients.
  struct KeepRecipients {
    std::string& body;
    std::size_t end;
    ~KeepRecipients() { body.resize(end); }
  } keep{body, body.size()};
  const SmsAccount account = sms_.GatewayAccount();
  body.append("],\"user\":").append(WireText(TemplateObject(account.User)));
  body.append(",\"pwd\":").append(WireText(TemplateObject(account.Pwd))).append("}");
  net::MakerReply reply = PostInPlace(kInviaTemplatePath, body);
  if (reply.empty()) return std::nullopt;
  return std::move(*reply.object);
}

nlohmann::json WhatsAppTemplateClient::ListaTemplate() {
  TemplateObject body = TemplateObject::object();
  const SmsAccount account = sms_.GatewayAccount();
  body["user"] = account.User;
  body["pwd"] = account.Pwd;
  net::MakerReply reply = Post(kListaTemplatePath, body);
  if (reply.empty()) throw ChannelError("errore del server Cloud");
  if (reply.codice() == 0) host_.CopiaNegliAppunti(reply.text);
  return std::move(*reply.object);
}

net::MakerReply WhatsAppTemplateClient::Post(const char* path, const TemplateObject& body) {
  return PostText(path, WireText(body));
}

net::MakerReply WhatsAppTemplateClient::PostText(const char* path, std::string body) {
  return PostInPlace(path, body);
}

net::MakerReply WhatsAppTemplateClient::PostInPlace(const char* path, std::string& body) {
  // The request keeps its members in the order they were added, so the body
  // is written by the caller rather than from an unordered object.
  net::HttpRequest request = net::MakeMakerRequest(service_, path, nlohmann::json::object());
  request.body.swap(body);
  struct GiveBack {
    std::string& from;
    std::string& to;
    ~GiveBack() { from.swap(to); }
  } give_back{request.body, body};
  const net::HttpResponse response = http_.Send(request);
  net::MakerReply reply = net::ReadMakerReply(response);
  if (reply.text.find_first_not_of(" \t\r\n") == std::string::npos) return net::MakerReply{};
  if (!reply.object) {
    throw GatewayReplyError("Risposta non valida dal servizio WhatsApp (HTTP " +
                            std::to_string(response.status) + ", " + path + ")");
  }
  return reply;
}

}  // namespace oxsms::channels
