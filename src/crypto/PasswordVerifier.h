#pragma once

#include <cstdint>

class AesContext;
class DataBuffer;
class LogBase;
class StringBuffer;

// What a payload's password verifier decrypts to under the right key.
constexpr char kPasswordVerifierText[] = "qzvk";
constexpr uint32_t kPasswordVerifierLength = 4;

// Installs in the cipher the key size, CBC mode and the key derived from the password, then
// decrypts the verifier's ciphertext as one message: true exactly when that gives the verifier
// text. A failed decryption is a wrong password too. The outcome is not logged; the cipher
// keeps the key for the entries that follow.
bool verifierAcceptsPassword(AesContext &cipher, int keyBits, const void *password, uint32_t passwordLength,
                             const DataBuffer &verifier, LogBase &log);
bool verifierAcceptsPassword(AesContext &cipher, int keyBits, const StringBuffer &password,
                             const DataBuffer &verifier, LogBase &log);
