#include "email/email_settings_dialog.h"

#include <algorithm>
#include <cctype>

#include "email/email_composition.h"
#include "email/email_error.h"

namespace oxsms::email {
namespace {

constexpr const char* kDefaultPort = "25";

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::string LowerAscii(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lowered;
}

}  // namespace

const std::vector<SmtpPreset>& SmtpPresets() {
  static const std::vector<SmtpPreset> presets = {
      {"GMAIL", "smtp.gmail.com", "465", true},
      {"FASTWEB", "smtp.fastwebnet.it", "587", true},
      {"ALICE", "out.alice.it", "587", false},
      {"VIRGILIO", "out.virgilio.it", "25", false},
      {"LIBERO", "smtp.libero.it", "25", false},
      {"OUTLOOK", "smtp-mail.outlook.com", "587", true},
      {"TELETU", "out.teletu.it", "25", false},
      {"TISCALI", "smtp.tiscali.it", "25", false},
      {"YAHOO", "smtp.mail.yahoo.com", "25", false},
      {"ARUBA", "smtp.aruba.it", "25", false},
  };
  return presets;
}

const SmtpPreset* FindSmtpPreset(std::string_view name) {
  const std::string wanted = LowerAscii(name);
  for (const SmtpPreset& preset : SmtpPresets()) {
    if (LowerAscii(preset.name) == wanted) return &preset;
  }
  return nullptr;
}

bool EmailErrata(std::string_view text) {
  if (Trimmed(std::string(text)).empty()) return true;
  const std::string lowered = LowerAscii(text);
  // Blanks, the German letters (as UTF-8), brackets, parentheses, colons.
  for (const char* bad : {" ", "\xc3\xa4", "\xc3\xb6", "\xc3\xbc", "\xc3\x9f", "\xc3\x84",
                          "\xc3\x96", "\xc3\x9c", "[", "]", "(", ")", ":"}) {
    if (lowered.find(bad) != std::string::npos) return true;
  }
  const auto at = text.find('@');
  if (at == std::string_view::npos || at == 0 || at == text.size() - 1) return true;
  if (text.find('@', at + 1) != std::string_view::npos) return true;
  const std::string_view domain = text.substr(at + 1);
  if (domain.size() < 2) return true;
  const auto dot = domain.find('.');
  return dot == std::string_view::npos || dot == 0 || dot == domain.size() - 1;
}

void TImpEmailDlg::Show() {
  account = EmailSettings{};
  account.CBNotificaDiario = email_.isNotificaDiario;
  account.CBDocEmail = email_.isCBDocEmail;
  if (configStream.empty()) return;
  const auto parsed = ParseEmailSettings(configStream);
  if (!parsed) return;  // the controls keep their defaults
  const std::optional<bool> journal = account.CBNotificaDiario;
  const std::optional<bool> documents = account.CBDocEmail;
  account = *parsed;
  if (!account.CBNotificaDiario) account.CBNotificaDiario = journal;
  if (!account.CBDocEmail) account.CBDocEmail = documents;
}

void TImpEmailDlg::ApplyPreset(const SmtpPreset& preset) {
  account.Host = preset.host;
  account.Port = preset.port;
  account.CBSSL = preset.ssl;
}

void TImpEmailDlg::SalvaConfigurazione() {
  account.Host = Trimmed(account.Host);
  account.Port = Trimmed(account.Port);
  if (account.Port.empty()) account.Port = kDefaultPort;
  account.Username = Trimmed(account.Username);
  account.Password = Trimmed(account.Password);
  if (!account.CBLocalClient) account.CBLocalClient = false;
  if (!account.CBNotificaDiario) account.CBNotificaDiario = false;
  if (!account.CBDocEmail) account.CBDocEmail = true;
  AggiornaRubrica();
  account.RubricaEmail = email_.listRubrica;
  configStream = WriteEmailSettings(account);

  email_.emailconfigurata = true;
  if (account.Host.empty() || account.Username.empty() || account.Password.empty()) {
    email_.usavelk = true;
  }
  email_.isNotificaDiario = *account.CBNotificaDiario;
  email_.sendLocalClient = *account.CBLocalClient;
  email_.isCBDocEmail = *account.CBDocEmail;
}

void TImpEmailDlg::CaricaRubrica() {
  rubrica_.clear();
  rubrica_state_ = -1;
  for (const std::string& line : email_.listRubrica) {
    TEmailRec rec;
    LeggiDestinatario(rec, line);
    if (!rec.Email.empty()) rubrica_.push_back({rec.Email, rec.Cognome, rec.Nome});
  }
  rubrica_state_ = 0;
}

void TImpEmailDlg::AggiornaRubrica() {
  if (rubrica_state_ == 0) return;
  email_.listRubrica.clear();
  for (const AddressBookRow& row : rubrica_) {
    if (row.email.empty()) continue;
    email_.listRubrica.push_back(row.cognome.empty()
                                     ? row.email
                                     : row.cognome + "," + row.nome + "," + row.email);
  }
  rubrica_state_ = 0;
}

bool TImpEmailDlg::AggiungiRubrica(const AddressBookRow& row, std::string* error) {
  if (rubrica_state_ != -1 && EmailErrata(row.email)) {
    if (error != nullptr) *error = kIndirizzoErrato;
    return false;
  }
  rubrica_.push_back(row);
  rubrica_state_ = 1;
  return true;
}

bool TImpEmailDlg::EliminaRubrica(std::size_t index) {
  if (index >= rubrica_.size()) return false;
  rubrica_.erase(rubrica_.begin() + static_cast<std::ptrdiff_t>(index));
  rubrica_state_ = 1;
  return true;
}

EmailMessage TImpEmailDlg::MessaggioDiProva(const std::string& to) {
  if (Trimmed(account.DaEmail).empty()) throw EmailError(kMittenteMancante);
  SalvaConfigurazione();
  EmailMessage message;
  message.subject = kTestSubject;
  message.html_body = kTestBody;
  message.to.push_back({to, {}});
  if (!Trimmed(account.EmailBCC).empty()) message.bcc.push_back({Trimmed(account.EmailBCC), {}});
  return message;
}

}  // namespace oxsms::email
