#pragma once

#include <cstddef>
#include <cstdint>

// Zeroes key material through volatile stores, which the optimiser cannot drop as dead.
inline void secureWipe(void *p, size_t n) {
  volatile uint8_t *bytes = static_cast<volatile uint8_t *>(p);
  while (n--) *bytes++ = 0;
}
