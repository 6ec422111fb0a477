#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/DataBuffer.h"
#include "base/LogBase.h"
#include "crypto/AesKeyDerivation.h"
#include "crypto/AesMessageEncrypt.h"

// Lays out payload bytes field by field, so that tests can write well-formed payloads and every
// kind of broken one. Encryption, when switched on, uses the builder's message encryption.
class PayloadBytes {
 public:
  std::vector<uint8_t> bytes;

  PayloadBytes &raw(const std::string &text) {
    bytes.insert(bytes.end(), text.begin(), text.end());
    return *this;
  }
  PayloadBytes &u8(uint32_t v) {
    bytes.push_back(uint8_t(v));
    return *this;
  }
  PayloadBytes &u16(uint32_t v) { return u8(v).u8(v >> 8); }
  PayloadBytes &u32(uint32_t v) { return u16(v).u16(v >> 16); }
  PayloadBytes &u64(uint64_t v) { return u32(uint32_t(v)).u32(uint32_t(v >> 32)); }

  // Bytes 07 D2 6C BF 21 59 AB AA.
  PayloadBytes &marker() { return u32(0xBF6CD207).u32(0xAAAB5921); }
  // The marker of a payload an earlier stub cannot read, and its header with the feature word.
  PayloadBytes &extendedMarker() { return u32(0xBF6CD207).u32(0xAAAB5922); }
  PayloadBytes &extendedHeader(uint32_t features, bool encrypted, uint8_t keyCode) {
    return u32(features).u8(encrypted ? 1 : 0).u8(keyCode);
  }
  PayloadBytes &header(bool encrypted, uint8_t keyCode) { return u32(1).u8(encrypted ? 1 : 0).u8(keyCode); }
  PayloadBytes &value(const std::string &name, const std::string &text) {
    return u16(uint32_t(name.size())).raw(name).u16(uint32_t(text.size())).raw(text);
  }
  PayloadBytes &endValues() { return u16(0); }
  // The check-value list as the builder writes it: four bytes per file, most significant first,
  // encrypted when encryption is on, as hex text.
  PayloadBytes &checkValues(const std::vector<uint32_t> &crcs, const std::string &name = "fileCrc32") {
    std::string list;
    for (uint32_t c : crcs)
      for (int shift = 24; shift >= 0; shift -= 8) list += char(c >> shift);
    std::string text;
    for (unsigned char b : protect(list)) {
      text += "0123456789abcdef"[b >> 4];
      text += "0123456789abcdef"[b & 15];
    }
    return value(name, text);
  }

  // The header check value over every byte so far, as the builder ends the named values with it;
  // the CRC comes from zlib.
  PayloadBytes &headerCheck() {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", unsigned(::crc32(0L, bytes.data(), uInt(bytes.size()))));
    return value("headerCrc32", text);
  }

  // From here on names, chunks and the verifier are encrypted under this password.
  PayloadBytes &encryptWith(const std::string &password, int keyBits) {
    m_keyBits = keyBits;
    deriveKey(password.data(), uint32_t(password.size()), keyBits, m_key);
    m_encrypting = true;
    return *this;
  }
  std::string protect(const std::string &plain) {
    if (!m_encrypting) return plain;
    DataBuffer out;
    LogNull log;
    aesEncryptMessage(m_key, m_keyBits, plain.data(), uint32_t(plain.size()), out, log);
    return std::string(reinterpret_cast<const char *>(out.getData()), out.getSize());
  }
  PayloadBytes &verifier() {
    std::string cipher = protect("qzvk");
    return u8(uint32_t(cipher.size())).raw(cipher);
  }

  PayloadBytes &entryStart(uint8_t type) { return u32(0x6D27E59B).u8(type); }
  PayloadBytes &entry(uint8_t type, const std::string &name, uint64_t localTime = 0,
                      uint32_t attributes = 0x20) {
    std::string stored = protect(name);
    return entryStart(type).u16(uint32_t(stored.size())).raw(stored).u64(localTime).u32(attributes);
  }
  PayloadBytes &storedChunk(const std::string &data) {
    std::string body = protect(data);
    return u32(uint32_t(body.size()) | 0x80000000u).raw(body);
  }
  PayloadBytes &deflatedChunk(const std::vector<uint8_t> &deflate) {
    std::string body = protect(std::string(deflate.begin(), deflate.end()));
    return u32(uint32_t(body.size())).raw(body);
  }
  PayloadBytes &endChunks() { return u32(0); }
  PayloadBytes &endEntry() { return entryStart(0); }

 private:
  bool m_encrypting = false;
  int m_keyBits = 128;
  DataBuffer m_key;
};
