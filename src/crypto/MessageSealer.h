// The authenticated scheme's messages: a key stretched from the password with Argon2id, and
// every message sealed with XChaCha20-Poly1305 under it, bound to its place. All of the
// cryptography is libsodium's; this class only frames it. A sealed message is a random 24-byte
// nonce, the ciphertext and the 16-byte tag.
#pragma once

#include <cstdint>

#include "crypto/MessagePlace.h"

class DataBuffer;
class LogBase;

// How hard the key is to guess, as stored in the payload. A reader refuses values outside the
// bounds before it allocates anything for them.
struct KdfParams {
  static constexpr uint32_t kSaltSize = 16;
  static constexpr uint32_t kMinMemoryKiB = 8;
  static constexpr uint32_t kMaxMemoryKiB = 1024 * 1024;  // 1 GiB
  static constexpr uint32_t kMinPasses = 1;
  static constexpr uint32_t kMaxPasses = 32;
  // Chosen by measurement (bench/sealed_bench): about half a second per derivation on a
  // current PC, as long as a guess takes on an attacker's.
  static constexpr uint32_t kDefaultMemoryKiB = 256 * 1024;
  static constexpr uint32_t kDefaultPasses = 3;

  uint8_t salt[kSaltSize] = {};
  uint32_t memoryKiB = kDefaultMemoryKiB;
  uint32_t passes = kDefaultPasses;

  bool withinBounds() const;
};

// One key and what it seals and opens. The key is set once, before the object is shared; after
// that seal and open only read it, so that threads may each use a copy (copyKeyFrom) or, for
// sealing, the same object.
class MessageSealer {
 public:
  static constexpr uint32_t kNonceSize = 24;
  static constexpr uint32_t kTagSize = 16;
  static constexpr uint32_t kOverhead = kNonceSize + kTagSize;

  MessageSealer() = default;
  ~MessageSealer();
  MessageSealer(const MessageSealer &) = delete;
  MessageSealer &operator=(const MessageSealer &) = delete;

  // Argon2id over the password bytes as given; false (logged) when the parameters are out of
  // bounds or the memory cannot be had. Runs for as long as the parameters say.
  bool deriveKey(const void *password, uint32_t length, const KdfParams &params, LogBase &log);
  void copyKeyFrom(const MessageSealer &other);
  // A new random salt for a payload being built.
  static void randomSalt(KdfParams &params);
  bool hasKey() const { return m_hasKey; }

  // Appends the sealed message to `out`. `extra` (may be empty) is authenticated with the place.
  bool seal(const MessagePlace &place, const void *plain, uint32_t length, DataBuffer &out,
            const void *extra = nullptr, uint32_t extraLength = 0) const;
  // Replaces a sealed message in `bytes` with its plaintext; false, leaving the bytes
  // unusable, when it is not whole, not sealed under this key or not from this place.
  bool open(const MessagePlace &place, DataBuffer &bytes, const void *extra = nullptr,
            uint32_t extraLength = 0) const;

 private:
  uint8_t m_key[32] = {};
  bool m_hasKey = false;
};
