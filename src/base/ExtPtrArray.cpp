#include "base/ExtPtrArray.h"

#include <cstdlib>
#include <cstring>

namespace {
constexpr int kMaxIncrement = 100000;
}

ExtPtrArray::~ExtPtrArray() { std::free(m_items); }

bool ExtPtrArray::append(QuorvelObject *item) {
  if (m_count + 1 > m_capacity) {
    int newCapacity = m_capacity == 0 ? 5 : m_capacity + m_increment;
    if (newCapacity < m_count + 1) newCapacity = m_count + 2;
    auto **items = static_cast<QuorvelObject **>(std::calloc(size_t(newCapacity), sizeof(QuorvelObject *)));
    if (items == nullptr) return false;
    if (m_count) std::memcpy(items, m_items, size_t(m_count) * sizeof(QuorvelObject *));
    std::free(m_items);
    m_items = items;
    m_capacity = newCapacity;
    // Roughly doubles until the steps reach their ceiling.
    if (m_increment < kMaxIncrement) m_increment = newCapacity < kMaxIncrement ? newCapacity : kMaxIncrement;
  }
  m_items[m_count++] = item;
  return true;
}

QuorvelObject *ExtPtrArray::get(int index) const {
  return index >= 0 && index < m_count ? m_items[index] : nullptr;
}

QuorvelObject *ExtPtrArray::last() const { return m_count ? m_items[m_count - 1] : nullptr; }

QuorvelObject *ExtPtrArray::removeAt(int index) {
  if (index < 0 || index >= m_count) return nullptr;
  QuorvelObject *item = m_items[index];
  if (index < m_count - 1) {
    std::memmove(m_items + index, m_items + index + 1, size_t(m_count - 1 - index) * sizeof(QuorvelObject *));
  }
  m_items[--m_count] = nullptr;
  return item;
}

QuorvelObject *ExtPtrArray::pop() { return removeAt(m_count - 1); }

void ExtPtrArray::deleteAll() {
  for (int i = 0; i < m_count; ++i) delete m_items[i];
  m_count = 0;
}

void ExtPtrArray::reset() {
  deleteAll();
  if (m_capacity > 2000) {
    std::free(m_items);
    m_items = nullptr;
    m_capacity = 0;
  }
  m_increment = 5;
}
