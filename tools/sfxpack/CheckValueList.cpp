#include "CheckValueList.h"

#include <filesystem>
#include <fstream>

#include "archive/CheckValues.h"
#include "base/StringBuffer.h"
#include "base/ZipCRC.h"

namespace {
bool crcOfFile(const std::string &path, uint32_t &crc, std::string &error) {
  std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
  if (!in) {
    error = "Cannot read " + path;
    return false;
  }
  ZipCRC running;
  std::string block(1 << 20, '\0');
  while (in.read(&block[0], std::streamsize(block.size())) || in.gcount() > 0) {
    running.update(block.data(), uint32_t(in.gcount()));
  }
  if (in.bad()) {
    error = "Failed while reading " + path;
    return false;
  }
  crc = running.value();
  return true;
}

std::string hex(const std::string &bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  text.reserve(2 * bytes.size());
  for (unsigned char b : bytes) {
    text += digits[b >> 4];
    text += digits[b & 15];
  }
  return text;
}
}  // namespace

bool computeFileCrcs(const std::vector<PackEntry> &entries, std::vector<uint32_t> &crcs, std::string &error) {
  for (const PackEntry &entry : entries) {
    if (entry.type != payload::kFileEntry) continue;
    uint32_t crc = 0;
    if (!crcOfFile(entry.sourcePath, crc, error)) return false;
    crcs.push_back(crc);
  }
  return true;
}

bool appendCheckValues(const char *list, const std::vector<uint32_t> &crcs, const MessageEncryptor &encryptor,
                       NamedValues &values, std::string &error) {
  // A payload without files still says that it carries check values: an empty list.
  for (size_t first = 0, part = 1; first < crcs.size() || part == 1; first += CheckValues::kFilesPerValue, ++part) {
    std::string bytes;
    for (size_t i = first; i < crcs.size() && i < first + CheckValues::kFilesPerValue; ++i) {
      for (int shift = 24; shift >= 0; shift -= 8) bytes += char(crcs[i] >> shift);
    }
    if (encryptor) {
      MessagePlace place;
      place.kind = MessageKind::CheckValues;
      place.index = part;
      std::string sealed;
      if (!encryptor(place, bytes, sealed)) {
        error = "Encryption failed.";
        return false;
      }
      bytes.swap(sealed);
    }
    StringBuffer name;
    CheckValues::valueName(list, uint32_t(part), name);
    values.emplace_back(name.getText(), hex(bytes));
  }
  return true;
}
