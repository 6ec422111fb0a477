#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/AesKeySchedule.h"

// Which implementation runs the block cipher. Both give identical results.
enum class AesEngine { Portable, AesNi };

// AesNi when this CPU has the AES instructions, else Portable.
AesEngine aesBestEngine();

// The forward cipher on one block.
void aesEncryptBlock(AesEngine engine, const AesKeySchedule &forward, const uint8_t in[16], uint8_t out[16]);

// Decryption of whole blocks with the inverse schedule. CBC starts from the chaining value iv.
// out may equal in.
void aesDecryptCbc(AesEngine engine, const AesKeySchedule &inverse, const uint8_t iv[16], const uint8_t *in,
                   uint8_t *out, size_t blocks);
void aesDecryptEcb(AesEngine engine, const AesKeySchedule &inverse, const uint8_t *in, uint8_t *out,
                   size_t blocks);

// CFB with 1-bit feedback, with the forward schedule: each ciphertext bit, most significant
// first, costs one run of the forward cipher over the last 128 ciphertext bits. out may equal in.
void aesDecryptCfb1(AesEngine engine, const AesKeySchedule &forward, const uint8_t iv[16], const uint8_t *in,
                    uint8_t *out, size_t bytes);
