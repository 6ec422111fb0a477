// CRC-32 on the x86 carry-less multiply instruction (PCLMULQDQ). The code is compiled for that
// instruction function by function, so the rest of the program stays runnable on any x86 CPU;
// call it only when crc32ClmulAvailable() says the CPU has it.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#define SFX_HAVE_CLMUL_CODE 1

// Asked of the CPU once per process.
bool crc32ClmulAvailable();

// Runs `length` bytes through the register, like crc32SlicingUpdate, whose results it matches.
uint32_t crc32ClmulUpdate(uint32_t register_, const uint8_t *data, size_t length);
#endif
