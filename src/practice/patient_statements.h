// The statements of the patient searches. On MySQL patient databases the
// surname and the email addresses are stored encrypted by the database's AES
// function as hex text; the statement decrypts each of those columns in its
// own right with the column key and reads it under its own name. On Firebird
// the columns are plain. Values travel as bound parameters: ":badge" and
// ":mese".
#pragma once

#include <cstddef>
#include <string>

namespace oxsms::practice {

// The contact lookup of one patient by badge: COGNOME, NOME, TELCELL, SMS,
// EMAIL, then TELCELL2 and EMAIL2 when the database has the second contacts,
// then CODICE_CLIENTE, in that order. `quoted_key` is the column key as a
// quoted SQL literal (`ChiaveAnagrafica`), used on MySQL only.
std::string ContactStatement(bool second_contacts, bool mysql, const std::string& quoted_key);

// The same lookup for several patients at once: the columns of
// ContactStatement, then BADGE, of the patients whose badge is one of the
// `count` values bound as ":b0", ":b1"...
std::string ContactChunkStatement(bool second_contacts, bool mysql, const std::string& quoted_key,
                                  std::size_t count);

// The birthday scan: COGNOME, NOME, TELCELL, SMS, EMAIL, data_di_nascita of
// every patient with a birth date; with `one_month`, only the birth dates of
// the month bound as ":mese".
std::string BirthdayStatement(bool mysql, const std::string& quoted_key, bool one_month);

// Column positions of the contact statement.
struct ContactColumns {
  static constexpr std::size_t kCognome = 0, kNome = 1, kTelCell = 2, kSms = 3, kEmail = 4;
  static constexpr std::size_t kTelCell2 = 5, kEmail2 = 6;
};

// Column positions of the birthday statement.
struct BirthdayColumns {
  static constexpr std::size_t kCognome = 0, kNome = 1, kTelCell = 2, kSms = 3, kEmail = 4,
                               kNascita = 5;
};

}  // namespace oxsms::practice
