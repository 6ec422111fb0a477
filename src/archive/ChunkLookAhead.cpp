#include "archive/ChunkLookAhead.h"

#include <cstring>

#include "archive/ChunkWorkers.h"
#include "archive/EntryFormat.h"
#include "archive/PayloadReader.h"
#include "archive/SimpleArchive.h"

namespace {
uint32_t u16At(const uint8_t *p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t u32At(const uint8_t *p) { return u16At(p) | u16At(p + 2) << 16; }
}  // namespace

void ChunkLookAhead::sync(const PayloadReader &reader, const ChunkWorkers &workers, bool atEntry, uint32_t entries,
                          uint32_t chunk, bool sealed) {
  if (workers.unclaimed() > 0) return;
  m_cursor = reader.position();
  m_place = atEntry ? Place::Entry : Place::SizeWord;
  m_entry = entries;
  m_chunk = chunk;
  m_sealed = sealed;
}

void ChunkLookAhead::extend(PayloadReader &reader, ChunkWorkers &workers) {
  using namespace entry_format;
  while (m_place != Place::Stopped && !workers.full()) {
    if (m_place == Place::Entry) {
      const uint8_t *start = reader.lookAhead(m_cursor, 7);
      if (start == nullptr) return;
      const uint32_t nameLength = u16At(start + 5);
      if (u32At(start) != kMarker || start[4] == kEndEntry || nameLength == 0) {
        m_place = Place::Stopped;
        return;
      }
      const uint8_t *header = reader.lookAhead(m_cursor, kHeaderBytes + nameLength);
      if (header == nullptr) return;
      m_place = header[4] == kFileEntry ? Place::SizeWord : Place::Entry;
      m_cursor += kHeaderBytes + nameLength;
      ++m_entry;
      m_chunk = 0;
      continue;
    }
    const uint8_t *word = reader.lookAhead(m_cursor, 4);
    if (word == nullptr) return;
    const uint32_t sizeWord = u32At(word);
    if (sizeWord == 0) {
      m_cursor += 4;
      m_place = Place::Entry;
      continue;
    }
    const uint32_t size = chunkBytes(sizeWord, m_sealed);
    const uint8_t *body = size < SimpleArchive::kChunkLimit ? reader.lookAhead(m_cursor + 4, size) : nullptr;
    DecodeJob &job = workers.nextFree();
    if (body == nullptr || !job.data.reserve(size + 32)) {
      // Too large for the buffer, or no memory: the reader reads this one itself.
      m_place = Place::Stopped;
      return;
    }
    std::memcpy(job.data.getData(), body, size);
    job.data.setSize(size);
    job.storedSize = size;
    job.stored = (sizeWord & kStoredFlag) != 0;
    job.entry = m_entry - 1;
    job.chunk = m_chunk++;
    job.last = m_sealed && (sizeWord & kLastChunkFlag) != 0;
    job.offset = m_cursor + 4;
    job.sizeWord = sizeWord;
    job.decrypted = false;
    job.decoded = false;
    workers.submit(false);
    m_cursor += 4 + size;
  }
}
