#include "archive/EntryCipher.h"

#include "base/DataBuffer.h"

void EntryCipher::copyKeyFrom(const EntryCipher &other) {
  m_scheme = other.m_scheme;
  m_aes.copyKeyFrom(other.m_aes);
  m_sealer.copyKeyFrom(other.m_sealer);
}

bool EntryCipher::open(const MessagePlace &place, DataBuffer &bytes, LogBase &log) {
  if (!sealed()) return m_aes.decryptBuffer(bytes, bytes, log);
  return m_sealer.open(place, bytes);
}

bool EntryCipher::openChunk(uint32_t entry, uint32_t chunk, bool last, DataBuffer &bytes, LogBase &log) {
  MessagePlace place;
  place.kind = MessageKind::Chunk;
  place.entry = entry;
  place.index = chunk;
  place.last = last;
  return open(place, bytes, log);
}
