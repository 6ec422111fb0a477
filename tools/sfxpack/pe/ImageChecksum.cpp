#include "ImageChecksum.h"

#include <fstream>
#include <vector>

#include "Bytes.h"
#include "PeImage.h"

bool writeImageChecksum(const std::filesystem::path &file, size_t checksumOffset, std::string &error) {
  std::fstream io(file, std::ios::binary | std::ios::in | std::ios::out);
  if (!io) {
    error = "cannot reopen " + file.u8string() + " for its checksum";
    return false;
  }
  PeChecksum sum;
  std::vector<char> buffer(1 << 20);
  while (io.read(buffer.data(), std::streamsize(buffer.size())) || io.gcount() > 0) {
    sum.add(reinterpret_cast<const uint8_t *>(buffer.data()), size_t(io.gcount()));
  }
  io.clear();
  Bytes field(4, 0);
  putU32(field, 0, sum.finish());
  io.seekp(std::streamoff(checksumOffset));
  io.write(reinterpret_cast<const char *>(field.data()), 4);
  io.flush();
  if (!io) {
    error = "cannot write the checksum of " + file.u8string();
    return false;
  }
  return true;
}
