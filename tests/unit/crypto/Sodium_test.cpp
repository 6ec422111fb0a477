// The build of libsodium that both programs link (cmake/sodium.cmake) against PyNaCl's results
// (fixtures/gen_sodium_vectors.py): Argon2id keys, XChaCha20-Poly1305 seals and a secret stream.
#include <gtest/gtest.h>
#include <sodium.h>

#include <vector>

#include "AesTestSupport.h"

namespace {
struct Argon2idVector {
  const char *password, *salt;
  unsigned long long passes;
  size_t memory;
  const char *key;
};
const Argon2idVector kArgon2id[] = {
#define ARGON2ID(password, salt, passes, memory, key) {password, salt, passes, memory, key},
#include "fixtures/sodium_vectors.inc"
#undef ARGON2ID
};

struct SealVector {
  const char *key, *nonce, *data, *message, *sealed;
};
const SealVector kSeals[] = {
#define XCHACHA_SEAL(key, nonce, data, message, sealed) {key, nonce, data, message, sealed},
#include "fixtures/sodium_vectors.inc"
#undef XCHACHA_SEAL
};

struct StreamVector {
  const char *key, *header, *message;
  unsigned char tag;
  const char *sealed;
};
const StreamVector kStream[] = {
#define SECRET_STREAM(key, header, message, tag, sealed) {key, header, message, tag, sealed},
#include "fixtures/sodium_vectors.inc"
#undef SECRET_STREAM
};

class Sodium : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_GE(sodium_init(), 0); }
};
}  // namespace

TEST_F(Sodium, Argon2idDerivesPyNaClsKeys) {
  for (const Argon2idVector &v : kArgon2id) {
    std::vector<uint8_t> password = fromHex(v.password), salt = fromHex(v.salt), key(32);
    // Never a null password, even an empty one: crypto_pwhash declares it non-null.
    password.reserve(1);
    ASSERT_EQ(salt.size(), size_t{crypto_pwhash_SALTBYTES});
    ASSERT_EQ(crypto_pwhash(key.data(), key.size(), reinterpret_cast<const char *>(password.data()), password.size(),
                            salt.data(), v.passes, v.memory, crypto_pwhash_ALG_ARGON2ID13),
              0);
    EXPECT_EQ(key, fromHex(v.key)) << v.passes << " passes, " << v.memory << " bytes";
  }
}

TEST_F(Sodium, XChaCha20Poly1305SealsAsPyNaClAndOpensOnlyWhatIsIntact) {
  for (const SealVector &v : kSeals) {
    std::vector<uint8_t> key = fromHex(v.key), nonce = fromHex(v.nonce), data = fromHex(v.data);
    std::vector<uint8_t> message = fromHex(v.message), sealed = fromHex(v.sealed);
    ASSERT_EQ(sealed.size(), message.size() + crypto_aead_xchacha20poly1305_ietf_ABYTES);
    std::vector<uint8_t> ours(sealed.size());
    unsigned long long length = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(ours.data(), &length, message.data(), message.size(), data.data(),
                                               data.size(), nullptr, nonce.data(), key.data());
    EXPECT_EQ(ours, sealed) << v.message;

    std::vector<uint8_t> opened(message.size() + 1);
    ASSERT_EQ(crypto_aead_xchacha20poly1305_ietf_decrypt(opened.data(), &length, nullptr, sealed.data(), sealed.size(),
                                                         data.data(), data.size(), nonce.data(), key.data()),
              0);
    opened.resize(length);
    EXPECT_EQ(opened, message);
    // A changed byte of the message, of its tag or of the associated data: nothing opens.
    for (size_t at : {size_t{0}, sealed.size() - 1}) {
      std::vector<uint8_t> changed = sealed;
      changed[at] ^= 0x40;
      EXPECT_NE(crypto_aead_xchacha20poly1305_ietf_decrypt(opened.data(), &length, nullptr, changed.data(),
                                                           changed.size(), data.data(), data.size(), nonce.data(),
                                                           key.data()),
                0);
    }
    std::vector<uint8_t> otherData = data;
    otherData.push_back(0);
    EXPECT_NE(crypto_aead_xchacha20poly1305_ietf_decrypt(opened.data(), &length, nullptr, sealed.data(), sealed.size(),
                                                         otherData.data(), otherData.size(), nonce.data(), key.data()),
              0);
  }
}

TEST_F(Sodium, SecretStreamOpensPyNaClsMessagesInOrderAndRefusesThemOutOfOrder) {
  std::vector<uint8_t> key = fromHex(kStream[0].key), header = fromHex(kStream[0].header);
  crypto_secretstream_xchacha20poly1305_state state;
  ASSERT_EQ(crypto_secretstream_xchacha20poly1305_init_pull(&state, header.data(), key.data()), 0);
  crypto_secretstream_xchacha20poly1305_state fresh = state;
  for (const StreamVector &v : kStream) {
    std::vector<uint8_t> sealed = fromHex(v.sealed), opened(sealed.size());
    unsigned long long length = 0;
    unsigned char tag = 0xff;
    ASSERT_EQ(crypto_secretstream_xchacha20poly1305_pull(&state, opened.data(), &length, &tag, sealed.data(),
                                                         sealed.size(), nullptr, 0),
              0);
    opened.resize(length);
    EXPECT_EQ(opened, fromHex(v.message));
    EXPECT_EQ(tag, v.tag);
  }
  // The second message first: its place in the stream is part of what is authenticated.
  std::vector<uint8_t> second = fromHex(kStream[1].sealed), opened(second.size());
  EXPECT_NE(crypto_secretstream_xchacha20poly1305_pull(&fresh, opened.data(), nullptr, nullptr, second.data(),
                                                       second.size(), nullptr, 0),
            0);
}
