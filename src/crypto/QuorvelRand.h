#pragma once

#include <cstdint>

// Access to the process-wide R250 generator behind temporary names. The class holds no state
// of its own; the generator is seeded from the system's random provider on the first draw.
class QuorvelRand {
 public:
  static uint32_t next();
  // Uniform in [low, high] from the low 24 bits of a draw.
  static int randomInt(int low, int high);
  // One of A-Z or 0-9.
  static char tempNameChar();

  // Generator positions, for tests of the index wrap.
  static int firstIndex();
  static int secondIndex();
};
