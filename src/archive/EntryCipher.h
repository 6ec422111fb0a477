// Opens the encrypted messages of the entry stream (names, chunks, check values) under the scheme
// the payload names: the classic AES messages, which carry no place and no tag, or the sealed
// messages of the authenticated scheme, each of which opens only at its own place.
#pragma once

#include "archive/PayloadFeatures.h"
#include "crypto/AesContext.h"
#include "crypto/MessageSealer.h"

class DataBuffer;
class LogBase;

// Owned by one thread; another thread gets its own copy (copyKeyFrom), made after the key is set.
class EntryCipher {
 public:
  void setScheme(PayloadScheme scheme) { m_scheme = scheme; }
  PayloadScheme scheme() const { return m_scheme; }
  bool sealed() const { return m_scheme == PayloadScheme::Sodium; }
  AesContext &aes() { return m_aes; }
  MessageSealer &sealer() { return m_sealer; }
  void copyKeyFrom(const EntryCipher &other);

  // Replaces the message in `bytes` with its plaintext; false when it does not open.
  bool open(const MessagePlace &place, DataBuffer &bytes, LogBase &log);
  // A chunk of the entry at `entry`; `last` as its size word says (classic chunks carry no place).
  bool openChunk(uint32_t entry, uint32_t chunk, bool last, DataBuffer &bytes, LogBase &log);

 private:
  PayloadScheme m_scheme = PayloadScheme::Classic;
  AesContext m_aes;
  MessageSealer m_sealer;
};
