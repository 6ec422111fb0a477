#include "crypto/PasswordVerifier.h"

#include <cstring>

#include "base/DataBuffer.h"
#include "base/StringBuffer.h"
#include "crypto/AesContext.h"
#include "crypto/AesKeyDerivation.h"

bool verifierAcceptsPassword(AesContext &cipher, int keyBits, const void *password, uint32_t passwordLength,
                             const DataBuffer &verifier, LogBase &log) {
  cipher.setKeySize(keyBits);
  cipher.setMode(AesContext::kCbc);
  DataBuffer key;
  bool derived = deriveKey(password, passwordLength, cipher.getKeySize(), key);
  cipher.setKey(key);
  key.clearSecure();
  if (!derived) return false;

  DataBuffer plain;
  if (!cipher.decryptBuffer(verifier, plain, log)) return false;
  return plain.getSize() == kPasswordVerifierLength &&
         std::memcmp(plain.getData(), kPasswordVerifierText, kPasswordVerifierLength) == 0;
}

bool verifierAcceptsPassword(AesContext &cipher, int keyBits, const StringBuffer &password,
                             const DataBuffer &verifier, LogBase &log) {
  return verifierAcceptsPassword(cipher, keyBits, password.getText(), password.getSize(), verifier, log);
}
