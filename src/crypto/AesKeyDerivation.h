#pragma once

#include <cstdint>

class DataBuffer;
class StringBuffer;

// The byte appended to the password for the second digest of 192- and 256-bit keys. Payload
// builder and reader must agree on it.
constexpr uint8_t kKeyDerivationSuffix = '1';

// The AES key for a password, from its bytes exactly as given (no case folding, no trimming):
// MD5(password), then for 192 bits the first 8 and for 256 bits all 16 bytes of
// MD5(password + suffix). keyBits is 128, 192 or 256. The key is emptied first; false when it
// cannot grow.
bool deriveKey(const void *password, uint32_t length, int keyBits, DataBuffer &key);
bool deriveKey(const StringBuffer &password, int keyBits, DataBuffer &key);
