#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/AesKeySchedule.h"

// The block cipher on the x86 AES instructions. The code is compiled for those instructions
// function by function, so the rest of the program stays runnable on any x86 CPU; call it only
// when aesNiAvailable() says the CPU has them.
#if defined(__x86_64__) || defined(__i386__)
#define SFX_HAVE_AESNI_CODE 1

// Asked of the CPU once per process.
bool aesNiAvailable();

void aesNiEncryptBlock(const AesKeySchedule &forward, const uint8_t in[16], uint8_t out[16]);
// CBC decryption (iv given) or ECB decryption (iv null) of whole blocks, several blocks at a
// time. out may equal in.
void aesNiDecryptBlocks(const AesKeySchedule &inverse, const uint8_t *iv, const uint8_t *in, uint8_t *out,
                        size_t blocks);
#endif
