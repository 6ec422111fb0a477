#include "crypto/AesMessageEncrypt.h"

#include <cstring>

#include "base/DataBuffer.h"
#include "base/LogBase.h"
#include "crypto/AesKeyDerivation.h"
#include "crypto/AesKeySchedule.h"
#include "crypto/AesModes.h"
#include "crypto/PasswordVerifier.h"
#include "crypto/SecureWipe.h"

bool aesEncryptMessage(const DataBuffer &key, int keyBits, const void *plain, uint32_t length,
                       DataBuffer &out, LogBase &log) {
  out.clear();
  const uint32_t pad = 16 - length % 16;
  const uint64_t total = uint64_t(length) + pad;
  if (total > 0xFFFFFFFFu || !out.reserve(uint32_t(total))) {
    log.logError("Memory allocation failed.");
    log.logDataInt64("numBytes", int64_t(total));
    return false;
  }
  if (length) std::memcpy(out.getData(), plain, length);
  std::memset(out.getData() + length, int(pad), pad);
  out.setSize(uint32_t(total));

  uint8_t keyBytes[32] = {};
  if (key.getSize()) std::memcpy(keyBytes, key.getData(), key.getSize() < 32 ? key.getSize() : 32);
  AesKeySchedule schedule;
  aesExpandKey(keyBytes, aesSupportedKeyBits(keyBits), schedule);
  const AesEngine engine = aesBestEngine();
  uint8_t chain[16] = {};
  for (uint8_t *block = out.getData(), *end = block + total; block < end; block += 16) {
    for (int i = 0; i < 16; ++i) block[i] ^= chain[i];
    aesEncryptBlock(engine, schedule, block, block);
    std::memcpy(chain, block, 16);
  }
  secureWipe(keyBytes, sizeof keyBytes);
  secureWipe(schedule.words, sizeof schedule.words);
  return true;
}

bool makePasswordVerifier(const void *password, uint32_t passwordLength, int keyBits, DataBuffer &out,
                          LogBase &log) {
  out.clear();
  keyBits = aesSupportedKeyBits(keyBits);
  DataBuffer key;
  bool ok = deriveKey(password, passwordLength, keyBits, key) &&
            aesEncryptMessage(key, keyBits, kPasswordVerifierText, kPasswordVerifierLength, out, log);
  key.clearSecure();
  return ok;
}
