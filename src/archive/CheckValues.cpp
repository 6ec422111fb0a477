#include "archive/CheckValues.h"

#include <cstdio>

#include "archive/SimpleArchive.h"
#include "base/LogBase.h"
#include "base/StringBuffer.h"
#include "archive/EntryCipher.h"

namespace {
int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

uint32_t bigEndian32(const uint8_t *p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

bool decodeHex(const StringBuffer &text, DataBuffer &out) {
  const char *p = text.getText();
  const uint32_t size = text.getSize();
  if (size % 2 != 0 || !out.reserve(size / 2 + 32)) return false;
  for (uint32_t i = 0; i < size; i += 2) {
    int high = hexDigit(p[i]), low = hexDigit(p[i + 1]);
    if (high < 0 || low < 0 || !out.appendByte(uint8_t(high << 4 | low))) return false;
  }
  return true;
}
}  // namespace

void CheckValues::valueName(const char *list, uint32_t part, StringBuffer &name) {
  name.setString(list);
  if (part <= 1) return;
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, "_%u", unsigned(part));
  name.append(suffix);
}

bool CheckValues::carriedBy(const SimpleArchive &archive) { return archive.namedValue(kFileList) != nullptr; }

bool CheckValues::parseCrc(const StringBuffer &text, uint32_t &crc) {
  DataBuffer bytes;
  if (text.getSize() != 8 || !decodeHex(text, bytes)) return false;
  crc = bigEndian32(bytes.getData());
  return true;
}

uint32_t CheckValues::expected(uint32_t index) const { return bigEndian32(m_crcs.getData() + 4 * index); }

bool CheckValues::appendPart(const StringBuffer &text, uint32_t part, EntryCipher *cipher, LogBase &log) {
  DataBuffer bytes;
  if (!decodeHex(text, bytes)) return false;
  MessagePlace place;
  place.kind = MessageKind::CheckValues;
  place.index = part;
  if (cipher != nullptr && !cipher->open(place, bytes, log)) return false;
  return bytes.getSize() % 4 == 0 && m_crcs.appendBuffer(bytes);
}

bool CheckValues::load(const SimpleArchive &archive, EntryCipher *cipher, LogBase &log) {
  if (m_state != State::Unread) return m_state != State::Damaged;
  m_state = State::Absent;
  StringBuffer name;
  for (uint32_t part = 1;; ++part) {
    valueName(m_list, part, name);
    const StringBuffer *text = archive.namedValue(name.getText());
    if (text == nullptr) break;
    if (!appendPart(*text, part, cipher, log)) {
      log.logError("The payload's check values are damaged.");
      log.logData("namedValue", name);
      m_state = State::Damaged;
      return false;
    }
    m_state = State::Present;
  }
  return true;
}

bool CheckValues::verify(uint32_t fileIndex, uint32_t computed, const StringBuffer &name, LogBase &log) const {
  char both[64];
  if (fileIndex < count()) {
    if (matches(fileIndex, computed)) return true;
    std::snprintf(both, sizeof both, "expected 0x%08x, computed 0x%08x", unsigned(expected(fileIndex)),
                  unsigned(computed));
  } else {
    std::snprintf(both, sizeof both, "expected none, computed 0x%08x", unsigned(computed));
  }
  StringBuffer message("Checksum mismatch: ");
  message.appendBuffer(name);
  log.logError(message.getText());
  log.logData("crc32", both);
  return false;
}
