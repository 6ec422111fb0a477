#include "base/QuorvelObject.h"

namespace {
uint64_t nextSerial = 0;
}

QuorvelObject::QuorvelObject() : m_serial(++nextSerial) {}

// A copy is a new object and takes a serial of its own.
QuorvelObject::QuorvelObject(const QuorvelObject &) : m_serial(++nextSerial) {}
