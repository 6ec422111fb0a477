#pragma once

#include <cstdint>

#include "crypto/AesKeySchedule.h"

// The table-driven block cipher, for CPUs without AES instructions. Both take schedules from
// AesKeySchedule.h: the forward one to encrypt, the inverse one to decrypt. out may equal in.
void aesPortableEncryptBlock(const AesKeySchedule &forward, const uint8_t in[16], uint8_t out[16]);
void aesPortableDecryptBlock(const AesKeySchedule &inverse, const uint8_t in[16], uint8_t out[16]);
