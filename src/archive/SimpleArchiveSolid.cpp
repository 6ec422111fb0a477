// The entry stream of the solid layout: the records come first, all of them, then the blocks
// that hold the files' contents in entry order. The records are read at the first entry, so
// that a damaged list stops the run before anything is written; then each call hands out one
// entry and takes the file's bytes from the blocks, which SolidBlockReader decodes ahead.
#include <new>

#include "archive/ChunkWorkers.h"
#include "archive/EntryFormat.h"
#include "archive/SimpleArchive.h"
#include "archive/SolidBlockReader.h"
#include "archive/SolidFormat.h"

using namespace entry_format;

uint32_t SimpleArchive::entryRecordBytes(const EntryHeader &entry) const {
  const bool sized = m_blocks != nullptr && entry.type == kFileEntry;
  return kHeaderBytes + entry.storedNameLength + (sized ? solid_format::kSizeBytes : 0);
}

bool SimpleArchive::readSolidEntries(ProgressMonitor *monitor, LogBase &log) {
  m_solidEntriesRead = true;
  for (;;) {
    std::unique_ptr<EntryHeader> entry(new (std::nothrow) EntryHeader);
    if (entry == nullptr) {
      log.logError("Memory allocation failed.");
      return false;
    }
    if (!readEntryStart(entry->type, monitor, log)) return false;
    if (entry->type == kEndEntry) break;
    if (!readEntryHeader(*entry, monitor, log)) return false;
    if (entry->type == kFileEntry) {
      uint8_t size[solid_format::kSizeBytes];
      if (!readExact(size, sizeof size, monitor, log)) {
        log.logError("Failed to get file size.");
        return false;
      }
      for (int i = 7; i >= 0; --i) entry->size = entry->size << 8 | size[i];
      entry->recordCrc.update(size, sizeof size);
    }
    if (!checkEntryRecord(*entry, log)) return false;
    m_solidEntries.push_back(std::move(entry));
  }
  if (m_encrypted && m_cipher.sealed() && m_entriesRead != m_sealedEntryCount) {
    // Entries cut off behind a forged end entry.
    log.logError("The archive ends before its last entry.");
    return false;
  }
  const BlockCodec codec = m_features.layout == PayloadLayout::SolidXz ? BlockCodec::Xz : BlockCodec::Zstd;
  m_blocks.reset(new (std::nothrow) SolidBlockReader(m_reader, codec, m_encrypted ? &m_cipher : nullptr));
  if (m_blocks == nullptr) {
    log.logError("Memory allocation failed.");
    return false;
  }
  if (!m_blocks->start(monitor, log)) return false;
  // The check values are read before the workers start, so that no worker takes CRCs of blocks.
  if (!m_checkValues.load(*this, m_encrypted ? &m_cipher : nullptr, log)) return false;
  m_blocks->useWorkers(chunkWorkers());
  return true;
}

bool SimpleArchive::unzipNextSolidEntry(bool dryRun, bool &endOfArchive, SaProgress *progress, StringBuffer &name,
                                        bool &isDirectory, UndoList *undoList, bool &skipped,
                                        ProgressMonitor *monitor, LogBase &log) {
  if (!m_solidEntriesRead && !readSolidEntries(monitor, log)) {
    finishEntries(log);
    return false;
  }
  if (m_blocks == nullptr) {
    log.logError("The entries were not read.");
    return false;
  }
  if (m_nextSolidEntry == m_solidEntries.size()) {
    if (!m_blocks->finish(monitor, log)) {
      finishEntries(log);
      return false;
    }
    log.logInfo("Found end of archive.");
    return finishEntries(log);
  }
  const EntryHeader &entry = *m_solidEntries[m_nextSolidEntry++];
  m_entryLocalTime = entry.localTime;
  m_entryAttributes = entry.attributes;
  return extractEntry(entry, dryRun, endOfArchive, progress, name, isDirectory, undoList, skipped, monitor, log);
}
