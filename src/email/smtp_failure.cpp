#include "email/smtp_failure.h"

namespace oxsms::email {
namespace {

struct Cause {
  const char* text;
  bool transient;
};

Cause CauseOf(CURLcode code) {
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST: return {"Server SMTP non trovato", true};
    case CURLE_COULDNT_CONNECT: return {"Connessione al server SMTP non riuscita", true};
    case CURLE_OPERATION_TIMEDOUT: return {"Tempo di attesa del server SMTP scaduto", true};
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE: return {"Connessione con il server SMTP interrotta", true};
    case CURLE_LOGIN_DENIED: return {"Accesso al server SMTP rifiutato: utente o password non validi", false};
    case CURLE_PEER_FAILED_VERIFICATION:
      return {"Certificato del server SMTP non attendibile", false};
    case CURLE_SSL_CACERT_BADFILE: return {"File dei certificati non leggibile", false};
    case CURLE_USE_SSL_FAILED:
      return {"Il server SMTP non offre la connessione sicura (STARTTLS)", false};
    case CURLE_SSL_CONNECT_ERROR: return {"Connessione sicura con il server SMTP non riuscita", false};
    case CURLE_READ_ERROR: return {"Lettura del messaggio non riuscita", false};
    default: return {"Errore di comunicazione con il server SMTP", true};
  }
}

std::string WithoutLineEnds(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

}  // namespace

SmtpFailure DescribeSmtpFailure(CURLcode code, long reply_code, const std::string& detail,
                                const std::string& server) {
  Cause cause = CauseOf(code);
  bool message_only = false;
  // A refusal the server gave in words decides over the line's state: a
  // reply of 4xx is "try later", 5xx is final. A refused login keeps its own
  // text whatever its reply code.
  if (code != CURLE_LOGIN_DENIED && code != CURLE_USE_SSL_FAILED) {
    if (reply_code >= 400 && reply_code < 500) {
      cause = {"Il server SMTP ha rinviato il messaggio", true};
    } else if (reply_code >= 500 && reply_code < 600) {
      cause = {"Il server SMTP ha rifiutato il messaggio", false};
      // 530 and 535 to 538 refuse the session (authentication), not this
      // message: every other message would be refused the same way.
      message_only = reply_code != 530 && (reply_code < 534 || reply_code > 538);
    }
  }
  std::string message = std::string(cause.text) + " (" + server + ")";
  if (reply_code >= 400) message += " codice " + std::to_string(reply_code);
  const std::string more = WithoutLineEnds(detail.empty() ? curl_easy_strerror(code) : detail);
  if (!more.empty()) message += ": " + more;
  return {message, cause.transient, message_only};
}

}  // namespace oxsms::email
