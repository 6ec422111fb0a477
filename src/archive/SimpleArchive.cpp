#include "archive/SimpleArchive.h"

#include <cstring>
#include <new>

#include "archive/ChunkWorkers.h"
#include "archive/SolidBlockReader.h"
#include "base/BackgroundCloser.h"
#include "base/XString.h"
#include "compress/DataSource.h"
#include "compress/FileDataSource.h"
#include "archive/SealedHeader.h"
#include "crypto/PasswordVerifier.h"

namespace {
constexpr uint32_t kNamedValueBuckets = 400;
// The reader's limit on named values; a longer list is left unread from here on.
constexpr int kMaxNamedValuePasses = 200;

// The container marker is never stored whole in the program: the search for it starts at the
// beginning of the program's own file, and must not stop inside the program. Each half is put
// together at run time from two parts the optimiser cannot fold.
uint32_t composeHalf(uint32_t high, uint32_t low) {
  volatile uint32_t part = high;
  return part | low;
}
uint32_t markerFirstHalf() { return composeHalf(0xBF000000u, 0x006CD207u); }
uint32_t markerSecondHalf(uint32_t low) { return composeHalf(payload_marker::kSecondHalfHigh, low); }
}  // namespace

SimpleArchive::SimpleArchive() : m_namedValues(kNamedValueBuckets) {
  if (!m_chunk.reserve(kChunkLimit + 32)) m_chunk.freeMemory();
}

SimpleArchive::~SimpleArchive() {
  m_blocks.reset();
  m_workers.reset();
  m_closer.reset();
  m_valueNames.deleteAll();
  m_password.clearAndFree();
}

FileDataSource *SimpleArchive::openFileSource(const char *utf8Path, LogBase &log) {
  return FileDataSource::openFileSource(utf8Path, log);
}

void SimpleArchive::setSource(DataSource *source) {
  m_blocks.reset();
  m_workers.reset();
  m_reader.attach(nullptr);
  m_lastParent.clear();
  m_source = source;
}

void SimpleArchive::setWorkerCount(int count) {
  m_blocks.reset();
  m_workers.reset();
  m_workerCount = count < 0 ? 0 : count;
}

bool SimpleArchive::endOfStream() const {
  return m_reader.isAttached() ? m_reader.endOfStream() : m_source->endOfStream();
}

bool SimpleArchive::finishEntries(LogBase &log) {
  m_blocks.reset();
  m_workers.reset();
  m_lastParent.clear();
  // Whatever follows the entries is not ours to read.
  LogNull quiet;
  m_reader.handBack(quiet);
  return m_closer == nullptr || m_closer->finish(log);
}

BackgroundCloser *SimpleArchive::closer() {
#ifdef _WIN32
  // Only Windows gains: its scanners look at each file as it is closed. (The Linux build's
  // file calls are not made for a second thread.)
  if (!m_closerTried) {
    m_closerTried = true;
    m_closer.reset(new (std::nothrow) BackgroundCloser);
    if (m_closer != nullptr && !m_closer->usable()) m_closer.reset();
  }
#endif
  return m_closer.get();
}

bool SimpleArchive::readExact(void *buffer, uint32_t count, ProgressMonitor *monitor, LogBase &log) {
  if (count == 0) return true;
  if (m_reader.isAttached()) return m_reader.read(buffer, count, monitor, log);
  uint32_t got = 0;
  if (!m_source->readSource(static_cast<uint8_t *>(buffer), count, got, monitor, log) || got != count) return false;
  if (m_keepHeaderBytes && !m_headerBytes.append(buffer, count)) m_keepHeaderBytes = false;
  return true;
}

bool SimpleArchive::readU16(uint32_t &value, ProgressMonitor *monitor, LogBase &log) {
  if (m_reader.isAttached()) return m_reader.readU16(value, monitor, log);
  uint8_t b[2];
  if (!readExact(b, 2, monitor, log)) return false;
  value = uint32_t(b[0]) | uint32_t(b[1]) << 8;
  return true;
}

bool SimpleArchive::readU32(uint32_t &value, ProgressMonitor *monitor, LogBase &log) {
  if (m_reader.isAttached()) return m_reader.readU32(value, monitor, log);
  uint8_t b[4];
  if (!readExact(b, 4, monitor, log)) return false;
  value = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
  return true;
}

bool SimpleArchive::findMarker(LogBase &log, ProgressMonitor *monitor) {
  if (m_source == nullptr) return false;
  const uint32_t first = markerFirstHalf();
  const uint32_t classic = markerSecondHalf(payload_marker::kClassicSecondHalfLow);
  const uint32_t extended = markerSecondHalf(payload_marker::kExtendedSecondHalfLow);
  LogNull quiet;
  // A candidate whose second half does not match is passed over together with the 4 bytes
  // read after it.
  while (m_source->scanForUint32(first, quiet)) {
    uint32_t next = 0;
    if (!readU32(next, monitor, log)) return false;
    if (next == classic || next == extended) {
      m_extendedMarker = next == extended;
      m_headerBytes.clear();
      m_keepHeaderBytes = true;
      const uint32_t halves[2] = {first, next};
      for (uint32_t half : halves) {
        for (int i = 0; i < 4; ++i) m_headerBytes.appendByte(uint8_t(half >> (8 * i)));
      }
      return true;
    }
  }
  return false;
}

bool SimpleArchive::readInternalHeader(StringBuffer &errorText, LogBase &log, ProgressMonitor *monitor) {
  errorText.clear();
  if (m_source == nullptr) {
    errorText.append("No source");
    return false;
  }
  uint8_t header[6];
  if (!readExact(header, sizeof header, monitor, log)) {
    errorText.append("Failed to get 1st 6 bytes.");
    return false;
  }
  m_features = PayloadFeatures();
  if (m_extendedMarker) {
    // Refused before anything else is read: an entry stream of an unknown kind must not be
    // taken for one this program knows.
    uint32_t word = uint32_t(header[0]) | uint32_t(header[1]) << 8 | uint32_t(header[2]) << 16 |
                    uint32_t(header[3]) << 24;
    if (!PayloadFeatures::fromWord(word, m_features) || !payloadFeaturesSupported(m_features)) {
      errorText.append("This package needs a newer version of the program.");
      return false;
    }
  }
  m_encrypted = header[4] != 0;
  m_keyBits = header[5] == 0 ? 128 : header[5] == 1 ? 192 : 256;
  m_cipher.setScheme(m_features.scheme);
  // The sealed scheme protects every payload it names, whatever the flag says.
  if (m_cipher.sealed()) m_encrypted = true;
  return true;
}

bool SimpleArchive::readInternalArgs(LogBase &log, ProgressMonitor *monitor) {
  if (m_source == nullptr) return false;
  DataBuffer bytes;
  bool checkSeen = false;
  uint32_t checkStart = 0;
  for (int pass = 0; pass < kMaxNamedValuePasses; ++pass) {
    const uint32_t valueStart = m_headerBytes.getSize();
    uint32_t nameLength = 0;
    if (!readU16(nameLength, monitor, log)) return false;
    if (nameLength == 0) return checkHeader(checkSeen, checkStart, log);
    StringBuffer name;
    uint32_t valueLength = 0;
    if (!bytes.reserve(0x10000)) return false;
    if (!readExact(bytes.getData(), nameLength, monitor, log) ||
        !name.appendBytes(bytes.getData(), nameLength) || !readU16(valueLength, monitor, log) ||
        !readExact(bytes.getData(), valueLength, monitor, log)) {
      return false;
    }
    // The header check value is the last: a value after it would go unchecked.
    if (checkSeen) return headerDamaged(log);
    if (name.equals(CheckValues::kHeaderValue)) {
      checkSeen = true;
      checkStart = valueStart;
    }
    StringBuffer *value = new (std::nothrow) StringBuffer;
    if (value == nullptr || !value->appendBytes(bytes.getData(), valueLength)) {
      delete value;
      return false;
    }
    bool known = m_namedValues.lookup(name.getText(), name.getSize()) != nullptr;
    if (!m_namedValues.insert(name.getText(), name.getSize(), value)) {
      delete value;
      return false;
    }
    if (!known) {
      StringBuffer *listed = new (std::nothrow) StringBuffer;
      if (listed == nullptr || !listed->appendBuffer(name) || !m_valueNames.append(listed)) {
        delete listed;
        return false;
      }
    }
  }
  return checkHeader(checkSeen, checkStart, log);
}

bool SimpleArchive::checkHeader(bool checkSeen, uint32_t checkStart, LogBase &log) {
  // The sealed scheme's authenticator goes on to cover its own section.
  const bool kept = m_keepHeaderBytes;
  m_keepHeaderBytes = kept && m_cipher.sealed();
  const StringBuffer *checkText = namedValue(CheckValues::kHeaderValue);
  uint32_t expected = 0;
  const bool whole = !checkSeen || (kept && checkText != nullptr && CheckValues::parseCrc(*checkText, expected) &&
                                    ZipCRC::crc32(m_headerBytes.getData(), checkStart) == expected);
  if (!m_keepHeaderBytes) m_headerBytes.freeMemory();
  return whole || headerDamaged(log);
}

bool SimpleArchive::headerDamaged(LogBase &log) {
  m_payloadDamaged = true;
  log.logError("The package is damaged: its header or settings do not match their check value.");
  return false;
}

const StringBuffer *SimpleArchive::namedValue(const char *name) const {
  return static_cast<const StringBuffer *>(m_namedValues.lookup(name));
}

bool SimpleArchive::getNamedValue(const char *name, XString &out) const {
  out.clear();
  const StringBuffer *value = namedValue(name);
  if (value == nullptr) return false;
  const char *text = value->getText();
  uint32_t size = value->getSize();
  if (size >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0) {
    text += 3;
    size -= 3;
  }
  out.setUtf8(text, size);
  return true;
}

const StringBuffer *SimpleArchive::namedValueName(int index) const {
  return static_cast<const StringBuffer *>(m_valueNames.get(index));
}

void SimpleArchive::setPassword(const void *bytes, uint32_t length) {
  m_password.clearAndFree();
  m_password.appendBytes(bytes, length);
}

bool SimpleArchive::verifyPassword(LogBase &log, DataBuffer &cache) {
  // Workers copy the key when they start: a new one must not meet old copies.
  m_workers.reset();
  m_payloadDamaged = false;
  if (!m_encrypted) return false;
  if (m_cipher.sealed()) return verifySealed(log, cache);
  if (cache.getSize() == 0) {
    if (m_source == nullptr) return false;
    uint8_t length = 0;
    if (!readExact(&length, 1, nullptr, log) || length == 0) return false;
    DataBuffer verifier;
    if (!verifier.reserve(length) || !readExact(verifier.getData(), length, nullptr, log)) return false;
    verifier.setSize(length);
    if (!cache.appendBuffer(verifier)) return false;
  }
  return verifierAcceptsPassword(m_cipher.aes(), m_keyBits, m_password.getText(), m_password.getSize(), cache, log);
}

bool SimpleArchive::verifySealed(LogBase &log, DataBuffer &cache) {
  if (cache.getSize() == 0) {
    // The header bytes end here: what follows is checked message by message.
    const bool kept = m_keepHeaderBytes;
    m_keepHeaderBytes = false;
    uint8_t section[SealedHeader::kSize];
    if (m_source == nullptr || !kept || !readExact(section, sizeof section, nullptr, log) ||
        !m_headerBytes.append(section, SealedHeader::kAuthenticatorOffset) || !cache.append(section, sizeof section)) {
      m_payloadDamaged = true;
      log.logError("Failed to read the password section.");
      return false;
    }
  }
  SealedHeader header;
  if (!SealedHeader::parse(cache.getData(), cache.getSize(), header)) {
    m_payloadDamaged = true;
    log.logError("The password section is damaged or beyond this program's bounds.");
    return false;
  }
  MessageSealer &sealer = m_cipher.sealer();
  if (!sealer.deriveKey(m_password.getText(), m_password.getSize(), header.params, log)) {
    m_payloadDamaged = true;
    return false;
  }
  DataBuffer check;
  MessagePlace place;
  place.kind = MessageKind::PasswordCheck;
  if (!check.append(header.check, sizeof header.check) || !sealer.open(place, check)) return false;
  DataBuffer authenticator;
  place.kind = MessageKind::Header;
  if (!authenticator.append(header.authenticator, sizeof header.authenticator) ||
      !sealer.open(place, authenticator, m_headerBytes.getData(), m_headerBytes.getSize())) {
    m_payloadDamaged = true;
    log.logError("The package was changed after it was made: its settings or header do not match.");
    return false;
  }
  m_sealedEntryCount = header.entryCount;
  return true;
}
