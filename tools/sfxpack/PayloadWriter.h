#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "PayloadFormat.h"
#include "base/ZipCRC.h"

// Encrypts one message (a name, a chunk or the verifier) on its own; empty when it cannot.
using MessageEncryptor = std::function<bool(const std::string &plain, std::string &cipher)>;

struct PackEntry {
  payload::EntryType type = payload::kFileEntry;
  std::string name;          // relative, UTF-8, backslash separated
  uint64_t localFileTime = 0;
  uint32_t attributes = 0;
  std::string sourcePath;    // files only, UTF-8
};

struct ChunkPolicy {
  int level = 6;             // 0 stores every chunk
  uint32_t chunkSize = payload::kDefaultChunkSize;
};

// Writes the sections of a payload in order: marker and header, named values, verifier (when
// encrypting), entries, end entry. Every write reports failure through its result and `error`.
class PayloadWriter {
 public:
  // A null encryptor writes a plain payload; keyBits is recorded either way.
  PayloadWriter(std::ostream &out, ChunkPolicy policy, MessageEncryptor encryptor, int keyBits);

  bool writeHeader(std::string &error);
  bool writeNamedValues(const std::vector<std::pair<std::string, std::string>> &values, std::string &error);
  bool writeVerifier(std::string &error);
  bool writeEntry(const PackEntry &entry, std::string &error);
  bool writeEnd(std::string &error);

  uint64_t storedChunks() const { return m_storedChunks; }
  // The CRC-32 of the contents the last file entry was written with.
  uint32_t lastFileCrc() const { return m_fileCrc.value(); }
  uint64_t deflatedChunks() const { return m_deflatedChunks; }

 private:
  bool put(const void *data, size_t size, std::string &error);
  bool putU16(uint32_t value, std::string &error);
  bool putU32(uint32_t value, std::string &error);
  bool protect(const std::string &plain, std::string &out, std::string &error);
  bool writeChunk(const std::string &raw, std::string &error);

  std::ostream &m_out;
  ChunkPolicy m_policy;
  MessageEncryptor m_encryptor;
  int m_keyBits;
  uint64_t m_storedChunks = 0;
  uint64_t m_deflatedChunks = 0;
  ZipCRC m_fileCrc;
};
