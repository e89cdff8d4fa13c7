#include "platform/installation.h"

namespace oxsms::platform {

Installation Installation::Load(const IniFile& ini) {
  Installation inst;
  inst.default_db_password = ini.ReadString(kSection, "db_password", inst.default_db_password);
  inst.column_key = ini.ReadString(kSection, "chiave_anagrafica", inst.column_key);
  inst.ca_file = ini.ReadString(kSection, "ca_file", inst.ca_file);
  inst.api_key = ini.ReadString(kSection, "api_key", inst.api_key);
  inst.batch_user = ini.ReadString(kSection, "batch_user", inst.batch_user);
  inst.batch_password = ini.ReadString(kSection, "batch_password", inst.batch_password);
  inst.payment_url = ini.ReadString(kSection, "payment_url", inst.payment_url);
  inst.link_url = ini.ReadString(kSection, "link_url", inst.link_url);
  inst.secure_sms_url = ini.ReadString(kSection, "secure_sms_url", inst.secure_sms_url);
  inst.email_url = ini.ReadString(kSection, "email_url", inst.email_url);
  inst.email_probe_host = ini.ReadString(kSection, "email_probe_host", inst.email_probe_host);
  inst.email_fallback_url = ini.ReadString(kSection, "email_fallback_url", inst.email_fallback_url);
  inst.cloud_url = ini.ReadString(kSection, "cloud_url", inst.cloud_url);
  const long lock_timeout = ini.ReadInteger(kSection, "lock_timeout", inst.lock_timeout_seconds);
  inst.lock_timeout_seconds = lock_timeout < 1 ? 1 : lock_timeout > 3600 ? 3600 : static_cast<int>(lock_timeout);
  const long http_timeout = ini.ReadInteger(kSection, "http_timeout", inst.http_timeout_seconds);
  inst.http_timeout_seconds = http_timeout < 1 ? 1 : http_timeout > 600 ? 600 : static_cast<int>(http_timeout);
  return inst;
}

}  // namespace oxsms::platform
