#pragma once

#include <cstdint>

class DataBuffer;
class LogBase;

// The payload builder's side of the message encryption; the extractor never links it.

// Encrypts one message so that AesContext::decryptBuffer gives it back: PKCS#7 padding (1 to
// 16 bytes, each holding the count), then CBC from an all-zero chaining value. The key rule is
// the decryptor's: the first keyBits / 8 bytes, missing bytes zero. The output is cleared first.
bool aesEncryptMessage(const DataBuffer &key, int keyBits, const void *plain, uint32_t length,
                       DataBuffer &out, LogBase &log);

// The verifier ciphertext (without its length byte) that accepts exactly this password.
bool makePasswordVerifier(const void *password, uint32_t passwordLength, int keyBits, DataBuffer &out,
                          LogBase &log);
