#pragma once

#include <cstdint>

#include "crypto/AesKeySchedule.h"
#include "crypto/AesModes.h"

class DataBuffer;
class LogBase;

// AES decryption of self-contained messages (an entry name, a data chunk, the password
// verifier). Every message starts from the same chaining value, and its last decrypted byte
// says how many bytes of padding to drop.
class AesContext {
 public:
  enum Mode { kCbc = 0, kEcb = 1, kCfb1 = 2 };

  AesContext();
  ~AesContext();
  AesContext(const AesContext &) = delete;
  AesContext &operator=(const AesContext &) = delete;

  // Changing the key size, the key or the mode drops the key schedule built for the old ones.
  // 128 or less gives 128, up to 192 gives 192, anything larger 256.
  void setKeySize(int bits);
  int getKeySize() const { return m_keyBits; }
  // Replaces the key. Only the first 16, 24 or 32 bytes (by key size) are used; missing bytes
  // count as zero.
  void setKey(const DataBuffer &key);
  void setMode(int mode) {
    m_mode = mode;
    m_initialised = false;
  }
  // 0 and 1 both strip the padding the last byte states; other schemes keep every byte.
  void setPaddingScheme(int scheme) { m_paddingScheme = scheme; }
  // Byte-swaps the decrypted bytes in 32-bit groups before the padding is stripped.
  void setSwapWords(bool swap) { m_swapWords = swap; }
  // Takes over key, key size, mode and padding, so that another thread can decrypt messages
  // under the same key with a context of its own (a context keeps per-message state).
  void copyKeyFrom(const AesContext &other);
  // For tests and benchmarks: run the table-driven cipher even where AES-NI exists.
  void usePortableCode() { m_engine = AesEngine::Portable; }

  // Decrypts one message: whole 16-byte blocks only (bytes past the last one are ignored),
  // then padding removal. An empty input succeeds and leaves the output as it was. in and out
  // may be the same buffer.
  bool decryptBuffer(const DataBuffer &in, DataBuffer &out, LogBase &log);

  // The two steps of decryptBuffer: the key schedule for the current mode, key and key size,
  // and the decryption of whole blocks with it.
  void buildKeySchedule();
  bool decryptBlocks(const uint8_t *in, uint8_t *out, uint32_t blocks, LogBase &log);

 private:
  int m_mode = kCbc;
  int m_paddingScheme = 0;
  bool m_swapWords = false;
  uint8_t m_key[32] = {};
  int m_keyBits = 256;
  bool m_initialised = false;
  uint8_t m_chainingValue[16] = {};
  AesKeySchedule m_roundKeys;
  AesEngine m_engine;
};
