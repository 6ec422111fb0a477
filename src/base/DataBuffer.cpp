#include "base/DataBuffer.h"

#include <cstdlib>
#include <cstring>

#include "base/ContentCoding.h"
#include "base/StringBuffer.h"
#include "platform/win32.h"

namespace {
constexpr uint8_t kAlive = 0xDB;

// Extra room for an append of `count` bytes to a buffer holding `length`: large buffers grow
// in big fixed steps so that building a multi-megabyte file costs few reallocations.
uint32_t growthRoom(uint32_t length, uint32_t count) {
  static const uint32_t steps[] = {12000000, 8000000, 4000000, 3000000, 2000000, 1000000, 100000, 50000};
  for (uint32_t step : steps) {
    if (count < step && length >= step) return step;
  }
  return count < 20000 ? 20000 : count;
}
}  // namespace

DataBuffer::DataBuffer() : m_alive(kAlive), m_borrowed(false), m_data(nullptr), m_size(0), m_capacity(0) {}

DataBuffer::DataBuffer(const DataBuffer &other) : DataBuffer() { appendBuffer(other); }

DataBuffer &DataBuffer::operator=(const DataBuffer &other) {
  if (this != &other) {
    clear();
    appendBuffer(other);
  }
  return *this;
}

DataBuffer::~DataBuffer() {
  checkAlive();
  freeMemory();
  // Volatile, so that the optimiser cannot drop the store as dead once the object ends.
  *const_cast<volatile uint8_t *>(&m_alive) = 0;
}

void DataBuffer::checkAlive() const {
  if (m_alive != kAlive) fatalInternalError("DataBuffer used after destruction");
}

uint8_t *DataBuffer::getData() const {
  checkAlive();
  return m_data;
}

uint32_t DataBuffer::getSize() const {
  checkAlive();
  return m_size;
}

uint32_t DataBuffer::getCapacity() const {
  checkAlive();
  return m_capacity;
}

bool DataBuffer::isBorrowed() const {
  checkAlive();
  return m_borrowed;
}

uint32_t DataBuffer::getSizeWithoutTrailingZeros() const {
  checkAlive();
  uint32_t n = m_size;
  while (n > 0 && m_data[n - 1] == 0) --n;
  return n;
}

uint8_t *DataBuffer::byteAt(uint32_t index) const {
  checkAlive();
  return index < m_size ? m_data + index : nullptr;
}

bool DataBuffer::reallocate(uint32_t newCapacity) {
  uint8_t *block = static_cast<uint8_t *>(std::malloc(newCapacity ? newCapacity : 1));
  if (block == nullptr) return false;
  if (m_size) std::memcpy(block, m_data, m_size);
  if (!m_borrowed) std::free(m_data);
  m_data = block;
  m_capacity = newCapacity;
  m_borrowed = false;
  return true;
}

bool DataBuffer::growFor(uint32_t count) {
  uint64_t needed = uint64_t(m_size) + count;
  if (needed <= m_capacity) return true;
  if (needed > 0xFFFFFFFFu - 400) return false;
  uint64_t wanted = uint64_t(m_size) + growthRoom(m_size, count);
  if (wanted <= 0xFFFFFFFFu && reallocate(uint32_t(wanted))) return true;
  return reallocate(uint32_t(needed + 400));
}

bool DataBuffer::append(const void *data, uint32_t count) {
  checkAlive();
  if (count == 0) return true;
  if (data == nullptr || !growFor(count)) return false;
  std::memmove(m_data + m_size, data, count);
  m_size += count;
  return true;
}

bool DataBuffer::appendBuffer(const DataBuffer &other) {
  if (&other == this) {
    DataBuffer copy;
    return copy.append(other.m_data, other.m_size) && append(copy.m_data, copy.m_size);
  }
  return append(other.getData(), other.getSize());
}

bool DataBuffer::appendStringBuffer(const StringBuffer &text) {
  return append(text.getText(), text.getSize());
}

bool DataBuffer::appendByte(uint8_t byte) {
  checkAlive();
  if (m_size >= m_capacity) {
    if (m_capacity > 0xFFFFFFFFu - 10000 || !reallocate(m_capacity + 10000)) return false;
  }
  m_data[m_size++] = byte;
  return true;
}

bool DataBuffer::appendWideString(const char16_t *text) {
  static const char16_t terminator = 0;
  if (text == nullptr) return append(&terminator, 2);
  uint32_t units = 0;
  while (text[units] != 0) ++units;
  return append(text, (units + 1) * 2);
}

bool DataBuffer::appendUtf8Char(uint32_t codePoint) {
  checkAlive();
  uint8_t bytes[3];
  uint32_t count;
  if (codePoint < 0x80) {
    bytes[0] = uint8_t(codePoint);
    count = 1;
  } else if (codePoint < 0x800) {
    bytes[0] = uint8_t(0xC0 | (codePoint >> 6));
    bytes[1] = uint8_t(0x80 | (codePoint & 0x3F));
    count = 2;
  } else {
    codePoint &= 0xFFFF;
    bytes[0] = uint8_t(0xE0 | (codePoint >> 12));
    bytes[1] = uint8_t(0x80 | ((codePoint >> 6) & 0x3F));
    bytes[2] = uint8_t(0x80 | (codePoint & 0x3F));
    count = 3;
  }
  if (uint64_t(m_size) + count > m_capacity) {
    uint64_t wanted = uint64_t(m_capacity) + 20000;
    if (wanted < uint64_t(m_size) + count) wanted = uint64_t(m_size) + count;
    if (wanted > 0xFFFFFFFFu || !reallocate(uint32_t(wanted))) return false;
  }
  std::memcpy(m_data + m_size, bytes, count);
  m_size += count;
  return true;
}

bool DataBuffer::reserve(uint32_t capacity) {
  checkAlive();
  if (capacity <= m_capacity) return true;
  return reallocate(capacity);
}

bool DataBuffer::shrinkToFit() {
  checkAlive();
  uint64_t target = uint64_t(m_size) + 4;
  if (m_borrowed || m_capacity <= target) return true;
  return reallocate(uint32_t(target));
}

void DataBuffer::setSize(uint32_t size) {
  checkAlive();
  m_size = size <= m_capacity ? size : m_capacity;
}

void DataBuffer::shortenBy(uint32_t count) {
  checkAlive();
  m_size = count >= m_size ? 0 : m_size - count;
}

void DataBuffer::clear() {
  checkAlive();
  if (m_borrowed) {
    release();
    return;
  }
  m_size = 0;
}

void DataBuffer::clearSecure() {
  checkAlive();
  if (m_size) {
    volatile uint8_t *p = m_data;
    for (uint32_t i = 0; i < m_size; ++i) p[i] = 0;
  }
  clear();
}

void DataBuffer::freeMemory() {
  checkAlive();
  if (!m_borrowed) std::free(m_data);
  release();
}

void DataBuffer::adopt(void *data, uint32_t size) {
  freeMemory();
  m_data = static_cast<uint8_t *>(data);
  m_size = m_capacity = data ? size : 0;
}

void DataBuffer::borrow(const void *data, uint32_t size) {
  freeMemory();
  m_data = static_cast<uint8_t *>(const_cast<void *>(data));
  m_size = m_capacity = data ? size : 0;
  m_borrowed = data != nullptr;
}

void DataBuffer::release() {
  checkAlive();
  m_data = nullptr;
  m_size = m_capacity = 0;
  m_borrowed = false;
}

void DataBuffer::removeCharUtf16(uint16_t unit) {
  checkAlive();
  uint32_t units = m_size / 2, kept = 0;
  for (uint32_t i = 0; i < units; ++i) {
    uint16_t u;
    std::memcpy(&u, m_data + 2 * i, 2);
    if (u == unit) continue;
    std::memcpy(m_data + 2 * kept++, &u, 2);
  }
  if (m_size % 2) m_data[2 * kept] = m_data[m_size - 1];
  m_size = 2 * kept + m_size % 2;
}

void DataBuffer::replaceCharUtf16(uint16_t from, uint16_t to) {
  checkAlive();
  for (uint32_t i = 0; i + 1 < m_size; i += 2) {
    uint16_t u;
    std::memcpy(&u, m_data + i, 2);
    if (u == from) std::memcpy(m_data + i, &to, 2);
  }
}

void DataBuffer::swapBytes32() {
  checkAlive();
  for (uint32_t i = 0; i + 3 < m_size; i += 4) {
    uint8_t *p = m_data + i;
    uint8_t a = p[0], b = p[1];
    p[0] = p[3];
    p[1] = p[2];
    p[2] = b;
    p[3] = a;
  }
}

bool DataBuffer::operator==(const DataBuffer &other) const {
  checkAlive();
  return m_size == other.getSize() && (m_size == 0 || std::memcmp(m_data, other.m_data, m_size) == 0);
}

bool DataBuffer::encode(const char *codingName, StringBuffer &out) const {
  checkAlive();
  ContentCoding coding;
  return coding.encode(codingName, m_data, m_size, out);
}
