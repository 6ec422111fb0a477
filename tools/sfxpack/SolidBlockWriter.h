// The block section of a solid payload: the contents of the files, in entry order, cut into
// blocks of a fixed size, each compressed (and encrypted) by itself on worker threads and
// written in order, so that the bytes are the same for any number of jobs.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "PayloadWriter.h"

class SolidBlockWriter {
 public:
  // Writes the payload's bytes through `emit`, which counts them. `expectedCrcs`, when not
  // null, holds the CRC-32 each file had when its check value was taken: a file whose contents
  // differ now fails the build.
  using Emit = std::function<bool(const std::string &bytes, std::string &error)>;
  SolidBlockWriter(Emit emit, const SolidPolicy &policy, const MessageEncryptor &encryptor,
                   const std::vector<uint32_t> *expectedCrcs, PackCounters &counters,
                   const std::function<void(const PackCounters &)> &onProgress);

  // `files` are the file entries with the sizes their records declared.
  bool write(const std::vector<std::pair<PackEntry, uint64_t>> &files, std::string &error);

 private:
  bool startPool(std::string &error);
  bool submit(std::string &block, uint64_t executableBytes, std::string &error);
  bool writeOldest(std::string &error);
  bool emitU32(uint32_t value, std::string &error);
  bool copyFile(const PackEntry &entry, uint64_t size, uint32_t expectedCrc, std::string &block,
                uint64_t &executableBytes, std::string &error);

  Emit m_emit;
  const SolidPolicy &m_policy;
  const MessageEncryptor &m_encryptor;
  const std::vector<uint32_t> *m_expectedCrcs;
  PackCounters &m_counters;
  const std::function<void(const PackCounters &)> &m_onProgress;
  std::unique_ptr<CompressionPool> m_pool;
  // Blocks handed to the pool: the next one's index, which a sealed block is bound to.
  uint32_t m_blocksSubmitted = 0;
};
