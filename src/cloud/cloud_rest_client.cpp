#include "cloud/cloud_rest_client.h"

#include <algorithm>
#include <cctype>

#include "cloud/cloud_error.h"
#include "net/maker_rest.h"
#include "platform/base64.h"

namespace oxsms::cloud {
namespace {

using nlohmann::json;

constexpr const char* kSecurityPath = "account_cloud/verifica_protezioni_abilitate.json";
constexpr const char* kProvaNube = "prova_nube";
constexpr int kCodeClipboard = 0;
constexpr int kCodeDone = 1;
constexpr int kCodeRejected = 17;
constexpr int kCodeRefused = 18;
constexpr int kCodeSetUpSecurity = 21;
constexpr int kCodeVerifySecurity = 41;

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool SecretName(const std::string& name) {
  const std::string lower = Lower(name);
  for (const char* part : {"pwd", "password", "pass", "secret", "token", "key", "user_cloud"}) {
    if (lower.find(part) != std::string::npos) return true;
  }
  return false;
}

// Nesting deeper than this is logged as "[...]": the log needs no more, and
// copying or writing a hostile reply's nesting would recurse through it.
constexpr int kMaxLoggedDepth = 16;

// A copy of `value` for the log: secret members masked, deep nesting cut.
json MaskedCopy(const json& value, int depth) {
  if (!value.is_structured()) return value;
  if (depth >= kMaxLoggedDepth) return "[...]";
  json copy = value.is_object() ? json::object() : json::array();
  for (auto it = value.begin(); it != value.end(); ++it) {
    if (value.is_array()) {
      copy.push_back(MaskedCopy(*it, depth + 1));
    } else if (SecretName(it.key()) && !it->is_structured()) {
      copy[it.key()] = "***";
    } else {
      copy[it.key()] = MaskedCopy(*it, depth + 1);
    }
  }
  return copy;
}

}  // namespace

std::string CloudBaseUrl(const std::string& base_address) {
  std::string url = base_address;
  while (!url.empty() && url.back() == '/') url.pop_back();
  return url.empty() ? url : url + "/";
}

std::string CloudProbeHost(const std::string& base_address) {
  const std::string host = net::HostOf(base_address);
  if (host.empty()) return {};
  const bool bracketed = host.front() == '[';
  const auto colon = host.rfind(':');
  const bool has_port = colon != std::string::npos && (!bracketed || colon > host.find(']'));
  if (has_port) return host;
  return host + (StartsWith(Lower(base_address), "http://") ? ":80" : ":443");
}

std::string MaskedReply(const json& reply) {
  return MaskedCopy(reply, 0).dump(-1, ' ', false, json::error_handler_t::replace);
}

CloudRestClient::CloudRestClient(net::HttpClient& http, CloudSession& session,
                                 CloudPrompts& prompts, CloudCredentialStore& store,
                                 platform::ActivityLog& log, CloudEndpoint endpoint,
                                 ReachabilityProbe probe)
    : http_(http),
      session_(session),
      prompts_(prompts),
      store_(store),
      log_(log),
      endpoint_(std::move(endpoint)),
      probe_(std::move(probe)) {}

bool CloudRestClient::CloudRaggiungibile() {
  if (session_.base_url.empty()) session_.base_url = CloudBaseUrl(endpoint_.base_address);
  const std::string host = CloudProbeHost(endpoint_.base_address);
  if (host.empty()) {
    log_.WriteLog("Servizio cloud non configurato (cloud_url di config.ini vuoto)");
    return false;
  }
  if (probe_(host, endpoint_.probe_timeout)) return true;
  log_.WriteLog("Servizio cloud " + host + " non raggiungibile");
  return false;
}

void CloudRestClient::SalvaCredenzialiCloud() { store_.Save(session_.user, session_.password); }

void CloudRestClient::ChiamataRestCloud(const std::string& path, json& request, bool authenticate,
                                        json& reply, bool hide_remember) {
  Call(path, request, authenticate ? Credentials::kAsk : Credentials::kNone, reply, hide_remember,
       0);
}

PromptContext CloudRestClient::ContextOf(const std::string& path, bool hide_remember) const {
  return {session_.user, path, hide_remember, session_.reading_configuration};
}

bool CloudRestClient::CredentialsUsable() const {
  if (session_.user == kProvaNube) return true;
  return !session_.user.empty() && !session_.password.empty() && session_.remember;
}

bool CloudRestClient::AskCredentials(const std::string& path, bool hide_remember,
                                     bool& call_remember) {
  const auto login = prompts_.AskCredentials(ContextOf(path, hide_remember));
  if (!login || login->user.empty() || login->password.empty()) return false;
  session_.user = login->user;
  session_.password = login->password;
  // The desktop's main window would take the remember choice for this call;
  // without a desktop the confirmed account goes to config.ini at once.
  call_remember = false;
  SalvaCredenzialiCloud();
  return true;
}

void CloudRestClient::AddCredentials(json& request) const {
  request["user_cloud_b64"] = platform::EncodeBase64Mime(session_.user);
  request["pwd_cloud_b64"] = platform::EncodeBase64Mime(session_.password);
}

std::string CloudRestClient::UrlOf(const std::string& path) const {
  return StartsWith(path, "http") ? path : session_.base_url + path;
}

json CloudRestClient::Post(const std::string& url, const json& request) {
  net::HttpRequest rq;
  rq.method = "POST";
  rq.url = url;
  // The key travels alone: a line end after it would end the headers early.
  rq.headers = {{"Authorization", endpoint_.api_key}, {"Content-Type", "application/json"}};
  rq.body = request.dump(-1, ' ', false, json::error_handler_t::replace);
  rq.stall_timeout = endpoint_.stall_timeout;
  const net::HttpResponse response = http_.Send(rq);
  if (response.body.empty()) throw CloudError("errore del server Cloud");
  json parsed = json::parse(response.body, nullptr, /*allow_exceptions=*/false);
  if (parsed.is_discarded()) {
    throw CloudError("Risposta non leggibile del servizio cloud (HTTP " +
                     std::to_string(response.status) + ")");
  }
  return parsed;
}

void CloudRestClient::Call(const std::string& path, json& request, Credentials credentials,
                           json& reply, bool hide_remember, int depth) {
  if (!CloudRaggiungibile()) return;
  bool call_remember = false;
  if (credentials != Credentials::kNone) {
    if (session_.attempts_exhausted) {
      log_.WriteLog("Servizio cloud: tentativi di accesso terminati, chiamata " + path +
                    " non eseguita fino al riavvio del servizio");
      return;
    }
    if (credentials == Credentials::kAsk && !CredentialsUsable() &&
        !AskCredentials(path, hide_remember, call_remember)) {
      return;
    }
    AddCredentials(request);
  }
  if (!session_.administrator) request["identifier"] = session_.identifier;
  reply = Post(UrlOf(path), request);
  if (!reply.is_object()) return;
  const auto codice = net::Codice(reply);
  if (!codice) return;
  if (*codice == kCodeClipboard) {
    log_.WriteLog("Servizio cloud (" + path + "): " + MaskedReply(reply));
  } else if (*codice == kCodeRejected) {
    Rejected(path, request, reply, depth);
  } else if (*codice == kCodeVerifySecurity || *codice == kCodeSetUpSecurity) {
    Security(*codice, path, request, reply, depth);
  } else if (*codice > 10) {
    log_.WriteLog("Servizio cloud (" + path + "), codice " + std::to_string(*codice) + ": " +
                  net::StringMember(reply, "response_message") + " " + MaskedReply(reply));
    if (*codice == kCodeRefused) reply = json();
  } else if (call_remember && *codice == kCodeDone) {
    session_.remember = true;
  }
}

void CloudRestClient::Rejected(const std::string& path, json& request, json& reply, int depth) {
  const std::string message = net::StringMember(reply, "response_message");
  if (session_.failures >= kMaxRejections) {
    session_.attempts_exhausted = true;
    log_.WriteLog("Credenziali cloud rifiutate (" + message +
                  "): Tentativi di accesso terminati. Il servizio cloud non viene più chiamato "
                  "fino al riavvio del servizio");
    reply = json();
    return;
  }
  ++session_.failures;
  log_.WriteLog("Credenziali cloud rifiutate (" + path + ", tentativo " +
                std::to_string(session_.failures) + "): " + message +
                " Effettua nuovamente il login");
  bool call_remember = false;
  if (depth >= kMaxRetries || !AskCredentials(path, false, call_remember)) {
    reply = json();
    return;
  }
  reply = json();
  Call(path, request, Credentials::kConfirmed, reply, false, depth + 1);
  if (net::Codice(reply) == kCodeDone) {
    SalvaCredenzialiCloud();
    log_.WriteLog(
        "Nuove credenziali cloud accettate: i programmi dello studio vanno riavviati "
        "con le nuove credenziali");
  }
}

std::string CloudRestClient::Protections() {
  // What protections the account has, for the log; a failure to ask is no
  // reason to fail the call that needed the verification.
  try {
    json request = json::object();
    AddCredentials(request);
    if (!session_.administrator) request["identifier"] = session_.identifier;
    const json answer = Post(UrlOf(kSecurityPath), request);
    const auto dati = answer.is_object() ? answer.find("dati") : answer.end();
    return dati != answer.end() ? MaskedReply(*dati) : std::string();
  } catch (const platform::Error& e) {  // the transport, an empty reply
    return std::string("non lette (") + e.what() + ")";
  }
}

void CloudRestClient::Security(int codice, const std::string& path, json& request, json& reply,
                               int depth) {
  log_.WriteLog("Servizio cloud (" + path + "), codice " + std::to_string(codice) + ": " +
                net::StringMember(reply, "response_message"));
  const PromptContext context = ContextOf(path, false);
  const bool done = codice == kCodeVerifySecurity ? prompts_.VerifySecurity(context, Protections())
                                                  : prompts_.SetUpSecurity(context);
  if (!done || depth >= kMaxRetries) {
    log_.WriteLog("Sicurezza CLOUD non definita. Il CLOUD viene disabilitato");
    return;
  }
  AddCredentials(request);
  Call(path, request, Credentials::kNone, reply, false, depth + 1);
}

}  // namespace oxsms::cloud
