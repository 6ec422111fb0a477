// Ciphertext and padding bytes come from the payload: decrypt anything, in every mode, with both
// cipher engines, and require identical results that never outgrow the whole blocks given.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/DataBuffer.h"
#include "base/LogBase.h"
#include "crypto/AesContext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 33) return 0;
  // Byte 0 picks key size, mode (3 is invalid), word swapping and padding; 32 key bytes follow.
  const uint8_t settings = data[0];
  const int bits = 128 + 64 * (settings & 3);
  const int mode = (settings >> 2) & 3;
  DataBuffer key, cipher, fromBest, fromTables;
  key.append(data + 1, 32);
  size_t length = size - 33;
  if (mode == AesContext::kCfb1 && length > 512) length = 512;  // one cipher run per bit
  cipher.append(data + 33, uint32_t(length));

  AesContext best, tables;
  tables.usePortableCode();
  LogNull log;
  bool ok[2];
  DataBuffer *outs[2] = {&fromBest, &fromTables};
  AesContext *contexts[2] = {&best, &tables};
  for (int i = 0; i < 2; ++i) {
    contexts[i]->setKeySize(bits);
    contexts[i]->setKey(key);
    contexts[i]->setMode(mode);
    contexts[i]->setSwapWords(settings & 0x10);
    contexts[i]->setPaddingScheme((settings >> 5) & 3);
    ok[i] = contexts[i]->decryptBuffer(cipher, *outs[i], log);
  }
  if (ok[0] != ok[1] || ok[0] != (mode != 3 || length == 0)) std::abort();
  if (!(fromBest == fromTables)) std::abort();
  if (fromBest.getSize() > length / 16 * 16) std::abort();
  return 0;
}
