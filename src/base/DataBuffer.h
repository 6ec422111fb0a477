#pragma once

#include <cstdint>

#include "base/QuorvelObject.h"

class StringBuffer;

// Growable byte buffer. It may borrow memory it does not own (never freed or reallocated in
// place); holders of UTF-16 text keep two zero bytes after the last code unit.
class DataBuffer : public QuorvelObject {
 public:
  DataBuffer();
  DataBuffer(const DataBuffer &other);
  DataBuffer &operator=(const DataBuffer &other);
  ~DataBuffer() override;

  uint8_t *getData() const;
  uint32_t getSize() const;
  uint32_t getCapacity() const;
  uint32_t getSizeWithoutTrailingZeros() const;
  bool isBorrowed() const;
  uint8_t *byteAt(uint32_t index) const;

  bool append(const void *data, uint32_t count);
  bool appendBuffer(const DataBuffer &other);
  bool appendStringBuffer(const StringBuffer &text);
  bool appendByte(uint8_t byte);
  // UTF-16 code units up to and including the two-byte terminator.
  bool appendWideString(const char16_t *text);
  bool appendUtf8Char(uint32_t codePoint);

  bool reserve(uint32_t capacity);
  bool shrinkToFit();
  void setSize(uint32_t size);
  void shortenBy(uint32_t count);
  void clear();
  void clearSecure();
  void freeMemory();
  void adopt(void *data, uint32_t size);
  void borrow(const void *data, uint32_t size);
  // Forgets the memory without freeing it: the caller now owns what getData() returned.
  void release();

  void removeCharUtf16(uint16_t unit);
  void replaceCharUtf16(uint16_t from, uint16_t to);
  void swapBytes32();

  // Appends the data to `out` in the content coding of that name (see ContentCoding).
  bool encode(const char *codingName, StringBuffer &out) const;

  bool operator==(const DataBuffer &other) const;

 private:
  void checkAlive() const;
  bool growFor(uint32_t appendCount);
  bool reallocate(uint32_t newCapacity);

  uint8_t m_alive;
  bool m_borrowed;
  uint8_t *m_data;
  uint32_t m_size;
  uint32_t m_capacity;
};
