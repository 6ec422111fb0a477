#include "crypto/AesContext.h"

#include <gtest/gtest.h>

#include <string>

#include "base/LogBase.h"
#include "crypto/AesMessageEncrypt.h"
#include "unit/crypto/AesTestSupport.h"
#include "unit/crypto/AesVectors.h"

namespace {

class RecordingLog : public LogBase {
 public:
  bool logError(const char *text) override {
    text_ += std::string("error:") + text + "\n";
    return true;
  }
  bool logData(const char *tag, const char *value) override {
    text_ += std::string(tag) + "=" + value + "\n";
    return true;
  }
  std::string text_;
};

class AesContextTest : public EachAesEngine {
 protected:
  void configure(int bits, const char *keyHex) {
    if (GetParam() == AesEngine::Portable) aes_.usePortableCode();
    aes_.setKeySize(bits);
    aes_.setKey(bufferOf(fromHex(keyHex)));
  }
  std::vector<uint8_t> decrypt(const std::vector<uint8_t> &cipher) {
    DataBuffer out;
    EXPECT_TRUE(aes_.decryptBuffer(bufferOf(cipher), out, log_));
    return bytesOf(out);
  }

  AesContext aes_;
  LogNull log_;
  RecordingLog recorded_;
};
SFX_FOR_EACH_AES_ENGINE(AesContextTest);

}  // namespace

// One context decrypts all of them in turn: every message starts from the same chaining value.
TEST_P(AesContextTest, DecryptsMessagesEncryptedByAnIndependentImplementation) {
  for (const AesMessageVector &m : kAesMessages) {
    configure(m.bits, m.key);
    EXPECT_EQ(decrypt(fromHex(m.cipher)), fromHex(m.plain)) << m.bits << " bits, key " << m.key;
  }
}

TEST_P(AesContextTest, StripsWhatTheLastByteStatesButNeverMoreThanTheMessage) {
  // Covers a 16-byte message ending in 16 (empty result), pad bytes larger than the message
  // (empty result, as a wrong password gives) and a last byte of 0 (nothing stripped).
  for (const AesRawMessageVector &m : kAesRawMessages) {
    configure(m.bits, m.key);
    EXPECT_EQ(decrypt(fromHex(m.cipher)), fromHex(m.expected)) << m.cipher;
  }
}

TEST_P(AesContextTest, IgnoresBytesPastTheLastWholeBlock) {
  const AesMessageVector &m = kAesMessages[1];  // one byte of plaintext in one block
  configure(m.bits, m.key);
  std::vector<uint8_t> cipher = fromHex(m.cipher);
  ASSERT_EQ(cipher.size(), 16u);
  cipher.insert(cipher.end(), {1, 2, 3, 4});
  EXPECT_EQ(decrypt(cipher), fromHex(m.plain));
  // Fewer than 16 bytes decrypt to nothing and still succeed.
  cipher.resize(15);
  EXPECT_TRUE(decrypt(cipher).empty());
}

TEST_P(AesContextTest, DecryptsInPlaceWhenInputAndOutputAreOneBuffer) {
  for (const AesMessageVector &m : kAesMessages) {
    configure(m.bits, m.key);
    DataBuffer buffer = bufferOf(fromHex(m.cipher));
    ASSERT_TRUE(aes_.decryptBuffer(buffer, buffer, log_));
    EXPECT_EQ(bytesOf(buffer), fromHex(m.plain)) << m.key;
  }
}

TEST(AesContext, KeySizesRoundUpAndShortKeysArePaddedWithZeros) {
  AesContext aes;
  EXPECT_EQ(aes.getKeySize(), 256);
  const std::pair<int, int> sizes[] = {{0, 128}, {128, 128}, {129, 192}, {192, 192}, {193, 256}, {1000, 256}};
  for (auto [asked, got] : sizes) {
    aes.setKeySize(asked);
    EXPECT_EQ(aes.getKeySize(), got) << asked;
  }

  // A message under the all-zero 256-bit key decrypts with no key set, with a short key of
  // zeros, and with a longer key whose first 32 bytes are zero.
  const std::vector<uint8_t> zeroKey(32, 0), plain = {'a', 'b', 'c'};
  LogNull log;
  DataBuffer cipher, out;
  ASSERT_TRUE(aesEncryptMessage(bufferOf(zeroKey), 256, plain.data(), 3, cipher, log));
  for (int keyLength : {-1, 0, 5, 40}) {
    AesContext aes2;
    std::vector<uint8_t> key(keyLength < 0 ? 0 : keyLength, 0);
    if (keyLength == 40) key.back() = 0xFF;  // past the 32 bytes used
    if (keyLength >= 0) aes2.setKey(bufferOf(key));
    ASSERT_TRUE(aes2.decryptBuffer(cipher, out, log));
    EXPECT_EQ(bytesOf(out), plain) << keyLength;
  }
}

TEST_P(AesContextTest, PaddingSchemesAndWordSwapping) {
  const AesMessageVector &m = kAesMessages[4];  // 17 bytes of plaintext, 15 bytes of padding
  configure(m.bits, m.key);
  const std::vector<uint8_t> cipher = fromHex(m.cipher);
  std::vector<uint8_t> padded = fromHex(m.plain);
  padded.resize(32, 15);

  aes_.setPaddingScheme(2);  // keeps every byte
  EXPECT_EQ(decrypt(cipher), padded);
  aes_.setPaddingScheme(1);
  EXPECT_EQ(decrypt(cipher), fromHex(m.plain));

  std::vector<uint8_t> swapped = padded;
  for (size_t i = 0; i < swapped.size(); i += 4)
    std::swap(swapped[i], swapped[i + 3]), std::swap(swapped[i + 1], swapped[i + 2]);
  aes_.setSwapWords(true);
  aes_.setPaddingScheme(2);
  EXPECT_EQ(decrypt(cipher), swapped);
  // The padding is read after the swap: the last byte is now the 29th plaintext byte.
  aes_.setPaddingScheme(0);
  swapped.resize(swapped.size() - std::min<size_t>(swapped.back(), swapped.size()));
  EXPECT_EQ(decrypt(cipher), swapped);
}

TEST_P(AesContextTest, EcbModeThroughTheContext) {
  configure(128, "2b7e151628aed2a6abf7158809cf4f3c");
  aes_.setMode(AesContext::kEcb);
  aes_.setPaddingScheme(2);
  EXPECT_EQ(decrypt(fromHex("3ad77bb40d7a3660a89ecaf32466ef97f5d3d58503b9699de785895a96fdbaaf")),
            fromHex("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"));
}

TEST_P(AesContextTest, EmptyInputSucceedsAndLeavesTheOutputAlone) {
  configure(128, "00");
  DataBuffer empty, out;
  out.append("keep", 4);
  EXPECT_TRUE(aes_.decryptBuffer(empty, out, recorded_));
  EXPECT_EQ(bytesOf(out), std::vector<uint8_t>({'k', 'e', 'e', 'p'}));
  EXPECT_EQ(recorded_.text_, "");
}

TEST_P(AesContextTest, InvalidModeIsReportedWithTheMode) {
  configure(128, "00");
  aes_.setMode(3);
  DataBuffer in = bufferOf(std::vector<uint8_t>(16, 0)), out;
  EXPECT_FALSE(aes_.decryptBuffer(in, out, recorded_));
  EXPECT_EQ(recorded_.text_, "error:AES invalid mode\nmode=3\n");
}

TEST(AesContext, DecryptingBeforeAKeyScheduleExistsFails) {
  AesContext aes;
  RecordingLog log;
  uint8_t block[16] = {};
  EXPECT_FALSE(aes.decryptBlocks(block, block, 1, log));
  EXPECT_EQ(log.text_, "error:AES not initialized.\n");
  aes.buildKeySchedule();
  EXPECT_TRUE(aes.decryptBlocks(block, block, 1, log));
  // A schedule built for another mode would decrypt wrongly: changing the mode drops it.
  aes.setMode(AesContext::kCfb1);
  EXPECT_FALSE(aes.decryptBlocks(block, block, 1, log));
}

TEST(AesContext, AnOutputThatCannotBeSizedIsAMemoryFailure) {
  // A message so long that it and the spare room pass the 32-bit buffer limit; its bytes are
  // never touched.
  static uint8_t tiny[16];
  DataBuffer huge, out;
  huge.borrow(tiny, 0xFFFFFFF0u);
  AesContext aes;
  RecordingLog log;
  EXPECT_FALSE(aes.decryptBuffer(huge, out, log));
  EXPECT_EQ(log.text_, "error:Memory allocation failed.\nfailurePoint=1071\nnumBytes=4294967312\n");
  huge.release();
}
