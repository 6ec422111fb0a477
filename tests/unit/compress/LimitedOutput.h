// A test sink that accepts `room` bytes and fails every write after that, like a full disk.
#pragma once

#include <cstdint>

#include "compress/Output.h"

class LimitedOutput : public Output {
 public:
  explicit LimitedOutput(uint64_t room) : m_room(room) {}
  bool rawWrite(const uint8_t *, uint32_t length, ProgressMonitor *, LogBase &) override {
    if (length > m_room) return false;
    m_room -= length;
    return true;
  }

 private:
  uint64_t m_room;
};
