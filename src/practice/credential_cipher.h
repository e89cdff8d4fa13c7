// The cipher behind the stored credential forms: authenticated encryption of
// byte strings with one passphrase, and the cache of the keys derived from it.
#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace oxsms::practice {

// Encryption could not be carried out (the crypto library refused); the
// message is Italian and never contains the plaintext.
class CredentialError : public platform::Error {
 public:
  explicit CredentialError(const std::string& message)
      : platform::Error(platform::ErrorCategory::kCredential, message) {}
};

// AES-256-GCM with a key derived by PBKDF2-HMAC-SHA256 from the passphrase.
// A sealed value is self-contained (see the layout in credential_cipher.cpp),
// so any instance with the same passphrase opens what another one sealed.
//
// Deriving a key costs 262144 HMAC rounds (a good fraction of a second), so
// keys are cached: sealing uses one salt and key per instance (a fresh random
// nonce every time), opening keeps the keys of the salts it has opened
// successfully. All members may be called from any thread; a derivation holds
// the instance's lock while it runs.
class CredentialCipher {
 public:
  // The passphrase of the suite's stored credentials.
  static constexpr std::string_view kPassphrase = "p3k9wazd";
  static constexpr int kIterations = 262144;

  // `passphrase` is text (UTF-8); its Windows-1252 bytes make the key.
  explicit CredentialCipher(std::string_view passphrase = kPassphrase);
  ~CredentialCipher();
  CredentialCipher(const CredentialCipher&) = delete;
  CredentialCipher& operator=(const CredentialCipher&) = delete;

  // Seals the bytes. Throws CredentialError only when the crypto library fails.
  std::string Encrypt(std::string_view plaintext);

  // Opens a sealed value; nullopt when it is too short, of an unknown format,
  // damaged, or sealed with another passphrase. Never throws for bad input.
  std::optional<std::string> Decrypt(std::string_view sealed);

  // How many keys this instance has derived so far (for tests and diagnostics).
  std::size_t key_derivations() const;

 private:
  using Key = std::array<unsigned char, 32>;

  // Both run with mutex_ held.
  Key DeriveKey(std::string_view salt);
  void EnsureSealingKey();

  std::string passphrase_bytes_;
  mutable std::mutex mutex_;
  std::string sealing_salt_;
  std::optional<Key> sealing_key_;
  std::map<std::string, Key> opening_keys_;  // by salt
  std::size_t key_derivations_ = 0;
};

}  // namespace oxsms::practice
