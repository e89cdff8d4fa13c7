// The stored credential forms. The first byte picks the case:
//   0: the rest sealed in the hex and in the plain form opens to itself
//      (through the code page);
//   1: the rest read as a hex form, 2: as a plain form - never raises;
//   3: a sealed value with the rest XORed over it from the nonce on opens
//      to nothing unless the rest changes no byte.
// Cases 0 and 3 keep to one salt, whose key is derived once per process.
#include <cstddef>
#include <cstdint>

#include "fuzz_check.h"
#include "platform/code_page.h"
#include "practice/credential_protection.h"

using oxsms::fuzz::Check;
namespace practice = oxsms::practice;

namespace {

practice::CredentialCipher& Cipher() {
  static practice::CredentialCipher cipher;
  return cipher;
}

void RoundTrip(const std::string& text) {
  const std::string expected = oxsms::platform::Cp1252ToUtf8(oxsms::platform::Utf8ToCp1252(text));
  Check(practice::DecriptaHex(Cipher(), practice::CriptaHex(Cipher(), text)) == expected, "hex form");
  Check(practice::Decripta(Cipher(), practice::Cripta(Cipher(), text)) == expected, "plain form");
}

void Tampered(const std::string& mask) {
  static const std::string sealed = Cipher().Encrypt("SYSDBA:masterkey");
  constexpr std::size_t kNonceAt = 17;
  std::string changed = sealed;
  bool same = true;
  for (std::size_t i = 0; i < mask.size() && kNonceAt + i < changed.size(); ++i) {
    changed[kNonceAt + i] = static_cast<char>(changed[kNonceAt + i] ^ mask[i]);
    same = same && mask[i] == 0;
  }
  const auto opened = Cipher().Decrypt(changed);
  Check(same ? opened == "SYSDBA:masterkey" : !opened.has_value(), "damaged value opened");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string rest = oxsms::fuzz::Text(data + 1, size - 1);
  try {
    switch (data[0] % 4) {
      case 0:
        RoundTrip(rest);
        break;
      case 1:
        practice::DecriptaHex(Cipher(), rest);
        break;
      case 2:
        practice::Decripta(Cipher(), rest);
        break;
      default:
        Tampered(rest);
        break;
    }
  } catch (const practice::CredentialError&) {
    Check(false, "the crypto library failed");
  }
  return 0;
}
