#include "compress/ChunkInflater.h"

#include <cstdlib>
#include <cstring>

#include "compress/DeflateCodes.h"
#include "compress/DeflateSymbols.h"
#include "compress/InflateState.h"
#include "compress/Output.h"

using namespace packed_code;

namespace {
constexpr uint32_t kWindow = 32768;
// What a match copy may write past its end (whole words) plus the longest match, beyond the
// point where the next write is due.
constexpr uint32_t kOutputSlack = 512;
// A piece, the window before it, and how far past the piece's end its write may be due.
constexpr uint32_t kBufferSize = ChunkInflater::kWriteSize + 2 * kWindow + kOutputSlack;
// Bytes the bit reader may load past its position between two checks of the input left.
constexpr uint32_t kInputMargin = 32;
// The last input bytes are decoded from a copy followed by zeros, so that refills never read
// past the input; bits taken from the zeros are caught before they can count.
constexpr uint32_t kTailBytes = 128;

struct FixedTables {
  uint32_t literal[1u << kLiteralRootBits];
  uint32_t distance[1u << kDistanceRootBits];
};

// The fixed code's lengths fit the roots, so its tables need no sub-tables.
const FixedTables &fixedTables() {
  static const FixedTables tables = [] {
    FixedTables t;
    uint8_t lengths[288];
    for (uint32_t s = 0; s < 288; ++s) lengths[s] = deflate_codes::fixedLiteralLength(s);
    build(Alphabet::kLiteralLength, lengths, 288, kLiteralRootBits, t.literal);
    std::memset(lengths, deflate_codes::kFixedDistanceLength, 32);
    build(Alphabet::kDistance, lengths, 32, kDistanceRootBits, t.distance);
    return t;
  }();
  return tables;
}
}  // namespace

// The input position and the pending bits, least significant first. After a refill at least 56
// bits are held: enough for three literals, or a length and a distance with their extra bits.
struct ChunkInflater::BitCursor {
  const uint8_t *in;
  // Past this position a refill first has to move the reader to the tail copy.
  const uint8_t *limit;
  // The end of the real input, in the tail copy once the reader has moved there.
  const uint8_t *end;
  uint64_t bits;
  uint32_t count;
  bool inTail;
  uint8_t tail[kTailBytes];

  void start(const uint8_t *input, uint32_t size) {
    in = input;
    end = input + size;
    bits = 0;
    count = 0;
    inTail = false;
    if (size >= kInputMargin) {
      limit = end - kInputMargin;
    } else {
      moveToTail();
    }
  }

  // Without a branch: loads a word, keeps the whole bytes that fit above the bits held and
  // steps over them. Bits above `count` are the next byte's, loaded again the same next time.
  void refill() {
    bits |= deflate_symbols::loadWord(in) << count;
    in += (63 - count) >> 3;
    count |= 56;
  }

  // False when the reader is already in the tail copy and far past the input's end.
  bool refillChecked() {
    if (in > limit && !moveToTail()) return false;
    refill();
    return true;
  }

  bool moveToTail() {
    if (inTail) return false;
    // The bytes whose bits are still held come along, so that a stored block can step back.
    const uint32_t held = count >> 3;
    const uint8_t *from = in - held;
    const uint32_t n = uint32_t(end - from);
    if (n > 0) std::memcpy(tail, from, n);
    std::memset(tail + n, 0, kTailBytes - n);
    in = tail + held;
    end = tail + n;
    limit = tail + kTailBytes - kInputMargin;
    inTail = true;
    return true;
  }

  // Bits were taken from past the input's end.
  bool overran() const { return in > end && uint64_t(in - end) * 8 > count; }

  void drop(uint32_t n) {
    bits >>= n;
    count -= n;
  }

  void alignToByte() {
    drop(count & 7);
    in -= count >> 3;
    bits = 0;
    count = 0;
  }
};

// The sink InflateState writes to when it decodes a chunk: the same buffer and the same writes
// as the fast decoder.
class ChunkInflater::Collector : public Output {
 public:
  explicit Collector(ChunkInflater &owner) : m_owner(owner) {}
  bool rawWrite(const uint8_t *data, uint32_t length, ProgressMonitor *, LogBase &) override {
    while (length > 0) {
      uint32_t n = uint32_t(m_owner.writePoint() - m_owner.m_out);
      if (n > length) n = length;
      std::memcpy(m_owner.m_out, data, n);
      m_owner.m_out += n;
      data += n;
      length -= n;
      if (m_owner.streamPosition() > m_owner.m_pieceEnd && !m_owner.passOnPiece()) return false;
    }
    return true;
  }

 private:
  ChunkInflater &m_owner;
};

ChunkInflater::~ChunkInflater() { std::free(m_buffer); }

bool ChunkInflater::inflate(const uint8_t *in, uint32_t inSize, Output &output, ProgressMonitor *monitor,
                            LogBase &log) {
  m_output = &output;
  m_monitor = monitor;
  m_log = &log;
  m_produced = 0;
  m_writesDone = 0;
  m_failedWrite = -1;
  if (m_buffer == nullptr) {
    m_buffer = static_cast<uint8_t *>(std::malloc(kBufferSize));
    if (m_buffer == nullptr) {
      log.logMemoryFailure(1, kWriteSize);
      return false;
    }
  }
  // A monitor is asked at every window flush of the resumable decoder: only it keeps that rhythm.
  if (monitor == nullptr && decodeFast(in, inSize) == Outcome::kDone) return true;
  return decodeCarefully(in, inSize);
}

void ChunkInflater::startPass() {
  m_out = m_buffer;
  m_base = 0;
  m_pieceEnd = kWriteSize;
  m_writeIndex = 0;
  m_targetFailed = false;
}

uint8_t *ChunkInflater::writePoint() const {
  return m_buffer + ((m_pieceEnd / kWindow + 1) * kWindow - m_base);
}

bool ChunkInflater::passOnPiece() {
  if (!writeOut(m_buffer + (m_pieceEnd - kWriteSize - m_base), kWriteSize)) return false;
  const size_t keepFrom = size_t(m_pieceEnd - kWindow - m_base);
  std::memmove(m_buffer, m_buffer + keepFrom, size_t(m_out - m_buffer) - keepFrom);
  m_out -= keepFrom;
  m_base += keepFrom;
  m_pieceEnd += kWriteSize;
  return true;
}

bool ChunkInflater::passOnRest() {
  if (streamPosition() > m_pieceEnd && !passOnPiece()) return false;
  const uint64_t pieceStart = m_pieceEnd - kWriteSize;
  return writeOut(m_buffer + (pieceStart - m_base), uint32_t(streamPosition() - pieceStart));
}

bool ChunkInflater::writeOut(const uint8_t *data, uint32_t length) {
  if (length == 0) return true;
  const uint32_t index = m_writeIndex++;
  // A second pass repeats the first one's writes: the output already has them, or refused one.
  if (index < m_writesDone) return true;
  if (int64_t(index) == m_failedWrite || !m_output->write(data, length, m_monitor, *m_log)) {
    m_failedWrite = index;
    m_targetFailed = true;
    return false;
  }
  m_writesDone = index + 1;
  m_produced += length;
  return true;
}

bool ChunkInflater::decodeCarefully(const uint8_t *in, uint32_t inSize) {
  ++m_carefulChunks;
  startPass();
  Collector sink(*this);
  InflateState inflater;
  inflater.useRawDeflate();
  if (!inflater.inflateBlock(in, inSize, sink, m_monitor, *m_log)) {
    m_log->logError(m_targetFailed ? "Failed to write file data." : "Failed to inflate compressed data.");
    return false;
  }
  if (!inflater.isFinished()) {
    m_log->logError("Compressed data ends before its final block.");
    return false;
  }
  if (!passOnRest()) {
    m_log->logError("Failed to write file data.");
    return false;
  }
  return true;
}

ChunkInflater::Outcome ChunkInflater::decodeFast(const uint8_t *in, uint32_t inSize) {
  startPass();
  BitCursor cursor;
  cursor.start(in, inSize);
  for (;;) {
    if (!cursor.refillChecked()) return Outcome::kRedo;
    const bool last = (cursor.bits & 1) != 0;
    const uint32_t type = cursor.bits >> 1 & 3;
    cursor.drop(3);
    Outcome outcome = Outcome::kRedo;
    if (type == 0) {
      outcome = copyStored(cursor);
    } else if (type == 1) {
      outcome = decodeBlock(cursor, fixedTables().literal, fixedTables().distance);
    } else if (type == 2 && readDynamicTables(cursor)) {
      outcome = decodeBlock(cursor, m_literalTable, m_distanceTable);
    }
    if (outcome == Outcome::kRedo) return outcome;
    if (last) break;
  }
  if (cursor.overran()) return Outcome::kRedo;
  return passOnRest() ? Outcome::kDone : Outcome::kRedo;
}

ChunkInflater::Outcome ChunkInflater::copyStored(BitCursor &cursor) {
  cursor.alignToByte();
  if (cursor.end - cursor.in < 4) return Outcome::kRedo;
  const uint32_t length = cursor.in[0] | uint32_t(cursor.in[1]) << 8;
  const uint32_t check = cursor.in[2] | uint32_t(cursor.in[3]) << 8;
  if (check != (length ^ 0xFFFF)) return Outcome::kRedo;
  cursor.in += 4;
  if (uint32_t(cursor.end - cursor.in) < length) return Outcome::kRedo;
  for (uint32_t left = length; left > 0;) {
    uint8_t *const due = writePoint();
    if (m_out >= due) {
      if (!passOnPiece()) return Outcome::kRedo;
      continue;
    }
    uint32_t n = uint32_t(due - m_out);
    if (n > left) n = left;
    std::memcpy(m_out, cursor.in, n);
    m_out += n;
    cursor.in += n;
    left -= n;
  }
  return Outcome::kDone;
}

bool ChunkInflater::readDynamicTables(BitCursor &cursor) {
  if (!cursor.refillChecked()) return false;
  const uint32_t hlit = 257 + uint32_t(cursor.bits & 31);
  const uint32_t hdist = 1 + uint32_t(cursor.bits >> 5 & 31);
  const uint32_t hclen = 4 + uint32_t(cursor.bits >> 10 & 15);
  cursor.drop(14);
  uint8_t codeLengthLengths[19] = {};
  for (uint32_t i = 0; i < hclen; ++i) {
    if (cursor.count < 3 && !cursor.refillChecked()) return false;
    codeLengthLengths[deflate_codes::kCodeLengthOrder[i]] = uint8_t(cursor.bits & 7);
    cursor.drop(3);
  }
  if (!build(Alphabet::kCodeLength, codeLengthLengths, 19, kCodeLengthRootBits, m_codeLengthTable))
    return false;
  const uint32_t total = hlit + hdist;
  for (uint32_t i = 0; i < total;) {
    // A code of at most 7 bits and at most 7 extra bits.
    if (cursor.count < 14 && !cursor.refillChecked()) return false;
    const uint32_t entry = m_codeLengthTable[cursor.bits & ((1u << kCodeLengthRootBits) - 1)];
    if (entry & kUnusable) return false;
    cursor.drop(dropBits(entry));
    const uint32_t symbol = entry >> 16;
    if (symbol < 16) {
      m_lengths[i++] = uint8_t(symbol);
      continue;
    }
    uint32_t repeat = 0;
    uint8_t value = 0;
    if (symbol == 16) {
      value = i == 0 ? 0 : m_lengths[i - 1];
      repeat = 3 + uint32_t(cursor.bits & 3);
      cursor.drop(2);
    } else if (symbol == 17) {
      repeat = 3 + uint32_t(cursor.bits & 7);
      cursor.drop(3);
    } else {
      repeat = 11 + uint32_t(cursor.bits & 127);
      cursor.drop(7);
    }
    // A repeat running past the last length stops there.
    for (; repeat > 0 && i < total; --repeat) m_lengths[i++] = value;
  }
  return build(Alphabet::kLiteralLength, m_lengths, hlit, kLiteralRootBits, m_literalTable) &&
         build(Alphabet::kDistance, m_lengths + hlit, hdist, kDistanceRootBits, m_distanceTable);
}

ChunkInflater::Outcome ChunkInflater::decodeBlock(BitCursor &cursor, const uint32_t *literals,
                                                  const uint32_t *distances) {
  using deflate_symbols::Stop;
  for (;;) {
    deflate_symbols::Run run{cursor.in,    cursor.limit, cursor.bits, cursor.count, m_out,
                             writePoint(), m_buffer,     literals,    distances};
    const Stop stop = deflate_symbols::decode(run);
    cursor.in = run.in;
    cursor.bits = run.bits;
    cursor.count = run.count;
    m_out = run.out;
    switch (stop) {
      case Stop::kEndOfBlock:
        return Outcome::kDone;
      case Stop::kOdd:
        return Outcome::kRedo;
      case Stop::kInputLow:
        if (!cursor.moveToTail()) return Outcome::kRedo;
        break;
      case Stop::kWriteDue:
        if (cursor.overran() || !passOnPiece()) return Outcome::kRedo;
        break;
    }
  }
}
