// The email settings dialog without its widgets (`TImpEmailDlg`): the values
// of the account page and the settings document they become, the SMTP
// presets, the address book with its address check, and the test message.
// An administration front end drives it; the desktop parts (previews, grids,
// menus, the mail client) do not exist here.
//
// Works on the current email object, which must outlive it. Not
// thread-safe.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "email/email_message.h"
#include "email/email_settings.h"
#include "email/tvelk_email.h"

namespace oxsms::email {

// An entry of the menu beside the host field: host, port and "Usa SSL".
struct SmtpPreset {
  const char* name;
  const char* host;
  const char* port;
  bool ssl;
};

// The ten presets, in menu order.
const std::vector<SmtpPreset>& SmtpPresets();
// The preset of `name` in any letter case; nullptr when there is none.
const SmtpPreset* FindSmtpPreset(std::string_view name);

// `EmailErrata`: true when `text` is unacceptable as an address-book address
// (see the rules in the source, tested in order).
bool EmailErrata(std::string_view text);

inline constexpr const char* kIndirizzoErrato = "Indirizzo email errato";
inline constexpr const char* kMittenteMancante = "Inserire l'email del mittente";
inline constexpr const char* kTestSubject = "Test di invio Email";
inline constexpr const char* kTestBody =
    "<p>Questo \xc3\xa8 un messaggio di prova che dice Weeeeeeeee.</p>";

// A row of the address-book table.
struct AddressBookRow {
  std::string email;
  std::string cognome;
  std::string nome;
};

class TImpEmailDlg {
 public:
  explicit TImpEmailDlg(TVelkEmail& email) : email_(email) {}

  // The settings document, in and out.
  std::string configStream;
  // The account page's values.
  EmailSettings account;

  // On show: the switches from the email object, then every key present in
  // `configStream` (a document that does not parse leaves the defaults).
  void Show();
  // A preset's host, port and "Usa SSL".
  void ApplyPreset(const SmtpPreset& preset);
  // `SalvaConfigurazione`: `configStream` from the account page and the
  // address book (host, user and password trimmed, an empty port as "25"),
  // and the email object's switches updated.
  void SalvaConfigurazione();

  // `CaricaRubrica`: the table from the email object's `listRubrica`
  // (entries without an address are dropped).
  void CaricaRubrica();
  // `AggiornaRubrica`: when the table changed, `listRubrica` from it: rows
  // without an address are skipped, a row without surname is its address.
  void AggiornaRubrica();
  // Appends a row; refused with kIndirizzoErrato (false) when EmailErrata.
  bool AggiungiRubrica(const AddressBookRow& row, std::string* error);
  // Removes row `index` (false when there is none).
  bool EliminaRubrica(std::size_t index);
  const std::vector<AddressBookRow>& Rubrica() const { return rubrica_; }

  // The test message of the account page to `to` (the blind copy as Bcc),
  // after SalvaConfigurazione. Raises EmailError kMittenteMancante when the
  // sender address is empty.
  EmailMessage MessaggioDiProva(const std::string& to);

 private:
  TVelkEmail& email_;
  std::vector<AddressBookRow> rubrica_;
  // -1 while loading, 1 after a change, 0 otherwise.
  int rubrica_state_ = 0;
};

}  // namespace oxsms::email
