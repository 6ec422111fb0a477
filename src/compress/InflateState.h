#pragma once

#include <cstdint>

#include "base/LogBase.h"

class DataSource;
class DecodeTable;
class Output;
class ProgressMonitor;

// Resumable decoder for one deflate stream (RFC 1951), optionally zlib-wrapped (RFC 1950), with
// the 64 KiB-window variant known as Deflate64 ("enhanced"). Input may arrive in pieces of any
// size: every bit of decoding state is kept between pieces. Decoded bytes collect in the sliding
// window and go to the Output whenever the window fills and at the end of each piece.
class InflateState {
 public:
  InflateState();
  virtual ~InflateState();
  InflateState(const InflateState &) = delete;
  InflateState &operator=(const InflateState &) = delete;

  // Before the first piece: a raw stream starts at a block header instead of the zlib header,
  // and the 64 KiB window selects the enhanced length and distance codes.
  void useRawDeflate();
  void useEnhancedWindow();

  // Decodes as far as this piece allows. False on a decode error, a failed output write or when
  // the window cannot be allocated.
  bool inflateBlock(const uint8_t *input, uint32_t length, Output &output, ProgressMonitor *monitor,
                    LogBase &log);
  // Pulls pieces of `pieceSize` bytes (0: 32 KiB) from the source until the stream finishes or
  // the source ends. A source that ends early yields true with what was decoded so far.
  bool inflateSource(DataSource &source, uint32_t pieceSize, Output &output, ProgressMonitor *monitor,
                     LogBase &log);

  bool isFinished() const { return m_finished != 0; }
  uint32_t receivedAdler() const { return m_receivedAdler; }

 private:
  enum Step { kContinue, kNeedMore, kStop, kFailed };

  bool decodeLoop(const uint8_t *&in, const uint8_t *end);
  Step runState(const uint8_t *&in, const uint8_t *end);
  Step blockHeader();
  Step codeLengthCode();
  Step codeLengths();
  Step repeatCode();
  Step literalLength();
  Step distanceExtra();
  Step storedCopy(const uint8_t *&in, const uint8_t *end);
  Step zlibTrailer(const uint8_t *&in, const uint8_t *end);
  // The hot path while at least a few dozen input bytes remain: same tables, same window and
  // flush points, but a 64-bit bit buffer. Anything unusual is left to the state machine.
  bool decodeFast(const uint8_t *&in, const uint8_t *end);

  bool putByte(uint8_t byte, int errorNumber);
  bool copyMatch(uint32_t distance, uint32_t length);
  bool flushFullWindow();
  bool flushPending();
  void dropBits(uint32_t count);
  void freeBlockTables();
  bool buildBlockTables();
  // Logs decode error `number` and keeps the decoder failed; returns false.
  bool decodeError(int number);
  Step failWith(int number);

  DecodeTable *m_literalTable = nullptr;
  DecodeTable *m_distanceTable = nullptr;
  DecodeTable *m_codeLengthTable = nullptr;
  uint8_t m_zlibMode = 0;
  uint32_t m_receivedAdler = 0;
  uint8_t m_lastBlock = 0;
  uint8_t m_finished = 0;
  uint32_t m_windowSize = 32768;
  int m_state = 0;
  int m_symbol = 0;
  int m_hlit = 0;
  int m_hdist = 0;
  int m_hclen = 0;
  int m_lengthIndex = 0;
  int m_repeatBits = 0;
  int m_repeatBase = 0;
  uint32_t m_matchLength = 0;
  int m_repeatValue = 0;
  uint32_t m_storedLength = 0;
  uint8_t m_codeLengthLengths[19] = {};
  uint8_t m_codeLengths[320] = {};
  uint32_t m_bitBuffer = 0;
  uint32_t m_bitCount = 0;
  uint8_t *m_window = nullptr;
  uint32_t m_windowPos = 0;
  uint32_t m_flushedPos = 0;
  // Set once the window has wrapped: from then on every distance has history behind it.
  bool m_wrapped = false;
  // A failed decoder keeps failing with the same number.
  int m_errorNumber = 0;

  // Where the current inflateBlock call writes and reports.
  Output *m_output = nullptr;
  ProgressMonitor *m_monitor = nullptr;
  LogBase *m_log = nullptr;
};
