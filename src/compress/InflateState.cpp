#include "compress/InflateState.h"

#include <cstdlib>
#include <cstring>

#include "compress/DataSource.h"
#include "compress/DecodeTable.h"
#include "compress/DeflateCodes.h"
#include "compress/Output.h"
#include "compress/ProgressMonitor.h"

namespace {
enum State {
  kZlibHeader,
  kBlockHeader,
  kDynamicHeader,
  kCodeLengthCode,
  kCodeLengths,
  kRepeat,
  kLiteralLength,
  kLengthExtra,
  kDistance,
  kDistanceExtra,
  kStoredLength,
  kStoredCheck,
  kStoredCopy,
  kZlibTrailer,
};

constexpr uint32_t kEnhancedWindow = 65536;
constexpr uint32_t kBitBufferTarget = 24;
// Input the fast path wants in hand: two 8-byte refills per iteration with room to spare.
constexpr uint32_t kFastInputMargin = 16;

struct CodeRow {
  uint32_t base;
  uint32_t extraBits;
};

struct RowTables {
  CodeRow length[29];
  CodeRow distance[32];
  uint32_t distanceCount;
};

// Deflate64 differs in three rows: length 285 carries 16 extra bits from base 3, and distance
// symbols 30 and 31 exist.
constexpr RowTables makeRows(bool enhanced) {
  using namespace deflate_codes;
  RowTables rows{};
  for (int i = 0; i < 29; ++i) rows.length[i] = CodeRow{kLengthBase[i], kLengthExtraBits[i]};
  for (int i = 0; i < 32; ++i) rows.distance[i] = CodeRow{kDistanceBase[i], kDistanceExtraBits[i]};
  if (enhanced) rows.length[28] = CodeRow{3, 16};
  rows.distanceCount = enhanced ? 32 : 30;
  return rows;
}
constexpr RowTables kDeflateRows = makeRows(false);
constexpr RowTables kEnhancedRows = makeRows(true);

struct FixedTables {
  DecodeTable *literal;
  DecodeTable *distance;
};

// The fixed code's tables, built on first use and shared by every decoder for good.
const FixedTables &fixedTables() {
  static const FixedTables tables = [] {
    uint8_t literal[288];
    for (int s = 0; s < 288; ++s) literal[s] = deflate_codes::fixedLiteralLength(s);
    uint8_t distance[32];
    std::memset(distance, deflate_codes::kFixedDistanceLength, sizeof distance);
    return FixedTables{DecodeTable::build(literal, 288), DecodeTable::build(distance, 32)};
  }();
  return tables;
}

bool isShared(const DecodeTable *table) {
  return table == fixedTables().literal || table == fixedTables().distance;
}

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the bit reader loads input words little-endian");

uint64_t load64le(const uint8_t *p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

void copy8(uint8_t *dst, const uint8_t *src) {
  uint64_t v;
  std::memcpy(&v, src, 8);
  std::memcpy(dst, &v, 8);
}

void copy4(uint8_t *dst, const uint8_t *src) {
  uint32_t v;
  std::memcpy(&v, src, 4);
  std::memcpy(dst, &v, 4);
}

// Copies `n` bytes as a byte-at-a-time loop would, so that a source overlapping the destination
// from behind repeats the bytes just written.
void copyForward(uint8_t *dst, const uint8_t *src, uint32_t n) {
  if (src >= dst) {
    std::memmove(dst, src, n);
    return;
  }
  size_t gap = size_t(dst - src);
  if (gap == 1) {
    std::memset(dst, *src, n);
    return;
  }
  if (n < 8) {
    if (gap >= 8 && n >= 4) {
      copy4(dst, src);
      copy4(dst + n - 4, src + n - 4);
    } else {
      for (uint32_t i = 0; i < n; ++i) dst[i] = src[i];
    }
    return;
  }
  if (gap >= 8) {
    uint32_t done = 0;
    for (; done + 8 <= n; done += 8) copy8(dst + done, src + done);
    if (done < n) copy8(dst + n - 8, src + n - 8);
    return;
  }
  // Lay down the first 8 bytes; the pattern then also repeats at the first multiple of the gap
  // that is at least 8, far enough back for whole 8-byte moves.
  uint32_t done = 0;
  for (; done < 8; ++done) dst[done] = src[done];
  size_t stride = (8 + gap - 1) / gap * gap;
  for (; done + 8 <= n; done += 8) copy8(dst + done, dst + done - stride);
  for (; done < n; ++done) dst[done] = dst[done - gap];
}
}  // namespace

InflateState::InflateState() { fixedTables(); }

InflateState::~InflateState() {
  freeBlockTables();
  delete m_codeLengthTable;
  std::free(m_window);
}

void InflateState::useRawDeflate() { m_state = kBlockHeader; }

void InflateState::useEnhancedWindow() { m_windowSize = kEnhancedWindow; }

void InflateState::freeBlockTables() {
  if (!isShared(m_literalTable)) delete m_literalTable;
  if (!isShared(m_distanceTable)) delete m_distanceTable;
  m_literalTable = nullptr;
  m_distanceTable = nullptr;
}

InflateState::Step InflateState::failWith(int number) {
  decodeError(number);
  return kFailed;
}

bool InflateState::decodeError(int number) {
  m_errorNumber = number;
  m_log->logDataInt("decodeErrNum", number);
  m_log->logError("inflate decode error.");
  return false;
}

void InflateState::dropBits(uint32_t count) {
  m_bitBuffer = count >= 32 ? 0 : m_bitBuffer >> count;
  m_bitCount -= count;
}

bool InflateState::flushFullWindow() {
  bool ok = m_output->write(m_window + m_flushedPos, m_windowSize - m_flushedPos, m_monitor, *m_log);
  m_windowPos = 0;
  m_flushedPos = 0;
  m_wrapped = true;
  return ok;
}

bool InflateState::flushPending() {
  if (m_windowPos <= m_flushedPos) return true;
  bool ok = m_output->write(m_window + m_flushedPos, m_windowPos - m_flushedPos, m_monitor, *m_log);
  m_flushedPos = m_windowPos;
  return ok;
}

bool InflateState::putByte(uint8_t byte, int errorNumber) {
  m_window[m_windowPos++] = byte;
  if (m_windowPos == m_windowSize && !flushFullWindow()) return decodeError(errorNumber);
  return true;
}

bool InflateState::copyMatch(uint32_t distance, uint32_t length) {
  const uint32_t size = m_windowSize;
  while (length > 0) {
    uint32_t from = (m_windowPos - distance) & (size - 1);
    uint32_t n = length;
    if (n > size - m_windowPos) n = size - m_windowPos;
    if (n > size - from) n = size - from;
    copyForward(m_window + m_windowPos, m_window + from, n);
    m_windowPos += n;
    length -= n;
    if (m_windowPos == size && !flushFullWindow()) return decodeError(6);
  }
  return true;
}

bool InflateState::buildBlockTables() {
  m_literalTable = DecodeTable::build(m_codeLengths, uint32_t(m_hlit));
  m_distanceTable = DecodeTable::build(m_codeLengths + m_hlit, uint32_t(m_hdist));
  delete m_codeLengthTable;
  m_codeLengthTable = nullptr;
  if (m_literalTable != nullptr && m_distanceTable != nullptr) return true;
  freeBlockTables();
  m_log->logMemoryFailure(1, sizeof(DecodeEntry) * 512);
  return false;
}

InflateState::Step InflateState::blockHeader() {
  if (m_lastBlock) {
    if (m_zlibMode) {
      m_state = kZlibTrailer;
      return kContinue;
    }
    m_finished = 1;
    return kStop;
  }
  if (m_bitCount < 3) return kNeedMore;
  m_lastBlock = m_bitBuffer & 1;
  uint32_t type = (m_bitBuffer >> 1) & 3;
  dropBits(3);
  switch (type) {
    case 0:
      dropBits(m_bitCount & 7);
      m_state = kStoredLength;
      return kContinue;
    case 1:
      if (fixedTables().literal == nullptr || fixedTables().distance == nullptr) {
        m_log->logMemoryFailure(2, sizeof(DecodeEntry) * 512);
        return kFailed;
      }
      m_literalTable = fixedTables().literal;
      m_distanceTable = fixedTables().distance;
      m_state = kLiteralLength;
      return kContinue;
    case 2:
      m_state = kDynamicHeader;
      return kContinue;
    default:
      return failWith(10);
  }
}

InflateState::Step InflateState::codeLengthCode() {
  while (m_lengthIndex < m_hclen) {
    if (m_bitCount < 3) return kNeedMore;
    m_codeLengthLengths[deflate_codes::kCodeLengthOrder[m_lengthIndex++]] = uint8_t(m_bitBuffer & 7);
    dropBits(3);
  }
  m_codeLengthTable = DecodeTable::build(m_codeLengthLengths, 19);
  if (m_codeLengthTable == nullptr) {
    m_log->logMemoryFailure(3, sizeof(DecodeEntry) * 128);
    return kFailed;
  }
  m_lengthIndex = 0;
  m_state = kCodeLengths;
  return kContinue;
}

InflateState::Step InflateState::codeLengths() {
  const int total = m_hlit + m_hdist;
  while (m_lengthIndex < total) {
    uint32_t used = 0;
    int symbol = m_codeLengthTable->decode(m_bitBuffer, m_bitCount, used);
    if (symbol == DecodeTable::kNeedMoreBits) return kNeedMore;
    if (symbol == DecodeTable::kInvalidCode) return failWith(2);
    dropBits(used);
    if (symbol < 16) {
      m_codeLengths[m_lengthIndex++] = uint8_t(symbol);
      continue;
    }
    if (symbol == 16) {
      m_repeatValue = m_lengthIndex == 0 ? 0 : m_codeLengths[m_lengthIndex - 1];
      m_repeatBits = 2;
      m_repeatBase = 3;
    } else {
      m_repeatValue = 0;
      m_repeatBits = symbol == 17 ? 3 : 7;
      m_repeatBase = symbol == 17 ? 3 : 11;
    }
    m_state = kRepeat;
    return kContinue;
  }
  if (!buildBlockTables()) return kFailed;
  m_state = kLiteralLength;
  return kContinue;
}

InflateState::Step InflateState::repeatCode() {
  if (m_bitCount < uint32_t(m_repeatBits)) return kNeedMore;
  int count = m_repeatBase + int(m_bitBuffer & ((1u << m_repeatBits) - 1));
  dropBits(uint32_t(m_repeatBits));
  const int total = m_hlit + m_hdist;
  for (; count > 0 && m_lengthIndex < total; --count) m_codeLengths[m_lengthIndex++] = uint8_t(m_repeatValue);
  m_state = kCodeLengths;
  return kContinue;
}

InflateState::Step InflateState::literalLength() {
  uint32_t used = 0;
  int symbol = m_literalTable->decode(m_bitBuffer, m_bitCount, used);
  if (symbol == DecodeTable::kNeedMoreBits) return kNeedMore;
  // Symbols 286 and 287 have codes in the fixed table but no meaning.
  if (symbol == DecodeTable::kInvalidCode || symbol > 285) return failWith(3);
  dropBits(used);
  if (symbol < 256) return putByte(uint8_t(symbol), 4) ? kContinue : kFailed;
  if (symbol == 256) {
    freeBlockTables();
    m_state = kBlockHeader;
    return kContinue;
  }
  m_symbol = symbol;
  m_state = kLengthExtra;
  return kContinue;
}

InflateState::Step InflateState::distanceExtra() {
  const RowTables &rows = m_windowSize == kEnhancedWindow ? kEnhancedRows : kDeflateRows;
  const CodeRow &row = rows.distance[m_symbol];
  if (m_bitCount < row.extraBits) return kNeedMore;
  uint32_t distance = row.base + (m_bitBuffer & ((1u << row.extraBits) - 1));
  // Nothing was produced that far back: copying would invent bytes.
  if (!m_wrapped && distance > m_windowPos) return failWith(9);
  dropBits(row.extraBits);
  m_state = kLiteralLength;
  return copyMatch(distance, m_matchLength) ? kContinue : kFailed;
}

InflateState::Step InflateState::storedCopy(const uint8_t *&in, const uint8_t *end) {
  while (m_storedLength > 0 && m_bitCount >= 8) {
    if (!putByte(uint8_t(m_bitBuffer), 8)) return kFailed;
    dropBits(8);
    --m_storedLength;
  }
  // Once the bit buffer is drained the bytes come straight from the input, a window run at a time.
  while (m_storedLength > 0 && m_bitCount == 0 && in < end) {
    uint32_t n = m_storedLength;
    if (n > uint32_t(end - in)) n = uint32_t(end - in);
    if (n > m_windowSize - m_windowPos) n = m_windowSize - m_windowPos;
    std::memcpy(m_window + m_windowPos, in, n);
    in += n;
    m_windowPos += n;
    m_storedLength -= n;
    if (m_windowPos == m_windowSize && !flushFullWindow()) return failWith(8);
  }
  if (m_storedLength > 0) return kNeedMore;
  m_state = kBlockHeader;
  return kContinue;
}

InflateState::Step InflateState::zlibTrailer(const uint8_t *&in, const uint8_t *end) {
  dropBits(m_bitCount & 7);
  while (m_bitCount < 32 && in < end) {
    m_bitBuffer |= uint32_t(*in++) << m_bitCount;
    m_bitCount += 8;
  }
  if (m_bitCount < 32) return kNeedMore;
  uint32_t b = m_bitBuffer;
  m_receivedAdler = (b & 0xFF) << 24 | (b >> 8 & 0xFF) << 16 | (b >> 16 & 0xFF) << 8 | b >> 24;
  dropBits(32);
  m_finished = 1;
  return kStop;
}

InflateState::Step InflateState::runState(const uint8_t *&in, const uint8_t *end) {
  const RowTables &rows = m_windowSize == kEnhancedWindow ? kEnhancedRows : kDeflateRows;
  switch (m_state) {
    case kZlibHeader: {
      if (m_bitCount < 16) return kNeedMore;
      m_zlibMode = 1;
      uint32_t header = (m_bitBuffer & 0xFF) << 8 | (m_bitBuffer >> 8 & 0xFF);
      if ((header & 0x0F00) != 0x0800 || (header & 0xF000) > 0x7000 || (header & 0x20) != 0 ||
          header % 31 != 0) {
        return failWith(1);
      }
      dropBits(16);
      m_state = kBlockHeader;
      return kContinue;
    }
    case kBlockHeader:
      return blockHeader();
    case kDynamicHeader:
      if (m_bitCount < 14) return kNeedMore;
      m_hlit = 257 + int(m_bitBuffer & 31);
      m_hdist = 1 + int(m_bitBuffer >> 5 & 31);
      m_hclen = 4 + int(m_bitBuffer >> 10 & 15);
      dropBits(14);
      std::memset(m_codeLengthLengths, 0, sizeof m_codeLengthLengths);
      m_lengthIndex = 0;
      m_state = kCodeLengthCode;
      return kContinue;
    case kCodeLengthCode:
      return codeLengthCode();
    case kCodeLengths:
      return codeLengths();
    case kRepeat:
      return repeatCode();
    case kLiteralLength:
      return literalLength();
    case kLengthExtra: {
      const CodeRow &row = rows.length[m_symbol - 257];
      if (m_bitCount < row.extraBits) return kNeedMore;
      m_matchLength = row.base + (m_bitBuffer & ((1u << row.extraBits) - 1));
      dropBits(row.extraBits);
      m_state = kDistance;
      return kContinue;
    }
    case kDistance: {
      uint32_t used = 0;
      int symbol = m_distanceTable->decode(m_bitBuffer, m_bitCount, used);
      if (symbol == DecodeTable::kNeedMoreBits) return kNeedMore;
      if (symbol == DecodeTable::kInvalidCode || uint32_t(symbol) >= rows.distanceCount) {
        return failWith(5);
      }
      dropBits(used);
      m_symbol = symbol;
      m_state = kDistanceExtra;
      return kContinue;
    }
    case kDistanceExtra:
      return distanceExtra();
    case kStoredLength:
      if (m_bitCount < 16) return kNeedMore;
      m_storedLength = m_bitBuffer & 0xFFFF;
      dropBits(16);
      m_state = kStoredCheck;
      return kContinue;
    case kStoredCheck:
      if (m_bitCount < 16) return kNeedMore;
      if ((m_bitBuffer & 0xFFFF) != (m_storedLength ^ 0xFFFF)) return failWith(7);
      dropBits(16);
      m_state = m_storedLength == 0 ? kBlockHeader : kStoredCopy;
      return kContinue;
    case kStoredCopy:
      return storedCopy(in, end);
    default:
      return zlibTrailer(in, end);
  }
}

bool InflateState::decodeFast(const uint8_t *&inRef, const uint8_t *end) {
  const RowTables &rows = m_windowSize == kEnhancedWindow ? kEnhancedRows : kDeflateRows;
  const DecodeTable *literals = m_literalTable;
  const DecodeTable *distances = m_distanceTable;
  const uint8_t *in = inRef;
  const uint8_t *const start = in;
  uint64_t bits = m_bitBuffer;
  uint32_t count = m_bitCount;
  uint8_t *const window = m_window;
  const uint32_t size = m_windowSize;
  uint32_t pos = m_windowPos;
  bool wrapped = m_wrapped;
  bool ok = true;
  auto windowFull = [&] {
    m_windowPos = pos;
    ok = flushFullWindow() || decodeError(4);
    pos = 0;
    wrapped = true;
    return ok;
  };

  while (uint32_t(end - in) >= kFastInputMargin) {
    // Branch-free refill: the bytes above `count` are real input, loaded again next time.
    bits |= load64le(in) << count;
    in += (63 - count) >> 3;
    count |= 56;

    uint32_t used = 0;
    int symbol = literals->decodeFull(bits, used);
    if (symbol >= 0 && symbol < 256) {
      bits >>= used;
      count -= used;
      window[pos++] = uint8_t(symbol);
      if (pos == size) {
        if (!windowFull()) break;
        continue;
      }
      // A refill leaves room for a second symbol, and for a whole length code after it.
      symbol = literals->decodeFull(bits, used);
      if (symbol >= 0 && symbol < 256) {
        bits >>= used;
        count -= used;
        window[pos++] = uint8_t(symbol);
        if (pos == size && !windowFull()) break;
        continue;
      }
    }
    if (symbol < 0) break;
    if (symbol > 285) break;
    bits >>= used;
    count -= used;
    if (symbol == 256) {
      freeBlockTables();
      m_state = kBlockHeader;
      break;
    }
    const CodeRow &lengthRow = rows.length[symbol - 257];
    uint32_t length = lengthRow.base + uint32_t(bits & ((1u << lengthRow.extraBits) - 1));
    bits >>= lengthRow.extraBits;
    count -= lengthRow.extraBits;
    if (count < 32) {
      bits |= load64le(in) << count;
      in += (63 - count) >> 3;
      count |= 56;
    }
    symbol = distances->decodeFull(bits, used);
    if (symbol < 0 || uint32_t(symbol) >= rows.distanceCount) {
      m_matchLength = length;
      m_state = kDistance;
      break;
    }
    const CodeRow &distanceRow = rows.distance[symbol];
    uint32_t distance = distanceRow.base + uint32_t((bits >> used) & ((1u << distanceRow.extraBits) - 1));
    if (!wrapped && distance > pos) {
      bits >>= used;
      count -= used;
      m_matchLength = length;
      m_symbol = symbol;
      m_state = kDistanceExtra;
      break;
    }
    used += distanceRow.extraBits;
    bits >>= used;
    count -= used;
    if (distance <= pos && pos + length < size) {
      copyForward(window + pos, window + pos - distance, length);
      pos += length;
    } else {
      m_windowPos = pos;
      ok = copyMatch(distance, length);
      pos = m_windowPos;
      wrapped = m_wrapped;
      if (!ok) break;
    }
  }

  m_windowPos = pos;
  // Give back whole bytes read ahead, so that the bit buffer fits its 32 bits again.
  uint32_t giveBack = count >> 3;
  if (giveBack > uint32_t(in - start)) giveBack = uint32_t(in - start);
  in -= giveBack;
  count -= giveBack * 8;
  m_bitBuffer = uint32_t(bits & ((uint64_t(1) << count) - 1));
  m_bitCount = count;
  inRef = in;
  return ok;
}

bool InflateState::decodeLoop(const uint8_t *&in, const uint8_t *end) {
  while (!m_finished) {
    if (m_state == kLiteralLength && uint32_t(end - in) >= kFastInputMargin && !decodeFast(in, end))
      return false;
    // Out of input, unless the final block has just ended: the header state still has to run to
    // mark the stream finished, and a stream may end on the last byte given.
    if (in == end && m_bitCount == 0 && !(m_state == kBlockHeader && m_lastBlock)) break;
    while (m_bitCount < kBitBufferTarget && in < end) {
      m_bitBuffer |= uint32_t(*in++) << m_bitCount;
      m_bitCount += 8;
    }
    Step step = runState(in, end);
    if (step == kFailed) return false;
    // States that work through several codes run dry mid-way: top up and go on while input lasts.
    if (step == kStop || (step == kNeedMore && in == end)) break;
  }
  return true;
}

bool InflateState::inflateBlock(const uint8_t *input, uint32_t length, Output &output,
                                ProgressMonitor *monitor, LogBase &log) {
  m_output = &output;
  m_monitor = monitor;
  m_log = &log;
  if (m_errorNumber != 0) return decodeError(m_errorNumber);
  if (m_window == nullptr) {
    m_window = static_cast<uint8_t *>(std::malloc(m_windowSize));
    if (m_window == nullptr) return false;
  }
  const uint8_t *in = input;
  const uint8_t *end = input ? input + length : input;
  if (!decodeLoop(in, end)) return false;
  if (!flushPending()) {
    log.logError("Failed to flush to output.");
    return false;
  }
  return true;
}

bool InflateState::inflateSource(DataSource &source, uint32_t pieceSize, Output &output,
                                 ProgressMonitor *monitor, LogBase &log) {
  if (pieceSize == 0) pieceSize = 32768;
  if (pieceSize < 256) pieceSize = 256;
  if (pieceSize > 0x40000) pieceSize = 0x40000;
  uint8_t *piece = nullptr;
  for (int attempt = 0; attempt < 3 && piece == nullptr; ++attempt) {
    piece = static_cast<uint8_t *>(std::malloc(pieceSize >> attempt));
    if (piece != nullptr) pieceSize >>= attempt;
  }
  if (piece == nullptr) return false;

  output.beginWriting(monitor, log);
  bool result = true;
  for (;;) {
    uint32_t count = 0;
    bool endOfData = false;
    if (!source.readSource(piece, pieceSize, count, endOfData, monitor, log)) {
      log.logError("Data source read failed.");
      result = false;
      break;
    }
    if (count == 0) break;
    if (monitor != nullptr && monitor->abortCheck()) break;
    if (!inflateBlock(piece, count, output, monitor, log)) {
      log.logError("inflateBlock failed.");
      result = false;
      break;
    }
    if (m_finished) break;
    if (monitor != nullptr && monitor->abortCheck()) break;
    if (endOfData) break;
  }
  output.endWriting(monitor, log);
  std::free(piece);
  return result;
}
