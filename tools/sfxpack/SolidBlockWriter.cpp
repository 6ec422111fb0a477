#include "SolidBlockWriter.h"

#include "BlockCompressor.h"
#include "CompressionPool.h"
#include "LittleEndian.h"
#include "MessageEncryptors.h"
#include "SourceFile.h"
#include "archive/SolidFormat.h"
#include "base/ZipCRC.h"

namespace {
// The x86 filter is tried on blocks that are at least this share executable code (1/n).
constexpr uint64_t kExecutableShare = 4;

// Windows programs and libraries (MZ) and ELF ones: the x86 filter may find their calls.
bool isExecutable(const std::string &start) {
  return start.compare(0, 2, "MZ") == 0 || start.compare(0, 4, "\x7F" "ELF") == 0;
}

void sealBlock(ChunkJob &job, BlockCompressor &compressor, const MessageEncryptor &encryptor) {
  if (!compressor.compress(job.raw, job.executable, job.body, job.error)) {
    job.failed = true;
    return;
  }
  encryptJobBody(encryptor, job);
}
}  // namespace

SolidBlockWriter::SolidBlockWriter(Emit emit, const SolidPolicy &policy, const MessageEncryptor &encryptor,
                                   const std::vector<uint32_t> *expectedCrcs, PackCounters &counters,
                                   const std::function<void(const PackCounters &)> &onProgress)
    : m_emit(std::move(emit)),
      m_policy(policy),
      m_encryptor(encryptor),
      m_expectedCrcs(expectedCrcs),
      m_counters(counters),
      m_onProgress(onProgress) {}

bool SolidBlockWriter::emitU32(uint32_t value, std::string &error) {
  std::string word;
  appendLittleEndian(word, value, 4);
  return m_emit(word, error);
}

bool SolidBlockWriter::startPool(std::string &error) {
  std::vector<ChunkTask> tasks;
  for (int i = 0; i < m_policy.jobs; ++i) {
    auto compressor = std::make_shared<BlockCompressor>(m_policy.codec, m_policy.level, m_policy.blockSize);
    if (!compressor->ready()) {
      error = "Out of memory for the block compressor.";
      return false;
    }
    tasks.push_back([compressor, this](ChunkJob &job) { sealBlock(job, *compressor, m_encryptor); });
  }
  // One block being compressed per worker and one waiting: the memory stays a fixed number of
  // blocks, however large the files.
  m_pool = std::make_unique<CompressionPool>(std::move(tasks), size_t(2 * m_policy.jobs));
  return true;
}

bool SolidBlockWriter::submit(std::string &block, uint64_t executableBytes, std::string &error) {
  if (block.empty()) return true;
  if (!m_pool && !startPool(error)) return false;
  while (m_pool->full()) {
    if (!writeOldest(error)) return false;
  }
  auto job = std::make_unique<ChunkJob>();
  job->executable = executableBytes * kExecutableShare >= block.size();
  job->place = MessagePlace::block(m_blocksSubmitted++);
  job->raw.swap(block);
  block.clear();
  block.reserve(m_policy.blockSize);
  m_counters.inputBytes += job->raw.size();
  m_pool->submit(std::move(job));
  return true;
}

bool SolidBlockWriter::writeOldest(std::string &error) {
  std::unique_ptr<ChunkJob> job = m_pool->takeOldestDone(error);
  if (job == nullptr) return false;
  if (job->body.size() > 0xFFFFFFFFu) {
    error = "A compressed block does not fit the payload format; use a smaller --block-size.";
    return false;
  }
  if (!emitU32(uint32_t(job->body.size()), error) || !emitU32(uint32_t(job->raw.size()), error) ||
      !m_emit(job->body, error)) {
    return false;
  }
  ++m_counters.blocks;
  if (m_onProgress) m_onProgress(m_counters);
  return true;
}

bool SolidBlockWriter::copyFile(const PackEntry &entry, uint64_t size, uint32_t expectedCrc, std::string &block,
                                uint64_t &executableBytes, std::string &error) {
  SourceFile in;
  if (!in.open(entry.sourcePath, error)) return false;
  ZipCRC crc;
  uint64_t total = 0;
  bool executable = false;
  for (;;) {
    const size_t room = m_policy.blockSize - block.size();
    std::string piece;
    if (!in.read(room, piece, error)) return false;
    if (total == 0) executable = isExecutable(piece);
    crc.update(piece.data(), uint32_t(piece.size()));
    total += piece.size();
    if (executable) executableBytes += piece.size();
    block += piece;
    if (block.size() == m_policy.blockSize) {
      if (!submit(block, executableBytes, error)) return false;
      executableBytes = 0;
    }
    if (piece.size() < room) break;
  }
  if (total != size || (m_expectedCrcs != nullptr && crc.value() != expectedCrc)) {
    error = entry.sourcePath + " changed while it was being packed";
    return false;
  }
  ++m_counters.files;
  return true;
}

bool SolidBlockWriter::write(const std::vector<std::pair<PackEntry, uint64_t>> &files, std::string &error) {
  if (m_expectedCrcs != nullptr && m_expectedCrcs->size() != files.size()) {
    error = "internal error: check values and files differ in number";
    return false;
  }
  uint64_t total = 0;
  for (const auto &file : files) total += file.second;
  const uint32_t largest = total < m_policy.blockSize ? uint32_t(total) : m_policy.blockSize;
  if (!emitU32(largest, error)) return false;
  std::string block;
  block.reserve(m_policy.blockSize);
  uint64_t executableBytes = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    const uint32_t expected = m_expectedCrcs != nullptr ? (*m_expectedCrcs)[i] : 0;
    if (!copyFile(files[i].first, files[i].second, expected, block, executableBytes, error)) return false;
  }
  if (!submit(block, executableBytes, error)) return false;
  while (m_pool && !m_pool->empty()) {
    if (!writeOldest(error)) return false;
  }
  return emitU32(0, error);
}
