// The block section of a solid payload, read in payload order and handed out as the files'
// contents, one file after the other. Each block is read whole, unsealed (decrypted as one
// message) and decoded into a buffer of its declared size; with workers, the blocks after the
// one being written are decoded on them meanwhile, a fixed number in flight, so that memory
// stays a few blocks whatever the payload.
//
// Owned and called by the run thread (the one that calls unzipNextEntry); the workers reach the
// blocks only as DecodeJobs through ChunkWorkers.
#pragma once

#include <cstdint>
#include <memory>

#include "archive/ChunkWorkers.h"
#include "base/LogBase.h"
#include "compress/BlockDecoder.h"

class EntryCipher;
class Output;
class PayloadReader;
class ProgressMonitor;
class SaProgress;

// The one step that undoes a block's protection, on the run thread and on the workers alike:
// the block is one message, decrypted in place under the classic scheme and opened at its place
// (its index in the payload) under the sealed one; with no cipher (a plain payload) it is left as
// it is.
bool unsealBlock(EntryCipher *cipher, uint32_t blockIndex, DataBuffer &data, LogBase &log);

class SolidBlockReader {
 public:
  // `cipher` is null for a plain payload; the reader and the cipher outlive this object.
  SolidBlockReader(PayloadReader &reader, BlockCodec codec, EntryCipher *cipher);
  ~SolidBlockReader();
  SolidBlockReader(const SolidBlockReader &) = delete;
  SolidBlockReader &operator=(const SolidBlockReader &) = delete;

  // Reads the section's first word, the largest block, which bounds every decoder.
  bool start(ProgressMonitor *monitor, LogBase &log);
  // Decodes ahead on these workers from now on (null: everything on this thread).
  void useWorkers(ChunkWorkers *workers) { m_workers = workers; }

  // Writes the next `size` bytes of the stream to `output`. `pending` archive bytes (the
  // entry's record) are reported with the first progress call, as are the stored bytes of each
  // block when its first byte is written.
  bool copy(uint64_t size, Output &output, uint32_t pending, SaProgress *progress, ProgressMonitor *monitor,
            LogBase &log);
  // After the last file: true when its last byte was the last byte of the last block.
  bool finish(ProgressMonitor *monitor, LogBase &log);

 private:
  // Makes the next block current; false at a damaged one, or when there is none.
  bool nextBlock(ProgressMonitor *monitor, LogBase &log);
  // Reads the next block into `job`; false with `ended` set at the section's end.
  bool readBlock(DecodeJob &job, bool &ended, ProgressMonitor *monitor, LogBase &log);
  bool decodeHere(DecodeJob &job, LogBase &log);
  void releaseCurrent();

  PayloadReader &m_reader;
  const BlockCodec m_codec;
  EntryCipher *m_cipher;
  // Blocks read so far: the next one's index, which a sealed block is bound to.
  uint32_t m_blocksRead = 0;
  ChunkWorkers *m_workers = nullptr;
  uint32_t m_blockLimit = 0;
  std::unique_ptr<BlockDecoder> m_decoder;
  // The block without workers; with them, the current one is the oldest job in flight.
  DecodeJob m_local;
  DecodeJob *m_current = nullptr;
  uint32_t m_used = 0;
  bool m_ended = false;
  uint64_t m_unreported = 0;
};
