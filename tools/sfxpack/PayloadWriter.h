#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "PayloadFormat.h"
#include "archive/PayloadFeatures.h"
#include "archive/SolidFormat.h"
#include "base/ZipCRC.h"
#include "crypto/MessageSealer.h"
#include "compress/BlockDecoder.h"

class CompressionPool;
struct ChunkJob;

// Encrypts one message (a name, a chunk, a part of the check values) on its own; empty when it
// cannot. The place matters to the sealed scheme only. Chunks are encrypted on the worker
// threads, so it must be safe to call from several at once.
using MessageEncryptor =
    std::function<bool(const MessagePlace &place, const std::string &plain, std::string &cipher)>;

struct PackEntry {
  payload::EntryType type = payload::kFileEntry;
  std::string name;          // relative, UTF-8, backslash separated
  uint64_t localFileTime = 0;
  uint64_t utcFileTime = 0;  // the same moment as a UTC FILETIME
  uint32_t attributes = 0;
  std::string sourcePath;    // files only, UTF-8
};

struct ChunkPolicy {
  int level = 9;             // 0 stores every chunk
  uint32_t chunkSize = payload::kDefaultChunkSize;
  int jobs = 1;              // worker threads compressing and encrypting
};

// The solid layout: the files' contents as one stream cut into independently compressed
// blocks. Without it (`solid` false) files travel as deflated chunks.
struct SolidPolicy {
  bool solid = false;
  BlockCodec codec = BlockCodec::Zstd;
  int level = 19;
  uint32_t blockSize = solid_format::kDefaultBlockSize;
  int jobs = 1;
};

// What has reached the output so far.
struct PackCounters {
  uint64_t entries = 0;
  uint64_t files = 0;
  uint64_t inputBytes = 0;   // file bytes read
  uint64_t payloadBytes = 0; // bytes written
  uint64_t storedChunks = 0;
  uint64_t deflatedChunks = 0;
  uint64_t blocks = 0;
};

// Writes the sections of a payload in order: marker and header, named values, verifier (when
// encrypting), entries, end entry. Chunks are compressed and encrypted on worker threads and
// written in file order, so the bytes are the same for any number of jobs; everything else is
// queued behind the chunks before it. Every write reports failure through its result and
// `error`; writeEnd() writes what is still queued.
class PayloadWriter {
 public:
  // A null encryptor writes a plain payload; keyBits is recorded either way. `onProgress` (may
  // be empty) is called on this thread after each chunk and entry reaches the output.
  PayloadWriter(std::ostream &out, ChunkPolicy policy, MessageEncryptor encryptor, int keyBits,
                std::function<void(const PackCounters &)> onProgress = {});
  ~PayloadWriter();
  // Before writeHeader(), which marks the layout: files then declare their sizes, and writeEnd() writes their
  // contents as blocks, checked against `expectedCrcs` (in file order) when it is not null.
  void setSolid(const SolidPolicy &policy, const std::vector<uint32_t> *expectedCrcs);

  // What the payload needs beyond today's stream; anything but the defaults is written with the
  // extended marker and the feature word. Set before writeHeader.
  void setFeatures(PayloadFeatures features) { m_features = features; }
  // For the sealed scheme: the key, how it was derived and how many entries will be written, for
  // the section that takes the verifier's place. Not owned; set before writeVerifier.
  void setSealing(const MessageSealer *sealer, const KdfParams &params, uint32_t entryCount) {
    m_sealer = sealer;
    m_kdf = params;
    m_entryCount = entryCount;
  }
  // Builds every entry's record ahead of the header, so that the records' check values can travel
  // in the named values; writeEntry() then writes these. Without it each record is built as it is
  // written. After setFeatures, setSolid and setSealing, before writeHeader.
  bool prepareRecords(const std::vector<PackEntry> &entries, std::string &error);
  // The CRC-32 of each prepared record, in entry order, as the stub checks them.
  std::vector<uint32_t> recordCrcs() const;
  // Ends the named values with the header check value.
  void setHeaderCheck(bool on) { m_headerCheck = on; }
  bool writeHeader(std::string &error);
  bool writeNamedValues(const std::vector<std::pair<std::string, std::string>> &values, std::string &error);
  bool writeVerifier(std::string &error);
  bool writeEntry(const PackEntry &entry, std::string &error);
  bool writeEnd(std::string &error);

  const PackCounters &counters() const { return m_counters; }
  // The CRC-32 of the contents the last file entry was written with.
  uint32_t lastFileCrc() const { return m_fileCrc.value(); }

 private:
  void put(const void *data, size_t size);
  void putU16(uint32_t value);
  void putU32(uint32_t value);
  void putNamedValue(const std::string &name, const std::string &value);
  bool protect(const MessagePlace &place, const std::string &plain, std::string &out, std::string &error);
  bool sealed() const { return m_features.scheme == PayloadScheme::Sodium; }
  // An entry's record from its type to its attributes (and, solid, its file's size).
  struct EntryRecord {
    std::string bytes;
    uint64_t fileSize = 0;
  };
  bool buildRecord(const PackEntry &entry, uint32_t index, EntryRecord &record, std::string &error);
  bool startPool(std::string &error);
  bool submitChunk(std::string raw, const MessagePlace &place, std::string &error);
  bool writeOldest(std::string &error);
  bool emit(const std::string &bytes, std::string &error);

  std::ostream &m_out;
  ChunkPolicy m_policy;
  MessageEncryptor m_encryptor;
  int m_keyBits;
  PayloadFeatures m_features;
  const MessageSealer *m_sealer = nullptr;
  KdfParams m_kdf;
  uint32_t m_entryCount = 0;
  uint32_t m_entriesWritten = 0;
  std::vector<EntryRecord> m_records;
  bool m_headerCheck = false;
  std::function<void(const PackCounters &)> m_onProgress;
  std::string m_queued;  // bytes that go out after the chunks in flight
  std::unique_ptr<CompressionPool> m_pool;
  PackCounters m_counters;
  ZipCRC m_fileCrc;
  SolidPolicy m_solid;
  const std::vector<uint32_t> *m_expectedCrcs = nullptr;
  // Solid layout: the files whose records are written, with the sizes they declare.
  std::vector<std::pair<PackEntry, uint64_t>> m_solidFiles;
};
