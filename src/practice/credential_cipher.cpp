#include "practice/credential_cipher.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <climits>
#include <memory>

#include "platform/code_page.h"

namespace oxsms::practice {
namespace {

// Layout of a sealed value (all lengths in bytes):
//
//   offset      size  field
//   0           1     format version, kVersion
//   1           16    PBKDF2 salt
//   17          12    AES-GCM nonce
//   29          n     AES-256-GCM ciphertext (as long as the plaintext)
//   29 + n      16    GCM authentication tag
//
// The first 29 bytes (version, salt, nonce) are authenticated as additional
// data. Key = PBKDF2-HMAC-SHA256(passphrase bytes, salt, kIterations, 32).
constexpr unsigned char kVersion = 0x01;
constexpr std::size_t kSaltSize = 16;
constexpr std::size_t kNonceSize = 12;
constexpr std::size_t kTagSize = 16;
constexpr std::size_t kHeaderSize = 1 + kSaltSize + kNonceSize;
constexpr std::size_t kOverhead = kHeaderSize + kTagSize;

// Bound on the opening cache; a value read from storage each tick keeps its
// key, while a flood of foreign salts cannot grow the cache without limit.
constexpr std::size_t kMaxOpeningKeys = 64;

using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

CipherContext NewContext() { return CipherContext(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free); }

const unsigned char* Bytes(std::string_view s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}
unsigned char* Bytes(std::string& s) { return reinterpret_cast<unsigned char*>(s.data()); }

std::string RandomBytes(std::size_t n) {
  std::string out(n, '\0');
  if (RAND_bytes(Bytes(out), static_cast<int>(n)) != 1)
    throw CredentialError("Impossibile generare dati casuali per la cifratura");
  return out;
}

// AES-256-GCM over `plaintext` with `header` as additional data; returns
// ciphertext followed by the tag, or nullopt when the library fails.
std::optional<std::string> Seal(const unsigned char* key, std::string_view header,
                                std::string_view nonce, std::string_view plaintext) {
  CipherContext ctx = NewContext();
  std::string out(plaintext.size() + kTagSize, '\0');
  int len = 0;
  int final_len = 0;
  if (!ctx ||
      EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) != 1 ||
      EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, static_cast<int>(nonce.size()),
                          nullptr) != 1 ||
      EVP_EncryptInit_ex(ctx.get(), nullptr, nullptr, key, Bytes(nonce)) != 1 ||
      EVP_EncryptUpdate(ctx.get(), nullptr, &len, Bytes(header),
                        static_cast<int>(header.size())) != 1 ||
      EVP_EncryptUpdate(ctx.get(), Bytes(out), &len, Bytes(plaintext),
                        static_cast<int>(plaintext.size())) != 1 ||
      EVP_EncryptFinal_ex(ctx.get(), Bytes(out) + len, &final_len) != 1 ||
      EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, static_cast<int>(kTagSize),
                          Bytes(out) + plaintext.size()) != 1) {
    return std::nullopt;
  }
  return out;
}

// Inverse of Seal; nullopt when the tag does not match.
std::optional<std::string> Open(const unsigned char* key, std::string_view header,
                                std::string_view nonce, std::string_view ciphertext,
                                std::string_view tag) {
  CipherContext ctx = NewContext();
  std::string out(ciphertext.size(), '\0');
  std::string tag_copy(tag);  // the library wants a writable buffer
  int len = 0;
  int final_len = 0;
  if (!ctx ||
      EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) != 1 ||
      EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, static_cast<int>(nonce.size()),
                          nullptr) != 1 ||
      EVP_DecryptInit_ex(ctx.get(), nullptr, nullptr, key, Bytes(nonce)) != 1 ||
      EVP_DecryptUpdate(ctx.get(), nullptr, &len, Bytes(header),
                        static_cast<int>(header.size())) != 1 ||
      EVP_DecryptUpdate(ctx.get(), Bytes(out), &len, Bytes(ciphertext),
                        static_cast<int>(ciphertext.size())) != 1 ||
      EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, static_cast<int>(kTagSize),
                          tag_copy.data()) != 1 ||
      EVP_DecryptFinal_ex(ctx.get(), Bytes(out) + len, &final_len) != 1) {
    OPENSSL_cleanse(out.data(), out.size());
    return std::nullopt;
  }
  return out;
}

}  // namespace

CredentialCipher::CredentialCipher(std::string_view passphrase)
    : passphrase_bytes_(platform::Utf8ToCp1252(passphrase)) {}

CredentialCipher::~CredentialCipher() {
  if (sealing_key_) OPENSSL_cleanse(sealing_key_->data(), sealing_key_->size());
  for (auto& [salt, key] : opening_keys_) OPENSSL_cleanse(key.data(), key.size());
  OPENSSL_cleanse(passphrase_bytes_.data(), passphrase_bytes_.size());
}

CredentialCipher::Key CredentialCipher::DeriveKey(std::string_view salt) {
  Key key{};
  if (PKCS5_PBKDF2_HMAC(passphrase_bytes_.data(), static_cast<int>(passphrase_bytes_.size()),
                        Bytes(salt), static_cast<int>(salt.size()), kIterations, EVP_sha256(),
                        static_cast<int>(key.size()), key.data()) != 1) {
    throw CredentialError("Impossibile derivare la chiave di cifratura");
  }
  ++key_derivations_;
  return key;
}

void CredentialCipher::EnsureSealingKey() {
  if (sealing_key_) return;
  std::string salt = RandomBytes(kSaltSize);
  sealing_key_ = DeriveKey(salt);
  sealing_salt_ = std::move(salt);
  // Values sealed here are opened without a second derivation.
  if (opening_keys_.size() < kMaxOpeningKeys) opening_keys_[sealing_salt_] = *sealing_key_;
}

std::string CredentialCipher::Encrypt(std::string_view plaintext) {
  if (plaintext.size() > static_cast<std::size_t>(INT_MAX) - kOverhead)
    throw CredentialError("Dati troppo lunghi per la cifratura");
  std::lock_guard lock(mutex_);
  EnsureSealingKey();
  std::string header(1, static_cast<char>(kVersion));
  header += sealing_salt_;
  header += RandomBytes(kNonceSize);
  const std::string_view nonce = std::string_view(header).substr(1 + kSaltSize);
  std::optional<std::string> body = Seal(sealing_key_->data(), header, nonce, plaintext);
  if (!body) throw CredentialError("Errore durante la cifratura");
  return header + *body;
}

std::optional<std::string> CredentialCipher::Decrypt(std::string_view sealed) {
  if (sealed.size() < kOverhead || sealed.size() > static_cast<std::size_t>(INT_MAX) ||
      static_cast<unsigned char>(sealed[0]) != kVersion) {
    return std::nullopt;
  }
  const std::string_view header = sealed.substr(0, kHeaderSize);
  const std::string salt(sealed.substr(1, kSaltSize));
  const std::string_view nonce = sealed.substr(1 + kSaltSize, kNonceSize);
  const std::string_view ciphertext =
      sealed.substr(kHeaderSize, sealed.size() - kHeaderSize - kTagSize);
  const std::string_view tag = sealed.substr(sealed.size() - kTagSize);

  std::lock_guard lock(mutex_);
  if (auto cached = opening_keys_.find(salt); cached != opening_keys_.end())
    return Open(cached->second.data(), header, nonce, ciphertext, tag);

  Key key{};
  try {
    key = DeriveKey(salt);
  } catch (const CredentialError&) {
    return std::nullopt;
  }
  std::optional<std::string> plaintext = Open(key.data(), header, nonce, ciphertext, tag);
  // Only keys that opened a value are kept: a damaged value must not evict
  // the keys of good ones.
  if (plaintext) {
    if (opening_keys_.size() >= kMaxOpeningKeys) {
      for (auto& [old_salt, old_key] : opening_keys_)
        OPENSSL_cleanse(old_key.data(), old_key.size());
      opening_keys_.clear();
    }
    opening_keys_[salt] = key;
  }
  OPENSSL_cleanse(key.data(), key.size());
  return plaintext;
}

std::size_t CredentialCipher::key_derivations() const {
  std::lock_guard lock(mutex_);
  return key_derivations_;
}

}  // namespace oxsms::practice
