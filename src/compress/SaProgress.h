#pragma once

#include <cstdint>

// Per-entry progress notifications from the archive reader. Applications derive from it to
// follow extraction; the notifications cannot skip or abort anything, and the base ignores them.
class SaProgress {
 public:
  virtual ~SaProgress() = default;
  virtual void progress(uint32_t consumed, uint32_t produced) {
    (void)consumed;
    (void)produced;
  }
};
