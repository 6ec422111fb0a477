#include "PayloadWriter.h"

#include <zlib.h>

#include <filesystem>
#include <fstream>

namespace {
// Raw deflate (no zlib header or trailer) with a 32 KiB window, as the stub inflates it.
bool deflateRaw(const std::string &raw, int level, std::string &out) {
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  out.resize(deflateBound(&z, uLong(raw.size())));
  z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(raw.data()));
  z.avail_in = uInt(raw.size());
  z.next_out = reinterpret_cast<Bytef *>(&out[0]);
  z.avail_out = uInt(out.size());
  int rc = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return rc == Z_STREAM_END;
}
}  // namespace

PayloadWriter::PayloadWriter(std::ostream &out, ChunkPolicy policy, MessageEncryptor encryptor, int keyBits)
    : m_out(out), m_policy(policy), m_encryptor(std::move(encryptor)), m_keyBits(keyBits) {}

bool PayloadWriter::put(const void *data, size_t size, std::string &error) {
  m_out.write(static_cast<const char *>(data), std::streamsize(size));
  if (!m_out) error = "Failed to write the output file (disk full or I/O error).";
  return bool(m_out);
}

bool PayloadWriter::putU16(uint32_t value, std::string &error) {
  uint8_t b[2] = {uint8_t(value), uint8_t(value >> 8)};
  return put(b, 2, error);
}

bool PayloadWriter::putU32(uint32_t value, std::string &error) {
  uint8_t b[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
  return put(b, 4, error);
}

bool PayloadWriter::protect(const std::string &plain, std::string &out, std::string &error) {
  if (!m_encryptor) {
    out = plain;
    return true;
  }
  if (!m_encryptor(plain, out)) {
    error = "Encryption failed.";
    return false;
  }
  return true;
}

bool PayloadWriter::writeHeader(std::string &error) {
  uint8_t keyCode = m_keyBits == 128 ? 0 : m_keyBits == 192 ? 1 : 2;
  uint8_t header[6] = {1, 0, 0, 0, uint8_t(m_encryptor ? 1 : 0), keyCode};
  return putU32(payload::kMarkerFirstHalf, error) && putU32(payload::kMarkerSecondHalf, error) &&
         put(header, sizeof header, error);
}

bool PayloadWriter::writeNamedValues(const std::vector<std::pair<std::string, std::string>> &values,
                                     std::string &error) {
  if (values.size() > size_t(payload::kMaxNamedValues)) {
    error = "Too many named values (at most 199).";
    return false;
  }
  for (const auto &[name, value] : values) {
    if (name.empty() || name.size() > 0xFFFF || value.size() > 0xFFFF) {
      error = "Named value \"" + name + "\" is empty or longer than 65535 bytes.";
      return false;
    }
    if (!putU16(uint32_t(name.size()), error) || !put(name.data(), name.size(), error) ||
        !putU16(uint32_t(value.size()), error) || !put(value.data(), value.size(), error)) {
      return false;
    }
  }
  return putU16(0, error);
}

bool PayloadWriter::writeVerifier(std::string &error) {
  if (!m_encryptor) return true;
  std::string cipher;
  if (!protect("qzvk", cipher, error)) return false;
  uint8_t length = uint8_t(cipher.size());
  return put(&length, 1, error) && put(cipher.data(), cipher.size(), error);
}

bool PayloadWriter::writeChunk(const std::string &raw, std::string &error) {
  std::string deflated;
  bool stored = m_policy.level == 0 || !deflateRaw(raw, m_policy.level, deflated) || deflated.size() >= raw.size();
  std::string body;
  if (!protect(stored ? raw : deflated, body, error)) return false;
  if (body.size() >= payload::kChunkLimit) {
    error = "Chunk too large for the payload format; use a smaller --chunk-size.";
    return false;
  }
  ++(stored ? m_storedChunks : m_deflatedChunks);
  return putU32(uint32_t(body.size()) | (stored ? payload::kStoredFlag : 0), error) &&
         put(body.data(), body.size(), error);
}

bool PayloadWriter::writeEntry(const PackEntry &entry, std::string &error) {
  std::string name;
  if (!protect(entry.name, name, error)) return false;
  if (name.empty() || name.size() > 0xFFFF) {
    error = "Entry name is empty or too long: " + entry.name;
    return false;
  }
  uint8_t type = entry.type;
  uint8_t time[8];
  for (int i = 0; i < 8; ++i) time[i] = uint8_t(entry.localFileTime >> (8 * i));
  if (!putU32(payload::kEntryMarker, error) || !put(&type, 1, error) || !putU16(uint32_t(name.size()), error) ||
      !put(name.data(), name.size(), error) || !put(time, 8, error) || !putU32(entry.attributes, error)) {
    return false;
  }
  if (entry.type != payload::kFileEntry) return true;

  std::ifstream in(std::filesystem::u8path(entry.sourcePath), std::ios::binary);
  if (!in) {
    error = "Cannot read " + entry.sourcePath;
    return false;
  }
  std::string raw(m_policy.chunkSize, '\0');
  m_fileCrc = ZipCRC();
  for (;;) {
    in.read(&raw[0], std::streamsize(raw.size()));
    std::streamsize got = in.gcount();
    m_fileCrc.update(raw.data(), uint32_t(got));
    if (got > 0 && !writeChunk(raw.substr(0, size_t(got)), error)) return false;
    if (in.bad()) {
      error = "Failed while reading " + entry.sourcePath;
      return false;
    }
    if (got < std::streamsize(raw.size())) break;
  }
  return putU32(0, error);
}

bool PayloadWriter::writeEnd(std::string &error) {
  uint8_t type = payload::kEndEntry;
  return putU32(payload::kEntryMarker, error) && put(&type, 1, error);
}
