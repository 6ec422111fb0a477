// The headers of a PE image (the stub) as far as adding a resource section needs them: where
// the optional header's fields are, the data directories and the section table. parse() checks
// every offset and size against the file, so later code may index the bytes directly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Bytes.h"

struct PeSection {
  std::string name;
  uint32_t virtualSize = 0;
  uint32_t virtualAddress = 0;
  uint32_t rawSize = 0;
  uint32_t rawOffset = 0;
  size_t headerOffset = 0;  // of this entry in the section table
};

struct PeDirectory {
  uint32_t rva = 0;
  uint32_t size = 0;
};

constexpr int kResourceDirectory = 2;
constexpr int kSecurityDirectory = 4;

class PeImage {
 public:
  // False with a reason when the bytes are not a well-formed PE image.
  bool parse(const Bytes &file, std::string &error);

  const std::vector<PeSection> &sections() const { return m_sections; }
  // An empty directory when the image has fewer entries.
  PeDirectory directory(int index) const;
  uint32_t fileAlignment() const { return m_fileAlignment; }
  uint32_t sectionAlignment() const { return m_sectionAlignment; }

  // Offsets of header fields in the file, for rewriting them.
  size_t checksumOffset() const { return m_optional + 64; }
  size_t sizeOfImageOffset() const { return m_optional + 56; }
  size_t sizeOfInitializedDataOffset() const { return m_optional + 8; }
  size_t directoryOffset(int index) const { return m_directories + 8 * size_t(index); }
  size_t sectionCountOffset() const { return m_optional - 18; }
  size_t sizeOfHeadersOffset() const { return m_optional + 60; }
  // Where the next section header would go.
  size_t sectionTableEnd() const { return m_sectionTableEnd; }

 private:
  size_t m_optional = 0;
  size_t m_directories = 0;
  size_t m_sectionTableEnd = 0;
  uint32_t m_directoryCount = 0;
  uint32_t m_fileAlignment = 0;
  uint32_t m_sectionAlignment = 0;
  std::vector<PeDirectory> m_directoryValues;
  std::vector<PeSection> m_sections;
};

// The image checksum of the whole file: 16-bit one's-complement style sum with the carries
// folded back, plus the file's length. The checksum field itself must be zero in the data.
class PeChecksum {
 public:
  void add(const uint8_t *data, size_t size);
  uint32_t finish() const;

 private:
  uint64_t m_sum = 0;
  uint64_t m_length = 0;
  int m_pendingByte = -1;  // the low half of a word split between two add() calls
};
