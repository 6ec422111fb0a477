#include "crypto/AesKeyDerivation.h"

#include "base/DataBuffer.h"
#include "base/Md5.h"
#include "base/StringBuffer.h"
#include "crypto/SecureWipe.h"

bool deriveKey(const void *password, uint32_t length, int keyBits, DataBuffer &key) {
  key.clearSecure();
  static const uint8_t kNoBytes = 0;
  if (password == nullptr) password = &kNoBytes;  // an empty password may come without storage
  uint8_t digest[16];
  Md5::digest(password, length, digest);
  bool ok = key.append(digest, 16);
  if (ok && keyBits != 128) {
    Md5 md5;
    md5.update(password, length);
    md5.update(&kKeyDerivationSuffix, 1);
    md5.final(digest);
    ok = key.append(digest, keyBits == 192 ? 8 : 16);
  }
  secureWipe(digest, sizeof digest);
  return ok;
}

bool deriveKey(const StringBuffer &password, int keyBits, DataBuffer &key) {
  return deriveKey(password.getText(), password.getSize(), keyBits, key);
}
