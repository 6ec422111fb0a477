#include "crypto/AesContext.h"

#include <cstring>

#include "base/DataBuffer.h"
#include "base/LogBase.h"
#include "crypto/SecureWipe.h"

namespace {
// Spare room asked for beyond the message when the output buffer is sized.
constexpr uint64_t kOutputSlack = 32;
}  // namespace

AesContext::AesContext() : m_engine(aesBestEngine()) {}

AesContext::~AesContext() {
  secureWipe(m_key, sizeof m_key);
  secureWipe(m_roundKeys.words, sizeof m_roundKeys.words);
}

void AesContext::setKeySize(int bits) {
  m_keyBits = aesSupportedKeyBits(bits);
  m_initialised = false;
}

void AesContext::setKey(const DataBuffer &key) {
  secureWipe(m_key, sizeof m_key);
  uint32_t n = key.getSize();
  if (n > sizeof m_key) n = sizeof m_key;
  if (n) std::memcpy(m_key, key.getData(), n);
  m_initialised = false;
}

void AesContext::copyKeyFrom(const AesContext &other) {
  std::memcpy(m_key, other.m_key, sizeof m_key);
  m_keyBits = other.m_keyBits;
  m_mode = other.m_mode;
  m_paddingScheme = other.m_paddingScheme;
  m_swapWords = other.m_swapWords;
  std::memcpy(m_chainingValue, other.m_chainingValue, sizeof m_chainingValue);
  m_initialised = false;
}

void AesContext::buildKeySchedule() {
  AesKeySchedule forward;
  aesExpandKey(m_key, m_keyBits, forward);
  // CFB runs the forward cipher even when decrypting.
  if (m_mode == kCfb1) {
    m_roundKeys = forward;
  } else {
    aesMakeDecryptionSchedule(forward, m_roundKeys);
  }
  secureWipe(forward.words, sizeof forward.words);
  m_initialised = true;
}

bool AesContext::decryptBlocks(const uint8_t *in, uint8_t *out, uint32_t blocks, LogBase &log) {
  if (!m_initialised) {
    log.logError("AES not initialized.");
    return false;
  }
  switch (m_mode) {
    case kCbc:
      aesDecryptCbc(m_engine, m_roundKeys, m_chainingValue, in, out, blocks);
      return true;
    case kEcb:
      aesDecryptEcb(m_engine, m_roundKeys, in, out, blocks);
      return true;
    case kCfb1:
      aesDecryptCfb1(m_engine, m_roundKeys, m_chainingValue, in, out, size_t(blocks) * 16);
      return true;
    default:
      log.logError("AES invalid mode");
      log.logDataInt("mode", m_mode);
      return false;
  }
}

bool AesContext::decryptBuffer(const DataBuffer &in, DataBuffer &out, LogBase &log) {
  const uint32_t size = in.getSize();
  if (size == 0) return true;
  buildKeySchedule();

  if (&in != &out) out.clear();
  const uint64_t room = uint64_t(size) + kOutputSlack;
  if (room > 0xFFFFFFFFu || !out.reserve(uint32_t(room))) {
    log.logMemoryFailure(1071, room);
    return false;
  }
  const uint32_t blocks = size / 16;
  // Read the input only now: when it is the output, reserving may have moved it.
  if (!decryptBlocks(in.getData(), out.getData(), blocks, log)) return false;
  out.setSize(blocks * 16);

  if (out.getSize() != 0) {
    if (m_swapWords) out.swapBytes32();
    if (m_paddingScheme == 0 || m_paddingScheme == 1) out.shortenBy(out.getData()[out.getSize() - 1]);
  }
  return true;
}
