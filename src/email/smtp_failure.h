// What a failed SMTP delivery tells the operator, and whether a later try
// may succeed. Pure: the transfer hands in libcurl's result, the server's
// last reply code and curl's detail text.
#pragma once

#include <curl/curl.h>

#include <string>

namespace oxsms::email {

struct SmtpFailure {
  std::string message;  // Italian, names the server; never a password
  bool transient = false;
  bool message_only = false;  // a 5xx refusal of this message, not of the account
};

// `server` is "host:port"; `reply_code` the server's last SMTP reply (0 when
// none came). No connection, a time-out, a broken line and a 4xx reply are
// transient; a refused login, an untrusted certificate, a server without
// STARTTLS and a 5xx reply (a recipient or the sender refused) are not.
SmtpFailure DescribeSmtpFailure(CURLcode code, long reply_code, const std::string& detail,
                                const std::string& server);

}  // namespace oxsms::email
