#pragma once

#include <cstdint>

// Common base of the library's objects: containers destroy items through this virtual
// destructor, and the serial tells objects apart in traces.
class QuorvelObject {
 public:
  QuorvelObject();
  QuorvelObject(const QuorvelObject &);
  QuorvelObject &operator=(const QuorvelObject &) { return *this; }
  virtual ~QuorvelObject() = default;

  uint64_t getSerial() const { return m_serial; }

 private:
  uint64_t m_serial;
};
