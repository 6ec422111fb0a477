#include "crypto/MessageSealer.h"

#include <sodium.h>

#include <cstring>

#include "base/DataBuffer.h"
#include "base/LogBase.h"

namespace {
static_assert(crypto_aead_xchacha20poly1305_ietf_NPUBBYTES == MessageSealer::kNonceSize, "nonce size");
static_assert(crypto_aead_xchacha20poly1305_ietf_ABYTES == MessageSealer::kTagSize, "tag size");
static_assert(crypto_pwhash_argon2id_SALTBYTES == KdfParams::kSaltSize, "salt size");

// The associated data: the encoded place, then the caller's extra bytes.
class AssociatedData {
 public:
  AssociatedData(const MessagePlace &place, const void *extra, uint32_t extraLength) {
    place.encode(m_place);
    m_extra = static_cast<const uint8_t *>(extra);
    m_extraLength = extraLength;
  }
  // Without extra bytes the place itself is the data; with them the two are joined.
  bool join(DataBuffer &joined) const {
    return joined.append(m_place, sizeof m_place) && (m_extraLength == 0 || joined.append(m_extra, m_extraLength));
  }
  const uint8_t *place() const { return m_place; }
  bool hasExtra() const { return m_extraLength != 0; }

 private:
  uint8_t m_place[MessagePlace::kEncodedSize];
  const uint8_t *m_extra = nullptr;
  uint32_t m_extraLength = 0;
};
}  // namespace

bool KdfParams::withinBounds() const {
  return memoryKiB >= kMinMemoryKiB && memoryKiB <= kMaxMemoryKiB && passes >= kMinPasses && passes <= kMaxPasses;
}

MessageSealer::~MessageSealer() { sodium_memzero(m_key, sizeof m_key); }

bool MessageSealer::deriveKey(const void *password, uint32_t length, const KdfParams &params, LogBase &log) {
  m_hasKey = false;
  if (!params.withinBounds()) {
    log.logError("Key derivation parameters out of bounds.");
    return false;
  }
  if (sodium_init() < 0) {
    log.logError("The cryptographic library cannot start.");
    return false;
  }
  if (crypto_pwhash(m_key, sizeof m_key, static_cast<const char *>(password), length, params.salt, params.passes,
                    size_t(params.memoryKiB) * 1024, crypto_pwhash_ALG_ARGON2ID13) != 0) {
    log.logError("Out of memory deriving the key.");
    return false;
  }
  m_hasKey = true;
  return true;
}

void MessageSealer::randomSalt(KdfParams &params) {
  if (sodium_init() < 0) return;
  randombytes_buf(params.salt, sizeof params.salt);
}

void MessageSealer::copyKeyFrom(const MessageSealer &other) {
  std::memcpy(m_key, other.m_key, sizeof m_key);
  m_hasKey = other.m_hasKey;
}

bool MessageSealer::seal(const MessagePlace &place, const void *plain, uint32_t length, DataBuffer &out,
                         const void *extra, uint32_t extraLength) const {
  if (!m_hasKey || length > 0xFFFFFFFFu - kOverhead) return false;
  AssociatedData data(place, extra, extraLength);
  DataBuffer joined;
  if (data.hasExtra() && !data.join(joined)) return false;
  const uint8_t *ad = data.hasExtra() ? joined.getData() : data.place();
  const uint32_t adLength = data.hasExtra() ? joined.getSize() : MessagePlace::kEncodedSize;
  const uint32_t start = out.getSize();
  if (!out.reserve(start + length + kOverhead)) return false;
  uint8_t *nonce = out.getData() + start;
  randombytes_buf(nonce, kNonceSize);
  unsigned long long sealed = 0;
  crypto_aead_xchacha20poly1305_ietf_encrypt(nonce + kNonceSize, &sealed, static_cast<const uint8_t *>(plain),
                                             length, ad, adLength, nullptr, nonce, m_key);
  out.setSize(start + kNonceSize + uint32_t(sealed));
  return true;
}

bool MessageSealer::open(const MessagePlace &place, DataBuffer &bytes, const void *extra,
                         uint32_t extraLength) const {
  if (!m_hasKey || bytes.getSize() < kOverhead) return false;
  AssociatedData data(place, extra, extraLength);
  DataBuffer joined;
  if (data.hasExtra() && !data.join(joined)) return false;
  const uint8_t *ad = data.hasExtra() ? joined.getData() : data.place();
  const uint32_t adLength = data.hasExtra() ? joined.getSize() : MessagePlace::kEncodedSize;
  uint8_t *nonce = bytes.getData();
  unsigned long long opened = 0;
  // In place, which libsodium allows; the plaintext then moves down over the nonce.
  if (crypto_aead_xchacha20poly1305_ietf_decrypt(nonce + kNonceSize, &opened, nullptr, nonce + kNonceSize,
                                                 bytes.getSize() - kNonceSize, ad, adLength, nonce, m_key) != 0) {
    return false;
  }
  std::memmove(nonce, nonce + kNonceSize, size_t(opened));
  bytes.setSize(uint32_t(opened));
  return true;
}
