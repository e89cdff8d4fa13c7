#include "net/curl_error_text.h"

#include <string>

#include "net/header_rules.h"

namespace oxsms::net {
namespace {

const char* Summary(CURLcode code) {
  switch (code) {
    case CURLE_UNSUPPORTED_PROTOCOL: return "Protocollo non supportato";
    case CURLE_URL_MALFORMAT: return "Indirizzo non valido";
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST: return "Server non trovato";
    case CURLE_COULDNT_CONNECT: return "Connessione al server non riuscita";
    case CURLE_OPERATION_TIMEDOUT: return "Tempo di attesa scaduto";
    case CURLE_PEER_FAILED_VERIFICATION: return "Certificato del server non verificato";
    case CURLE_SSL_CACERT_BADFILE: return "File dei certificati non leggibile";
    case CURLE_SSL_CONNECT_ERROR: return "Connessione sicura non riuscita";
    case CURLE_TOO_MANY_REDIRECTS: return "Troppi reindirizzamenti";
    case CURLE_GOT_NOTHING: return "Il server non ha risposto";
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR: return "Connessione interrotta";
    default: return "Errore di comunicazione";
  }
}

// The "user:password" part of an absolute URL, or "" when it has none.
std::string UserInfo(const std::string& url) {
  auto start = url.find("://");
  if (start == std::string::npos) return {};
  start += 3;
  auto end = url.find_first_of("/?#", start);
  auto at = url.rfind('@', end == std::string::npos ? std::string::npos : end);
  if (at == std::string::npos || at < start) return {};
  return url.substr(start, at - start);
}

}  // namespace

std::string DescribeCurlFailure(CURLcode code, const std::string& detail, const std::string& url) {
  std::string text = detail.empty() ? curl_easy_strerror(code) : detail;
  std::string secret = UserInfo(url);
  if (!secret.empty()) {
    for (auto pos = text.find(secret); pos != std::string::npos; pos = text.find(secret, pos)) {
      text.replace(pos, secret.size(), "***");
    }
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return std::string(Summary(code)) + " (" + RedactUrl(url) + "): " + text;
}

}  // namespace oxsms::net
