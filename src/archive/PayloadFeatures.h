#pragma once

#include <cstdint>

// What a payload needs of the stub beyond today's entry stream. A payload that needs nothing
// new is written exactly as before. One that does carries the extended container marker, which
// an earlier stub never finds, so that it stops at start-up instead of misreading the entries;
// the header's first word, which earlier payloads write as 1 and no reader interprets, then
// says what is needed.

// How the contents of the files are stored.
enum class PayloadLayout : uint8_t {
  DeflateChunks = 0,  // each file's own chunks, raw deflate or stored
  SolidZstd = 1,      // the files' contents as one stream in independent zstd frames
  SolidXz = 2,        // the same in independent xz blocks
};

// How names and contents are protected when the header's encrypted flag is set.
enum class PayloadScheme : uint8_t {
  Classic = 0,  // AES under the password's MD5
  Sodium = 1,   // Argon2id and XChaCha20-Poly1305
};

struct PayloadFeatures {
  PayloadLayout layout = PayloadLayout::DeflateChunks;
  PayloadScheme scheme = PayloadScheme::Classic;

  // Whether the payload needs the extended marker: anything beyond the defaults.
  bool extended() const { return layout != PayloadLayout::DeflateChunks || scheme != PayloadScheme::Classic; }
  // Byte 0 the layout, byte 1 the scheme; the upper bytes stay zero for additions to come.
  uint32_t word() const { return uint32_t(layout) | uint32_t(scheme) << 8; }
  // False for a word with reserved bits set; the values are taken as they are, known or not.
  static bool fromWord(uint32_t word, PayloadFeatures &out);
};

// Whether this program can read a payload that needs these features.
bool payloadFeaturesSupported(const PayloadFeatures &features);

namespace payload_marker {
// The second half of the container marker, in today's payloads and in extended ones. Only the
// low parts are constants: the halves are put together at run time (see SimpleArchive).
constexpr uint32_t kSecondHalfHigh = 0xAA000000u;
constexpr uint32_t kClassicSecondHalfLow = 0x00AB5921u;
constexpr uint32_t kExtendedSecondHalfLow = 0x00AB5922u;
}  // namespace payload_marker
