#include "archive/SolidBlockReader.h"

#include "archive/PayloadReader.h"
#include "archive/SolidFormat.h"
#include "compress/Output.h"
#include "compress/SaProgress.h"
#include "archive/EntryCipher.h"

namespace {
// No codec stores a block larger than this, nor does encryption add more: a larger size word
// is a lie, refused before anything is allocated for it.
uint64_t storedBound(uint32_t rawSize) { return uint64_t(rawSize) + rawSize / 64 + 64 * 1024; }

uint32_t clampToU32(uint64_t n) { return n > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(n); }
}  // namespace

bool unsealBlock(EntryCipher *cipher, uint32_t blockIndex, DataBuffer &data, LogBase &log) {
  if (cipher == nullptr) return true;
  return cipher->open(MessagePlace::block(blockIndex), data, log);
}

SolidBlockReader::SolidBlockReader(PayloadReader &reader, BlockCodec codec, EntryCipher *cipher)
    : m_reader(reader), m_codec(codec), m_cipher(cipher) {}

SolidBlockReader::~SolidBlockReader() = default;

bool SolidBlockReader::start(ProgressMonitor *monitor, LogBase &log) {
  if (!m_reader.readU32(m_blockLimit, monitor, log)) {
    log.logError("Failed to read the block section.");
    return false;
  }
  if (m_blockLimit > BlockDecoder::kMaxBlockSize) {
    log.logError("The payload's blocks are larger than this program allows.");
    log.logDataInt("blockSize", m_blockLimit);
    return false;
  }
  return true;
}

bool SolidBlockReader::readBlock(DecodeJob &job, bool &ended, ProgressMonitor *monitor, LogBase &log) {
  ended = false;
  uint32_t storedSize = 0, rawSize = 0;
  if (!m_reader.readU32(storedSize, monitor, log)) {
    log.logError("Failed to read a compressed block.");
    return false;
  }
  if (storedSize == 0) {
    ended = true;
    return false;
  }
  if (!m_reader.readU32(rawSize, monitor, log)) {
    log.logError("Failed to read a compressed block.");
    return false;
  }
  if (rawSize == 0 || rawSize > m_blockLimit || storedSize > storedBound(rawSize)) {
    log.logError("Block size is beyond the payload's limit.");
    log.logDataInt("blockSize", rawSize);
    log.logDataInt("storedSize", storedSize);
    return false;
  }
  if (!job.data.reserve(storedSize + 32)) {
    log.logError("Memory allocation failed.");
    return false;
  }
  if (!m_reader.read(job.data.getData(), storedSize, monitor, log)) {
    log.logError("Failed to read a compressed block.");
    return false;
  }
  job.data.setSize(storedSize);
  job.storedSize = storedSize;
  job.stored = false;
  job.blockCodec = uint8_t(m_codec);
  job.rawSize = rawSize;
  job.blockLimit = m_blockLimit;
  job.chunk = m_blocksRead++;
  job.decrypted = false;
  job.decoded = false;
  job.crcTaken = false;
  return true;
}

bool SolidBlockReader::decodeHere(DecodeJob &job, LogBase &log) {
  if (!job.decrypted) {
    if (!unsealBlock(m_cipher, job.chunk, job.data, log)) {
      log.logError("Failed to decrypt compressed data.");
      return false;
    }
    job.decrypted = true;
  }
  if (m_decoder == nullptr) m_decoder = BlockDecoder::create(m_codec, m_blockLimit);
  if (m_decoder == nullptr) {
    log.logError("Memory allocation failed.");
    return false;
  }
  job.decoded = m_decoder->decodeInto(job.data.getData(), job.data.getSize(), job.rawSize, job.output, log);
  return job.decoded;
}

void SolidBlockReader::releaseCurrent() {
  if (m_current != nullptr && m_current != &m_local) m_workers->releaseOldest();
  m_current = nullptr;
  m_used = 0;
}

bool SolidBlockReader::nextBlock(ProgressMonitor *monitor, LogBase &log) {
  releaseCurrent();
  DecodeJob *next = &m_local;
  bool ended = false;
  if (m_workers == nullptr) {
    if (!m_ended && !readBlock(m_local, ended, monitor, log)) {
      if (!ended) return false;
      m_ended = true;
    }
    if (m_ended) {
      log.logError("File data runs past the last block.");
      return false;
    }
    if (!decodeHere(m_local, log)) return false;
  } else {
    // Keeps every job busy: those after the current one are decoded while it is written.
    while (!m_ended && !m_workers->full()) {
      if (!readBlock(m_workers->nextFree(), ended, monitor, log)) {
        if (!ended) return false;
        m_ended = true;
        break;
      }
      m_workers->submit(true);
    }
    if (m_workers->inFlight() == 0) {
      log.logError("File data runs past the last block.");
      return false;
    }
    next = &m_workers->waitOldest();
    // What a worker could not decode is decoded again here, with the real log.
    if (!next->decoded) {
      m_current = next;
      if (!decodeHere(*next, log)) return false;
    }
  }
  m_current = next;
  m_unreported += next->storedSize + solid_format::kBlockHeaderBytes;
  return true;
}

bool SolidBlockReader::copy(uint64_t size, Output &output, uint32_t pending, SaProgress *progress,
                            ProgressMonitor *monitor, LogBase &log) {
  while (size > 0) {
    if (m_current == nullptr || m_used == m_current->output.getSize()) {
      if (!nextBlock(monitor, log)) return false;
    }
    const uint32_t available = m_current->output.getSize() - m_used;
    const uint32_t n = size < available ? uint32_t(size) : available;
    if (!output.write(m_current->output.getData() + m_used, n, monitor, log)) {
      log.logError("Failed to write file data.");
      return false;
    }
    m_used += n;
    size -= n;
    if (progress != nullptr) progress->progress(clampToU32(m_unreported + pending), clampToU32(uint64_t(n) + pending));
    m_unreported = 0;
    pending = 0;
  }
  return true;
}

bool SolidBlockReader::finish(ProgressMonitor *monitor, LogBase &log) {
  bool whole = m_current == nullptr || m_used == m_current->output.getSize();
  releaseCurrent();
  if (whole && m_workers != nullptr && m_workers->inFlight() > 0) whole = false;
  if (whole && !m_ended) {
    uint32_t storedSize = 0;
    if (!m_reader.readU32(storedSize, monitor, log)) {
      log.logError("Failed to read a compressed block.");
      return false;
    }
    whole = storedSize == 0;
    m_ended = true;
  }
  if (!whole) log.logError("The blocks hold more data than the files.");
  return whole;
}
