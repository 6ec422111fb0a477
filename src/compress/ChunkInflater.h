#pragma once

#include <cstdint>

#include "base/LogBase.h"
#include "compress/PackedCodeTable.h"

class Output;
class ProgressMonitor;

// Decodes one whole raw-deflate stream held in memory (a payload chunk), 32 KiB window, fast:
// straight into one large buffer whose own tail serves as the window, with a 64-bit bit buffer
// and tables that resolve a symbol and its extra bits in one lookup. Whatever the input, the
// outcome is that of InflateState on the same bytes followed by a check that the final block
// was reached: the same bytes in the same writes, the same log lines, the same result. Anything
// the fast decoder does not vouch for (a damaged or truncated stream, an over-subscribed code,
// a failed write, a progress monitor to consult) is decoded again by InflateState, which then
// reports, skipping the writes already made.
//
// One object per thread; reuse it for chunk after chunk (it keeps its buffer, about 2.1 MB).
class ChunkInflater {
 public:
  // The largest write made; a chunk that expands further is written in pieces of this size.
  static constexpr uint32_t kWriteSize = 2048576;

  ChunkInflater() = default;
  ~ChunkInflater();
  ChunkInflater(const ChunkInflater &) = delete;
  ChunkInflater &operator=(const ChunkInflater &) = delete;

  // Decodes in[0..inSize) and writes everything to `output`. On failure logs the decoder's
  // messages followed by one of "Failed to inflate compressed data.", "Failed to write file
  // data." or "Compressed data ends before its final block."; no memory for the buffer is
  // logged as a memory failure.
  bool inflate(const uint8_t *in, uint32_t inSize, Output &output, ProgressMonitor *monitor, LogBase &log);
  // Bytes the last inflate() wrote to its output.
  uint64_t produced() const { return m_produced; }
  // Chunks so far that the fast decoder handed to the resumable one: damaged ones, those with a
  // monitor, and any it could not vouch for. Sound streams from a common compressor never go.
  uint64_t carefulChunks() const { return m_carefulChunks; }

 private:
  class Collector;
  struct BitCursor;
  enum class Outcome { kDone, kRedo };

  Outcome decodeFast(const uint8_t *in, uint32_t inSize);
  Outcome decodeBlock(BitCursor &cursor, const uint32_t *literals, const uint32_t *distances);
  Outcome copyStored(BitCursor &cursor);
  bool readDynamicTables(BitCursor &cursor);
  bool decodeCarefully(const uint8_t *in, uint32_t inSize);

  // The buffer holds the stream from m_base on: what the next write takes, after the window.
  void startPass();
  uint64_t streamPosition() const { return m_base + uint64_t(m_out - m_buffer); }
  // Where the pass next hands a full write to the output: the first 32 KiB boundary past the
  // write's end, which is where the resumable decoder's window flush passes it on.
  uint8_t *writePoint() const;
  // Writes the full piece that ends at m_pieceEnd and keeps the window behind the next one.
  bool passOnPiece();
  // At the stream's end: what is still held, as the final writes.
  bool passOnRest();
  bool writeOut(const uint8_t *data, uint32_t length);

  uint8_t *m_buffer = nullptr;
  uint8_t *m_out = nullptr;
  uint64_t m_base = 0;
  uint64_t m_pieceEnd = 0;

  // Writes of this inflate(): counted per pass; a second pass skips those the first made.
  uint32_t m_writeIndex = 0;
  uint32_t m_writesDone = 0;
  int64_t m_failedWrite = -1;
  bool m_targetFailed = false;
  uint64_t m_produced = 0;
  uint64_t m_carefulChunks = 0;

  Output *m_output = nullptr;
  ProgressMonitor *m_monitor = nullptr;
  LogBase *m_log = nullptr;

  uint8_t m_lengths[320];
  uint32_t m_literalTable[packed_code::kLiteralEntries];
  uint32_t m_distanceTable[packed_code::kDistanceEntries];
  uint32_t m_codeLengthTable[packed_code::kCodeLengthEntries];
};
