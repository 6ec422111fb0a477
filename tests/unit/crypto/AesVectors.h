#pragma once

// Vectors computed by Python's cryptography and hashlib (fixtures/gen_aes_vectors.py), as hex
// text. Messages are encrypted one by one in CBC from an all-zero chaining value.

// PKCS#7-padded messages.
struct AesMessageVector {
  int bits;
  const char *key, *plain, *cipher;
};
inline const AesMessageVector kAesMessages[] = {
#define AES_MESSAGE(bits, key, plain, cipher) {bits, key, plain, cipher},
#include "fixtures/aes_vectors.inc"
#undef AES_MESSAGE
};

// Unpadded messages: the expected output is the plaintext less what its last byte states.
struct AesRawMessageVector {
  int bits;
  const char *key, *cipher, *expected;
};
inline const AesRawMessageVector kAesRawMessages[] = {
#define AES_RAW_MESSAGE(bits, key, cipher, expected) {bits, key, cipher, expected},
#include "fixtures/aes_vectors.inc"
#undef AES_RAW_MESSAGE
};

struct DerivedKeyVector {
  const char *password;
  int bits;
  const char *key;
};
inline const DerivedKeyVector kDerivedKeys[] = {
#define DERIVED_KEY(password, bits, key) {password, bits, key},
#include "fixtures/aes_vectors.inc"
#undef DERIVED_KEY
};

// Verifiers for the password "secret".
struct VerifierVector {
  const char *password;
  int bits;
  const char *cipher;
};
inline const VerifierVector kVerifiers[] = {
#define VERIFIER(password, bits, cipher) {password, bits, cipher},
#include "fixtures/aes_vectors.inc"
#undef VERIFIER
};
