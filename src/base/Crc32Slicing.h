// The portable CRC-32 code, sixteen bytes per step through sixteen tables. It serves every CPU and
// finishes what the folding code leaves over.
#pragma once

#include <cstddef>
#include <cstdint>

// Runs `length` bytes through the register (preset and final inversion are the caller's).
uint32_t crc32SlicingUpdate(uint32_t register_, const uint8_t *data, size_t length);
