// The chunks of one file entry, from the payload to the output in payload order. Without workers
// each chunk is read, decrypted, inflated and written in turn on the calling thread. With them,
// this thread still reads every chunk and writes every result, in order, while the workers
// decrypt and inflate the chunks in between; the reads that run ahead of the writes keep their
// messages back until the chunks before them are written, so that the log reads as it would
// without workers. Chunks of the next entries that are already in the reader's buffer go to the
// workers early (ChunkLookAhead), so that a run of small files keeps them busy too.
#include "archive/ChunkWorkers.h"
#include "archive/DeferredLog.h"
#include "archive/EntryFormat.h"
#include "archive/SimpleArchive.h"
#include "compress/Output.h"
#include "compress/SaProgress.h"

using entry_format::chunkBytes;
using entry_format::kLastChunkFlag;
using entry_format::kStoredFlag;

namespace {
uint32_t clampToU32(uint64_t n) { return n > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(n); }
}  // namespace

void SimpleArchive::lookAhead(bool atEntry) {
  m_lookAhead.sync(m_reader, *m_workers, atEntry, m_entriesRead, m_chunkIndex, m_cipher.sealed());
  m_lookAhead.extend(m_reader, *m_workers);
}

ChunkWorkers *SimpleArchive::chunkWorkers() {
  if (m_workers == nullptr) {
    int count = m_workerCount > 0 ? m_workerCount : ChunkWorkers::defaultThreadCount();
    if (count <= 1) return nullptr;
    // By default this thread, which reads and writes, counts as one of the processors.
    const int threads = m_workerCount > 0 ? count : count - 1;
    // The check values are read before the first file's chunks (one skipped on the way misses
    // only the speed-up: the writer then takes the CRCs itself).
    m_workers.reset(new (std::nothrow)
                        ChunkWorkers(threads, m_encrypted ? &m_cipher : nullptr, m_checkValues.present()));
    if (m_workers != nullptr && !m_workers->usable()) m_workers.reset();
  }
  return m_workers.get();
}

bool SimpleArchive::copyChunks(Output &output, uint32_t pending, SaProgress *progress,
                               ProgressMonitor *monitor, LogBase &log) {
  ChunkWorkers *workers = chunkWorkers();
  m_chunkIndex = 0;
  m_lastChunkWritten = false;
  for (;;) {
    if (workers != nullptr) lookAhead(false);
    pending += 4;
    uint32_t sizeWord = 0;
    DeferredLog held(log);
    const bool ahead = workers != nullptr && workers->claimed() > 0;
    const bool read = readU32(sizeWord, monitor, ahead ? held : log);
    if (!read || sizeWord == 0 || !held.isEmpty()) {
      if (ahead && !writeInFlight(output, progress, monitor, log)) return false;
      held.passOn(log);
    }
    if (!read) {
      log.logError("Failed to read compressed size.");
      return false;
    }
    if (sizeWord == 0) {
      if (!acceptFileEnd(log)) return false;
      if (workers != nullptr) lookAhead(true);
      return true;
    }
    const uint32_t size = chunkBytes(sizeWord, m_cipher.sealed());
    if (size >= kChunkLimit || m_chunk.getCapacity() < kChunkLimit) {
      if (!writeInFlight(output, progress, monitor, log)) return false;
      log.logError(size >= kChunkLimit ? "Too much data." : "Internal memory error.");
      return false;
    }
    if (workers != nullptr) {
      if (!readChunkJob(*workers, sizeWord, pending, output, progress, monitor, log)) return false;
    } else {
      if (!readChunkHere(sizeWord, pending, output, progress, monitor, log)) return false;
      pending = 0;
    }
  }
}

bool SimpleArchive::readChunkHere(uint32_t sizeWord, uint32_t pending, Output &output, SaProgress *progress,
                                  ProgressMonitor *monitor, LogBase &log) {
  const uint32_t size = chunkBytes(sizeWord, m_cipher.sealed());
  const uint32_t chunk = m_chunkIndex++;
  const bool last = m_cipher.sealed() && (sizeWord & kLastChunkFlag) != 0;
  if (!readExact(m_chunk.getData(), size, monitor, log)) {
    log.logError("Failed to read compressed data.");
    return false;
  }
  m_chunk.setSize(size);
  uint64_t produced = 0;
  if (!acceptChunk(last, log) || !writePlainChunk(m_chunk, m_entriesRead - 1, chunk, (sizeWord & kStoredFlag) != 0,
                                                 last, false, output, produced, monitor, log)) {
    return false;
  }
  if (progress != nullptr) progress->progress(size + pending, clampToU32(produced + pending));
  return true;
}

bool SimpleArchive::readChunkJob(ChunkWorkers &workers, uint32_t sizeWord, uint32_t &pending, Output &output,
                                 SaProgress *progress, ProgressMonitor *monitor, LogBase &log) {
  const uint32_t size = chunkBytes(sizeWord, m_cipher.sealed());
  if (workers.unclaimed() > 0) {
    DecodeJob &early = workers.firstUnclaimed();
    if (early.offset == m_reader.position() && early.sizeWord == sizeWord && early.entry == m_entriesRead - 1 &&
        early.chunk == m_chunkIndex && m_reader.skipBuffered(size)) {
      ++m_chunkIndex;
      early.pending = pending;
      pending = 0;
      workers.claim();
      return true;
    }
    workers.dropUnclaimed();
  }
  if (workers.full() && !writeOldest(workers, output, progress, monitor, log)) return false;
  DecodeJob &job = workers.nextFree();
  if (!job.data.reserve(size + 32)) {
    // Short of memory for one more job: this chunk goes the plain way, after those before it.
    if (!writeInFlight(output, progress, monitor, log)) return false;
    bool ok = readChunkHere(sizeWord, pending, output, progress, monitor, log);
    pending = 0;
    return ok;
  }
  DeferredLog held(log);
  const bool ahead = workers.claimed() > 0;
  if (!readExact(job.data.getData(), size, monitor, ahead ? held : log) || !held.isEmpty()) {
    if (ahead && !writeInFlight(output, progress, monitor, log)) return false;
    held.passOn(log);
    log.logError("Failed to read compressed data.");
    return false;
  }
  job.data.setSize(size);
  job.storedSize = size;
  job.stored = (sizeWord & kStoredFlag) != 0;
  job.entry = m_entriesRead - 1;
  job.chunk = m_chunkIndex++;
  job.last = m_cipher.sealed() && (sizeWord & kLastChunkFlag) != 0;
  job.pending = pending;
  job.offset = m_reader.position() - size;
  job.sizeWord = sizeWord;
  job.decrypted = false;
  job.decoded = false;
  job.crcTaken = false;
  job.blockCodec = 0;
  pending = 0;
  uint32_t next = 1;
  if (!ahead && m_reader.peekU32(next) && next == 0) {
    // The file's only chunk: handing it over would only add the wait for a worker.
    return writeJob(job, output, progress, monitor, log);
  }
  workers.submit(true);
  return true;
}

bool SimpleArchive::writeInFlight(Output &output, SaProgress *progress, ProgressMonitor *monitor, LogBase &log) {
  ChunkWorkers *workers = m_workers.get();
  while (workers != nullptr && workers->claimed() > 0) {
    if (!writeOldest(*workers, output, progress, monitor, log)) return false;
  }
  return true;
}

bool SimpleArchive::writeOldest(ChunkWorkers &workers, Output &output, SaProgress *progress,
                                ProgressMonitor *monitor, LogBase &log) {
  bool ok = writeJob(workers.waitOldest(), output, progress, monitor, log);
  workers.releaseOldest();
  if (!ok) {
    // Nothing after a failed chunk is written.
    while (workers.inFlight() > 0) {
      workers.waitOldest();
      workers.releaseOldest();
    }
  }
  return ok;
}

bool SimpleArchive::writeJob(DecodeJob &job, Output &output, SaProgress *progress, ProgressMonitor *monitor,
                             LogBase &log) {
  uint64_t produced = 0;
  if (!acceptChunk(job.last, log)) return false;
  if (job.decoded || job.crcTaken) {
    // Plain already: the inflated output, or a stored chunk's decrypted bytes.
    const DataBuffer &plain = job.decoded ? job.output : job.data;
    const bool written = job.crcTaken ? output.writeWithCrc(plain.getData(), plain.getSize(), job.crc, monitor, log)
                                      : output.write(plain.getData(), plain.getSize(), monitor, log);
    if (!written) {
      log.logError("Failed to write file data.");
      return false;
    }
    produced = plain.getSize();
  } else if (!writePlainChunk(job.data, job.entry, job.chunk, job.stored, job.last, job.decrypted, output, produced,
                              monitor, log)) {
    return false;
  }
  if (progress != nullptr) progress->progress(job.storedSize + job.pending, clampToU32(produced + job.pending));
  return true;
}

bool SimpleArchive::acceptChunk(bool last, LogBase &log) {
  if (!m_cipher.sealed()) return true;
  if (m_lastChunkWritten) {
    log.logError("Data follows the file's last chunk.");
    return false;
  }
  m_lastChunkWritten = last;
  return true;
}

bool SimpleArchive::acceptFileEnd(LogBase &log) {
  if (!m_cipher.sealed() || m_lastChunkWritten) return true;
  log.logError("The file's data is cut short.");
  return false;
}

bool SimpleArchive::writePlainChunk(DataBuffer &data, uint32_t entry, uint32_t chunk, bool stored, bool last,
                                    bool decrypted, Output &output, uint64_t &produced, ProgressMonitor *monitor,
                                    LogBase &log) {
  if (!decrypted && m_encrypted && !m_cipher.openChunk(entry, chunk, last, data, log)) {
    log.logError("Failed to decrypt compressed data.");
    return false;
  }
  if (stored) {
    if (!output.write(data.getData(), data.getSize(), monitor, log)) {
      log.logError("Failed to write file data.");
      return false;
    }
    produced = data.getSize();
    return true;
  }
  static_assert(ChunkInflater::kWriteSize == kChunkLimit, "a chunk that expands no further than its limit is one write");
  if (!m_inflater.inflate(data.getData(), data.getSize(), output, monitor, log)) return false;
  produced = m_inflater.produced();
  return true;
}
