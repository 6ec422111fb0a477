// Reads the PE headers with every field checked against the file; nothing here trusts the stub.
#include "PeImage.h"

namespace {
constexpr uint16_t kPe32Magic = 0x10b;
constexpr uint16_t kPe32PlusMagic = 0x20b;
constexpr uint32_t kMaxSections = 96;  // the loader's own limit

bool truncated(std::string &error) {
  error = "the stub's headers are truncated";
  return false;
}
}  // namespace

bool PeImage::parse(const Bytes &file, std::string &error) {
  uint16_t mz = 0;
  uint32_t peOffset = 0, signature = 0;
  if (!readU16(file, 0, mz) || mz != 0x5A4D || !readU32(file, 0x3C, peOffset) ||
      !readU32(file, peOffset, signature) || signature != 0x00004550) {
    error = "the stub is not a Windows program (no PE header)";
    return false;
  }
  size_t coff = size_t(peOffset) + 4;
  uint16_t sectionCount = 0, optionalSize = 0, magic = 0;
  if (!readU16(file, coff + 2, sectionCount) || !readU16(file, coff + 16, optionalSize)) return truncated(error);
  m_optional = coff + 20;
  if (!inRange(m_optional, optionalSize, file.size()) || !readU16(file, m_optional, magic)) return truncated(error);
  size_t directoriesAt = 0;
  if (magic == kPe32PlusMagic) {
    directoriesAt = 112;
  } else if (magic == kPe32Magic) {
    directoriesAt = 96;
  } else {
    error = "the stub's optional header has an unknown format";
    return false;
  }
  if (optionalSize < directoriesAt || !readU32(file, m_optional + 32, m_sectionAlignment) ||
      !readU32(file, m_optional + 36, m_fileAlignment) ||
      !readU32(file, m_optional + directoriesAt - 4, m_directoryCount)) {
    return truncated(error);
  }
  if (m_fileAlignment == 0 || m_sectionAlignment == 0 || (m_fileAlignment & (m_fileAlignment - 1)) != 0 ||
      (m_sectionAlignment & (m_sectionAlignment - 1)) != 0) {
    error = "the stub's section alignment is not a power of two";
    return false;
  }
  m_directories = m_optional + directoriesAt;
  if (m_directoryCount > (optionalSize - directoriesAt) / 8) return truncated(error);
  m_directoryValues.assign(m_directoryCount, PeDirectory{});
  for (uint32_t i = 0; i < m_directoryCount; ++i) {
    readU32(file, directoryOffset(int(i)), m_directoryValues[i].rva);
    readU32(file, directoryOffset(int(i)) + 4, m_directoryValues[i].size);
  }
  if (sectionCount == 0 || sectionCount > kMaxSections) {
    error = "the stub has an unusual number of sections";
    return false;
  }
  size_t table = m_optional + optionalSize;
  if (!inRange(table, 40ull * sectionCount, file.size())) return truncated(error);
  m_sections.clear();
  for (uint16_t i = 0; i < sectionCount; ++i) {
    PeSection s;
    s.headerOffset = table + 40 * size_t(i);
    for (size_t c = 0; c < 8 && file[s.headerOffset + c] != 0; ++c) s.name.push_back(char(file[s.headerOffset + c]));
    readU32(file, s.headerOffset + 8, s.virtualSize);
    readU32(file, s.headerOffset + 12, s.virtualAddress);
    readU32(file, s.headerOffset + 16, s.rawSize);
    readU32(file, s.headerOffset + 20, s.rawOffset);
    if (!inRange(s.rawOffset, s.rawSize, file.size())) {
      error = "the stub's section " + s.name + " lies outside the file";
      return false;
    }
    m_sections.push_back(s);
  }
  m_sectionTableEnd = table + 40 * size_t(sectionCount);
  return true;
}

PeDirectory PeImage::directory(int index) const {
  if (index < 0 || uint32_t(index) >= m_directoryCount) return PeDirectory{};
  return m_directoryValues[size_t(index)];
}

void PeChecksum::add(const uint8_t *data, size_t size) {
  m_length += size;
  size_t i = 0;
  if (m_pendingByte >= 0 && size > 0) {
    m_sum += uint32_t(m_pendingByte) | uint32_t(data[0]) << 8;
    m_pendingByte = -1;
    i = 1;
  }
  for (; i + 1 < size; i += 2) {
    m_sum += uint32_t(data[i]) | uint32_t(data[i + 1]) << 8;
    // Folding often keeps the sum far from overflow whatever the file's size.
    if (m_sum >> 40) m_sum = (m_sum & 0xFFFF) + (m_sum >> 16);
  }
  if (i < size) m_pendingByte = data[i];
}

uint32_t PeChecksum::finish() const {
  uint64_t sum = m_sum;
  if (m_pendingByte >= 0) sum += uint32_t(m_pendingByte);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return uint32_t(sum + m_length);
}
