#include "base/QuorvelObject.h"

#include <atomic>

namespace {
// Atomic: the payload builder's worker threads create buffers side by side.
std::atomic<uint64_t> nextSerial{0};
}  // namespace

QuorvelObject::QuorvelObject() : m_serial(++nextSerial) {}

// A copy is a new object and takes a serial of its own.
QuorvelObject::QuorvelObject(const QuorvelObject &) : m_serial(++nextSerial) {}
