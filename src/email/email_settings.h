// The email account settings: the XML document of column STRUCT_1 of the
// IMP_MODULE row 22, root "smtp", one child element per key. The desktop
// suite's settings dialog writes the same document, in this order:
// Host, Port, AuthType, Username, Password, Firma, DaNome, DaEmail, ToEmail,
// CBLocalClient, EmailBCC, CBNotificaDiario, CBDocEmail, CBSSL, RubricaEmail.
// Readers accept any order and missing keys.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace oxsms::email {

struct EmailSettings {
  std::string Host;      // trimmed
  std::string Port;      // trimmed; written as "25" when empty
  int AuthType = 1;      // 0 = none, 1 = user and password
  std::string Username;  // trimmed
  std::string Password;  // trimmed; a secret, never logged
  std::string Firma;     // signature, lines joined by CR LF
  std::string DaNome;    // sender display name
  std::string DaEmail;   // sender address
  std::string ToEmail;   // address of the dialog's test send
  // The three switches keep whether the document had them: LeggiImpostazioni
  // copies only the ones present.
  std::optional<bool> CBLocalClient;
  std::string EmailBCC;
  std::optional<bool> CBNotificaDiario;
  std::optional<bool> CBDocEmail;
  bool CBSSL = false;
  // The address book, one entry per line ("surname,name,address" or a bare
  // address); stored base64 over the 8-bit code page, only when not empty.
  std::vector<std::string> RubricaEmail;

  // Host, Username and Password all non-empty: an SMTP account to use.
  bool HasSmtpAccount() const { return !Host.empty() && !Username.empty() && !Password.empty(); }
};

// Parses a STRUCT_1 document (UTF-8 text). Returns nullopt when the text is
// not XML or has no root element. Elements missing from the document keep
// the defaults above.
std::optional<EmailSettings> ParseEmailSettings(const std::string& document);

// The document of `settings` as the settings dialog writes it (UTF-8).
std::string WriteEmailSettings(const EmailSettings& settings);

}  // namespace oxsms::email
