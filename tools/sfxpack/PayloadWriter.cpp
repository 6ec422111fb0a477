#include "PayloadWriter.h"

#include <cstdio>
#include <filesystem>

#include "ChunkCompressor.h"
#include "CompressionPool.h"
#include "LittleEndian.h"
#include "MessageEncryptors.h"
#include "SealedSection.h"
#include "SolidBlockWriter.h"
#include "SourceFile.h"
#include "archive/CheckValues.h"

namespace {
// What a worker does to one chunk: deflate it unless storing is shorter, then encrypt it.
void sealChunk(ChunkJob &job, ChunkCompressor &compressor, const MessageEncryptor &encryptor) {
  job.stored = !compressor.deflate(job.raw, job.body);
  if (job.stored) job.body = job.raw;
  encryptJobBody(encryptor, job);
  if (!job.failed && job.body.size() >= payload::kChunkLimit) {
    job.failed = true;
    job.error = "Chunk too large for the payload format; use a smaller --chunk-size.";
  }
}
}  // namespace

PayloadWriter::PayloadWriter(std::ostream &out, ChunkPolicy policy, MessageEncryptor encryptor, int keyBits,
                             std::function<void(const PackCounters &)> onProgress)
    : m_out(out),
      m_policy(policy),
      m_encryptor(std::move(encryptor)),
      m_keyBits(keyBits),
      m_onProgress(std::move(onProgress)) {}

PayloadWriter::~PayloadWriter() = default;

void PayloadWriter::setSolid(const SolidPolicy &policy, const std::vector<uint32_t> *expectedCrcs) {
  m_solid = policy;
  m_expectedCrcs = expectedCrcs;
  if (policy.solid) m_features.layout = policy.codec == BlockCodec::Xz ? PayloadLayout::SolidXz : PayloadLayout::SolidZstd;
}

bool PayloadWriter::buildRecord(const PackEntry &entry, uint32_t index, EntryRecord &record, std::string &error) {
  MessagePlace place;
  place.kind = MessageKind::Name;
  place.entry = index;
  std::string name;
  if (!protect(place, entry.name, name, error)) return false;
  if (name.empty() || name.size() > 0xFFFF) {
    error = "Entry name is empty or too long: " + entry.name;
    return false;
  }
  std::string &bytes = record.bytes;
  bytes += char(entry.type);
  appendLittleEndian(bytes, name.size(), 2);
  bytes += name;
  appendLittleEndian(bytes, entry.localFileTime, 8);
  appendLittleEndian(bytes, entry.attributes, 4);
  if (entry.type == payload::kFileEntry && m_solid.solid) {
    std::error_code ec;
    record.fileSize = std::filesystem::file_size(std::filesystem::u8path(entry.sourcePath), ec);
    if (ec) {
      error = "Cannot read " + entry.sourcePath + ": " + ec.message();
      return false;
    }
    appendLittleEndian(bytes, record.fileSize, 8);
  }
  return true;
}

bool PayloadWriter::prepareRecords(const std::vector<PackEntry> &entries, std::string &error) {
  m_records.resize(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    if (!buildRecord(entries[i], uint32_t(i), m_records[i], error)) return false;
  }
  return true;
}

std::vector<uint32_t> PayloadWriter::recordCrcs() const {
  std::vector<uint32_t> crcs;
  crcs.reserve(m_records.size());
  for (const EntryRecord &record : m_records) crcs.push_back(ZipCRC::crc32(record.bytes.data(), uint32_t(record.bytes.size())));
  return crcs;
}

void PayloadWriter::put(const void *data, size_t size) { m_queued.append(static_cast<const char *>(data), size); }

void PayloadWriter::putU16(uint32_t value) { appendLittleEndian(m_queued, value, 2); }

void PayloadWriter::putU32(uint32_t value) { appendLittleEndian(m_queued, value, 4); }

void PayloadWriter::putNamedValue(const std::string &name, const std::string &value) {
  putU16(uint32_t(name.size()));
  put(name.data(), name.size());
  putU16(uint32_t(value.size()));
  put(value.data(), value.size());
}

bool PayloadWriter::emit(const std::string &bytes, std::string &error) {
  m_out.write(bytes.data(), std::streamsize(bytes.size()));
  if (!m_out) {
    error = "Failed to write the output file (disk full or I/O error).";
    return false;
  }
  m_counters.payloadBytes += bytes.size();
  return true;
}

bool PayloadWriter::protect(const MessagePlace &place, const std::string &plain, std::string &out,
                            std::string &error) {
  if (!m_encryptor) {
    out = plain;
    return true;
  }
  if (!m_encryptor(place, plain, out)) {
    error = "Encryption failed.";
    return false;
  }
  return true;
}

bool PayloadWriter::writeHeader(std::string &) {
  uint8_t keyCode = m_keyBits == 128 ? 0 : m_keyBits == 192 ? 1 : 2;
  const bool extended = m_features.extended();
  putU32(payload::kMarkerFirstHalf);
  putU32(extended ? payload::kExtendedMarkerSecondHalf : payload::kMarkerSecondHalf);
  putU32(extended ? m_features.word() : 1);
  uint8_t flags[2] = {uint8_t(m_encryptor ? 1 : 0), keyCode};
  put(flags, sizeof flags);
  return true;
}

bool PayloadWriter::writeNamedValues(const std::vector<std::pair<std::string, std::string>> &values,
                                     std::string &error) {
  if (values.size() + (m_headerCheck ? 1 : 0) > size_t(payload::kMaxNamedValues)) {
    error = "Too many named values (at most 199).";
    return false;
  }
  for (const auto &[name, value] : values) {
    if (name.empty() || name.size() > 0xFFFF || value.size() > 0xFFFF) {
      error = "Named value \"" + name + "\" is empty or longer than 65535 bytes.";
      return false;
    }
    putNamedValue(name, value);
  }
  if (m_headerCheck) {
    // Nothing has gone out yet: the queue holds every byte from the marker on.
    char crc[9];
    std::snprintf(crc, sizeof crc, "%08x", unsigned(ZipCRC::crc32(m_queued.data(), uint32_t(m_queued.size()))));
    putNamedValue(CheckValues::kHeaderValue, crc);
  }
  putU16(0);
  return true;
}

bool PayloadWriter::writeVerifier(std::string &error) {
  if (!m_encryptor) return true;
  if (sealed()) {
    // Nothing has gone out yet: every byte the authenticator covers is still queued.
    if (m_sealer == nullptr || !appendSealedSection(*m_sealer, m_kdf, m_entryCount, m_queued)) {
      error = "Encryption failed.";
      return false;
    }
    return true;
  }
  std::string cipher;
  if (!protect(MessagePlace(), "qzvk", cipher, error)) return false;
  uint8_t length = uint8_t(cipher.size());
  put(&length, 1);
  put(cipher.data(), cipher.size());
  return true;
}

bool PayloadWriter::startPool(std::string &error) {
  std::vector<ChunkTask> tasks;
  for (int i = 0; i < m_policy.jobs; ++i) {
    auto compressor = std::make_shared<ChunkCompressor>(m_policy.level);
    if (!compressor->ready()) {
      error = "Out of memory for the compressor of level " + std::to_string(m_policy.level) + ".";
      return false;
    }
    tasks.push_back([compressor, this](ChunkJob &job) { sealChunk(job, *compressor, m_encryptor); });
  }
  // Two chunks' worth of bytes per worker: one being compressed, one read and waiting, so that
  // no worker idles while the writer reads; the memory stays a fixed number of chunks. Counted
  // in bytes, with many jobs allowed: small files then queue up behind one large chunk instead
  // of leaving the other workers idle until it is done. At 16 jobs per worker, a folder of
  // documents (22 KB a file) still left the processors idle a sixth of the time.
  m_pool = std::make_unique<CompressionPool>(std::move(tasks), size_t(64 * m_policy.jobs),
                                             size_t(2 * m_policy.jobs) * m_policy.chunkSize);
  return true;
}

bool PayloadWriter::submitChunk(std::string raw, const MessagePlace &place, std::string &error) {
  if (!m_pool && !startPool(error)) return false;
  while (m_pool->full()) {
    if (!writeOldest(error)) return false;
  }
  auto job = std::make_unique<ChunkJob>();
  job->prefix.swap(m_queued);
  job->raw = std::move(raw);
  job->place = place;
  m_counters.inputBytes += job->raw.size();
  m_pool->submit(std::move(job));
  return true;
}

bool PayloadWriter::writeOldest(std::string &error) {
  std::unique_ptr<ChunkJob> job = m_pool->takeOldestDone(error);
  if (job == nullptr) return false;
  const uint32_t size = uint32_t(job->body.size()) | (job->stored ? payload::kStoredFlag : 0) |
                        (sealed() && job->place.last ? payload::kLastChunkFlag : 0);
  std::string word;
  appendLittleEndian(word, size, 4);
  if (!emit(job->prefix, error) || !emit(word, error) || !emit(job->body, error)) return false;
  ++(job->stored ? m_counters.storedChunks : m_counters.deflatedChunks);
  if (m_onProgress) m_onProgress(m_counters);
  return true;
}

bool PayloadWriter::writeEntry(const PackEntry &entry, std::string &error) {
  const uint32_t index = m_entriesWritten++;
  EntryRecord built;
  if (index >= m_records.size() && !buildRecord(entry, index, built, error)) return false;
  const EntryRecord &record = index < m_records.size() ? m_records[index] : built;
  putU32(payload::kEntryMarker);
  put(record.bytes.data(), record.bytes.size());
  if (entry.type == payload::kFileEntry && m_solid.solid) {
    m_solidFiles.emplace_back(entry, record.fileSize);
  } else if (entry.type == payload::kFileEntry) {
    SourceFile in;
    if (!in.open(entry.sourcePath, error)) return false;
    m_fileCrc = ZipCRC();
    MessagePlace place;
    place.kind = MessageKind::Chunk;
    place.entry = index;
    for (place.index = 0;; ++place.index) {
      std::string raw;
      if (!in.read(m_policy.chunkSize, raw, error)) return false;
      // Taken here, in file order, from the bytes the workers are given.
      m_fileCrc.update(raw.data(), uint32_t(raw.size()));
      place.last = raw.size() < m_policy.chunkSize;
      // A sealed file always ends with a chunk marked last, empty when need be, so that a
      // reader can tell a whole file from one cut short.
      if ((!raw.empty() || (sealed() && place.last)) && !submitChunk(std::move(raw), place, error)) return false;
      if (place.last) break;
    }
    putU32(0);
    ++m_counters.files;
  }
  ++m_counters.entries;
  if (m_onProgress) m_onProgress(m_counters);
  return true;
}

bool PayloadWriter::writeEnd(std::string &error) {
  uint8_t type = payload::kEndEntry;
  putU32(payload::kEntryMarker);
  put(&type, 1);
  while (m_pool && !m_pool->empty()) {
    if (!writeOldest(error)) return false;
  }
  std::string rest;
  rest.swap(m_queued);
  if (!emit(rest, error)) return false;
  if (m_solid.solid) {
    SolidBlockWriter blocks([this](const std::string &bytes, std::string &e) { return emit(bytes, e); }, m_solid,
                            m_encryptor, m_expectedCrcs, m_counters, m_onProgress);
    if (!blocks.write(m_solidFiles, error)) return false;
  }
  m_out.flush();
  if (!m_out) {
    error = "Failed to write the output file (disk full or I/O error).";
    return false;
  }
  return true;
}
