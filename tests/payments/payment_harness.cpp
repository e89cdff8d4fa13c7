#include "payment_harness.h"

#include <sstream>
#include <utility>

namespace oxsms::payments::testing {

void ScriptedHttp::Reply(std::string body, long status) {
  replies_.push_back([body = std::move(body), status] {
    return net::HttpResponse{status, body, "application/json"};
  });
}

void ScriptedHttp::Fail(std::string message) {
  replies_.push_back([message = std::move(message)]() -> net::HttpResponse { throw net::HttpError(message); });
}

net::HttpResponse ScriptedHttp::Send(const net::HttpRequest& request) {
  requests.push_back(request);
  if (replies_.empty()) throw net::HttpError("Connessione rifiutata: " + request.url);
  auto reply = std::move(replies_.front());
  replies_.pop_front();
  return reply();
}

nlohmann::ordered_json ScriptedHttp::Body(std::size_t i) const {
  return nlohmann::ordered_json::parse(requests.at(i).body);
}

std::optional<ConfirmedPayment> ScriptedConfirmer::ConfermaDatiPagamento(
    const PaymentDraft& draft, const std::vector<PaymentAccount>&, std::size_t current) {
  drafts.push_back(draft);
  presets.push_back(current);
  if (cancel) return std::nullopt;
  return ConfirmedPayment{draft.nome, draft.descrizione, draft.importo, choose.value_or(current)};
}

PaymentHarness::PaymentHarness()
    : log_(dir_ / "sms.log", clock_),
      operator_([this](std::string_view line) { log_.WriteLog(line); }),
      unattended_(log_) {}

PaymentService PaymentHarness::Service(net::HttpClient& http, PaymentConfirmer* confirmer,
                                       const std::string& base_url) {
  return PaymentService{net::MakerService{base_url, kApiKey}, http, log_, operator_,
                        confirmer != nullptr ? *confirmer : unattended_};
}

TDMS PaymentHarness::Dms(net::HttpClient& http, PaymentConfirmer* confirmer) {
  TDMS dms(Service(http, confirmer));
  dms.usr = "studio.rossi";
  dms.pwd = "s3greta!";
  return dms;
}

std::vector<std::string> PaymentHarness::LogTexts() const {
  std::vector<std::string> texts;
  std::istringstream in(LogText());
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // "dd/mm/yyyy hh:mm:ss text"
    const auto first = line.find(' ');
    const auto second = first == std::string::npos ? first : line.find(' ', first + 1);
    texts.push_back(second == std::string::npos ? line : line.substr(second + 1));
  }
  return texts;
}

std::size_t PaymentHarness::LogCount(const std::string& part) const {
  std::size_t n = 0;
  for (const auto& text : LogTexts()) n += text.find(part) != std::string::npos;
  return n;
}

PaymentAccount Account(long long id, const std::string& stripe, const std::string& intestazione) {
  return PaymentAccount{id, stripe, "Account " + std::to_string(id), intestazione};
}

}  // namespace oxsms::payments::testing
