// Values that belong to one installation rather than to the program: read from
// section "Installazione" of config.ini, each with one documented default
// (see README.md, "config.ini").
#pragma once

#include <string>

#include "platform/ini_file.h"

namespace oxsms::platform {

struct Installation {
  // Password of the suite's Firebird databases where no other is given.
  std::string default_db_password = "qentoravi";
  // Plain text of the key with which MySQL patient databases encrypt the
  // surname and email columns.
  std::string column_key = "OdontixAnagrafica2016";
  // A file of trusted CA certificates for HTTPS; empty = the system's bundle.
  std::string ca_file;
  // The maker's API key for its REST services ("Authorization" header). A
  // secret: it never reaches the log.
  std::string api_key = "QKvaTm0wR7pLs2NdY9eUa4Zc6HbJi-3GfWoXn8E";
  // The account named in the header lines of an uploaded SMS batch file; the
  // password is a secret and never reaches the log.
  std::string batch_user = "velk_software";
  std::string batch_password = "f4b2d8c61";
  // Base addresses (scheme, host, optional port) of the maker's JSON REST
  // services. Addresses given to patients are "https://" + the host part.
  std::string payment_url = "https://pagamenti.velksoftware.it";   // payments, "/s/" links
  std::string link_url = "https://link.velksoftware.it";           // confirmation links, "/c/"
  std::string secure_sms_url = "https://sms.velksoftware.it";      // WhatsApp templates
  // The maker's REST email service: the base address, the "host[:port]"
  // whose answer makes it usable, and the address used when it does not
  // answer (probed at its own host and port).
  std::string email_url = "https://sms.velksoftware.it";
  std::string email_probe_host = "velksoftware.it:443";
  // Reached over TLS like the primary: the request carries the API key.
  std::string email_fallback_url = "https://www.velksoftware.it:8183";

  // The maker's cloud service (account, security and cloud database
  // configurations): scheme, cloud-database host and optional port. Empty =
  // no cloud service (cloud configurations cannot be read).
  std::string cloud_url = "https://cloud.velksoftware.it";

  // Seconds a database statement waits for a row that another program holds
  // locked before the step is given up (at least 1).
  int lock_timeout_seconds = 10;
  // Seconds a request to the maker's services may go without a byte moving
  // (no reply yet, or a reply that stopped) before it is given up (1 to 600).
  int http_timeout_seconds = 60;

  static constexpr const char* kSection = "Installazione";
  static Installation Load(const IniFile& ini);
};

}  // namespace oxsms::platform
