// The section a sealed payload carries where a classic one carries its password verifier: how
// to derive the key, how many entries follow, the password check and the authenticator of
// everything in front of it. Little-endian, fixed size:
//
//   u32 memory (KiB)   u32 passes   u32 entry count
//   u8 16, salt        u8 40, password check    u8 40, authenticator
//
// The password check is the empty message sealed at the PasswordCheck place: it opens under the
// right key and tells nothing else. The authenticator is the empty message sealed at the Header
// place with, as extra data, every payload byte from the container marker up to its own length
// byte: the header, the named values (the settings among them) and this section.
#pragma once

#include <cstdint>

#include "crypto/MessageSealer.h"

struct SealedHeader {
  static constexpr uint32_t kSealedEmpty = MessageSealer::kOverhead;
  static constexpr uint32_t kSize = 12 + 1 + KdfParams::kSaltSize + 2 * (1 + kSealedEmpty);
  static constexpr uint32_t kCheckOffset = 12 + 1 + KdfParams::kSaltSize + 1;
  static constexpr uint32_t kAuthenticatorOffset = kSize - kSealedEmpty;

  KdfParams params;
  uint32_t entryCount = 0;
  uint8_t check[kSealedEmpty] = {};
  uint8_t authenticator[kSealedEmpty] = {};

  // False for a section whose lengths or derivation parameters are out of bounds; nothing is
  // allocated for it before.
  static bool parse(const uint8_t *bytes, uint32_t size, SealedHeader &out);
};
