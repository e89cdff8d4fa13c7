// The stored credential forms shared with the suite's desktop programs, and
// the quoted key of the encrypted patient columns.
//
// Texts are UTF-8. Plaintext is taken as Windows-1252 bytes before encryption
// (a character outside the code page becomes '?'), and decrypted bytes are
// read back by the same code page. Ciphertext bytes become text one character
// per byte by the code page (byte 0x80 -> U+20AC):
//  - plain form: that text, as UTF-8;
//  - hex form: the UTF-16 little-endian memory of that text in upper-case hex,
//    four digits per ciphertext byte (0x41 -> "4100", 0x80 -> "AC20").
//
// Every conversion maps empty text to empty text. Decryption that fails (other
// passphrase, damaged data, odd length or non-hex digits, characters no
// ciphertext byte can give) returns empty text and never throws; callers treat
// empty text as "no value". Encryption throws CredentialError only when the
// crypto library itself fails.
//
// The cipher is the caller's: its cached keys make repeated calls cheap, so
// one instance serves a whole process (the executable builds it and passes
// it down with the catalogue context).
#pragma once

#include <mutex>
#include <string>
#include <string_view>

#include "platform/installation.h"
#include "practice/credential_cipher.h"

namespace oxsms::practice {

std::string CriptaHex(CredentialCipher& cipher, std::string_view text);
std::string DecriptaHex(CredentialCipher& cipher, std::string_view hex);
std::string Cripta(CredentialCipher& cipher, std::string_view text);
std::string Decripta(CredentialCipher& cipher, std::string_view text);

// Holds the quoted column key once it has been computed: the plain key as a
// single-quoted SQL string literal, each inner quote doubled. The first
// successful Get fixes the value for the life of the object; later calls
// return it and ignore their argument. Get throws CredentialError (and keeps
// nothing) when the key holds a backslash or a NUL character, which MySQL
// would read as an escape or a terminator inside the literal.
class ColumnKeyCache {
 public:
  const std::string& Get(std::string_view plain_key);

 private:
  std::once_flag once_;
  std::string quoted_;
};

// `ChiaveAnagrafica`: the quoted key with which MySQL patient databases
// encrypt the surname and email columns, from the installation's
// `column_key`; computed at the first call and kept for the process (later
// calls return that value whatever installation they pass). Only ever placed
// inside SQL text sent to those databases; never log it.
const std::string& ChiaveAnagrafica(const platform::Installation& installation);

}  // namespace oxsms::practice
