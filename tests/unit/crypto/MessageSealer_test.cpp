#include "crypto/MessageSealer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/DataBuffer.h"
#include "base/LogBase.h"
#include "unit/crypto/AesTestSupport.h"

namespace {
// Computed with PyNaCl (Debian's python3-nacl): argon2id.kdf(32, b"pass word", bytes(range(16)),
// opslimit=2, memlimit=64 KiB), then crypto_aead_xchacha20poly1305_ietf_encrypt(b"hello sealed",
// struct.pack("<BBxxIQ", 2, 1, 3, 5), bytes(range(0x40, 0x58)), key), nonce first.
constexpr char kSealedByPyNaCl[] =
    "404142434445464748494a4b4c4d4e4f5051525354555657"
    "2ff2d9d4703c749602757f44281459809de8ff0864482e6e5fdf977b";

KdfParams vectorParams() {
  KdfParams params;
  for (uint32_t i = 0; i < KdfParams::kSaltSize; ++i) params.salt[i] = uint8_t(i);
  params.memoryKiB = 64;
  params.passes = 2;
  return params;
}

MessagePlace chunkPlace(uint32_t entry, uint64_t index, bool last) {
  MessagePlace place;
  place.kind = MessageKind::Chunk;
  place.entry = entry;
  place.index = index;
  place.last = last;
  return place;
}

bool opens(const MessageSealer &sealer, const MessagePlace &place, const DataBuffer &sealed, std::string *plain = nullptr) {
  DataBuffer bytes;
  bytes.appendBuffer(sealed);
  if (!sealer.open(place, bytes)) return false;
  if (plain != nullptr) plain->assign(reinterpret_cast<const char *>(bytes.getData()), bytes.getSize());
  return true;
}
}  // namespace

TEST(MessageSealer, OpensWhatPyNaClSealedAtItsPlaceOnly) {
  MessageSealer sealer;
  LogNull log;
  ASSERT_TRUE(sealer.deriveKey("pass word", 9, vectorParams(), log));
  const DataBuffer sealed = bufferOf(fromHex(kSealedByPyNaCl));
  std::string plain;
  ASSERT_TRUE(opens(sealer, chunkPlace(3, 5, true), sealed, &plain));
  EXPECT_EQ(plain, "hello sealed");
  // Every field of the place counts.
  EXPECT_FALSE(opens(sealer, chunkPlace(3, 5, false), sealed));
  EXPECT_FALSE(opens(sealer, chunkPlace(4, 5, true), sealed));
  EXPECT_FALSE(opens(sealer, chunkPlace(3, 6, true), sealed));
  MessagePlace other = chunkPlace(3, 5, true);
  other.kind = MessageKind::Block;
  EXPECT_FALSE(opens(sealer, other, sealed));
  // So does every byte: nonce, ciphertext and tag.
  for (uint32_t at = 0; at < sealed.getSize(); ++at) {
    DataBuffer changed = bufferOf(fromHex(kSealedByPyNaCl));
    changed.getData()[at] ^= 0x01;
    EXPECT_FALSE(opens(sealer, chunkPlace(3, 5, true), changed)) << at;
  }
  // Cut short, or shorter than a nonce and a tag.
  DataBuffer cut = bufferOf(fromHex(kSealedByPyNaCl));
  cut.setSize(cut.getSize() - 1);
  EXPECT_FALSE(opens(sealer, chunkPlace(3, 5, true), cut));
  cut.setSize(MessageSealer::kOverhead - 1);
  EXPECT_FALSE(opens(sealer, chunkPlace(3, 5, true), cut));
}

TEST(MessageSealer, AnotherPasswordOrSaltGivesAnotherKey) {
  const DataBuffer sealed = bufferOf(fromHex(kSealedByPyNaCl));
  LogNull log;
  MessageSealer wrongPassword, wrongSalt, none;
  ASSERT_TRUE(wrongPassword.deriveKey("pass word ", 10, vectorParams(), log));
  KdfParams salted = vectorParams();
  salted.salt[15] ^= 1;
  ASSERT_TRUE(wrongSalt.deriveKey("pass word", 9, salted, log));
  EXPECT_FALSE(opens(wrongPassword, chunkPlace(3, 5, true), sealed));
  EXPECT_FALSE(opens(wrongSalt, chunkPlace(3, 5, true), sealed));
  EXPECT_FALSE(opens(none, chunkPlace(3, 5, true), sealed));
}

TEST(MessageSealer, SealsWithAFreshNonceAndExtraDataThatMustMatch) {
  MessageSealer sealer, copy;
  LogNull log;
  ASSERT_TRUE(sealer.deriveKey("k", 1, vectorParams(), log));
  copy.copyKeyFrom(sealer);
  const char extra[] = "header bytes";
  DataBuffer first, second;
  MessagePlace place;
  place.kind = MessageKind::Header;
  ASSERT_TRUE(sealer.seal(place, "", 0, first, extra, sizeof extra));
  ASSERT_TRUE(sealer.seal(place, "", 0, second, extra, sizeof extra));
  EXPECT_EQ(first.getSize(), MessageSealer::kOverhead);
  EXPECT_NE(std::memcmp(first.getData(), second.getData(), MessageSealer::kNonceSize), 0);
  DataBuffer bytes;
  bytes.appendBuffer(first);
  EXPECT_TRUE(copy.open(place, bytes, extra, sizeof extra));
  EXPECT_EQ(bytes.getSize(), 0u);
  const char changed[] = "header bytez";
  bytes.clear();
  bytes.appendBuffer(first);
  EXPECT_FALSE(copy.open(place, bytes, changed, sizeof changed));
  bytes.clear();
  bytes.appendBuffer(first);
  EXPECT_FALSE(copy.open(place, bytes));
}

TEST(MessageSealer, DerivationParametersBeyondTheBoundsAreRefusedUnused) {
  LogNull log;
  MessageSealer sealer;
  KdfParams params = vectorParams();
  for (auto [memory, passes] : {std::pair<uint32_t, uint32_t>{KdfParams::kMaxMemoryKiB + 1, 1}, {7, 1}, {64, 0},
                                {64, KdfParams::kMaxPasses + 1}, {0xFFFFFFFFu, 0xFFFFFFFFu}}) {
    params.memoryKiB = memory;
    params.passes = passes;
    EXPECT_FALSE(params.withinBounds()) << memory << " " << passes;
    EXPECT_FALSE(sealer.deriveKey("k", 1, params, log));
    EXPECT_FALSE(sealer.hasKey());
  }
  params.memoryKiB = KdfParams::kMinMemoryKiB;
  params.passes = KdfParams::kMinPasses;
  EXPECT_TRUE(sealer.deriveKey("k", 1, params, log));
}
