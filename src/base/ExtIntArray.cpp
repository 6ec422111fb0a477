#include "base/ExtIntArray.h"

#include <cstdlib>
#include <cstring>

namespace {
constexpr int kMaxIncrement = 500000;
}

ExtIntArray::~ExtIntArray() { std::free(m_items); }

bool ExtIntArray::resize(int newCapacity) {
  auto *items = static_cast<int32_t *>(std::malloc(size_t(newCapacity) * sizeof(int32_t)));
  if (items == nullptr) return false;
  if (m_count) std::memcpy(items, m_items, size_t(m_count) * sizeof(int32_t));
  std::free(m_items);
  m_items = items;
  m_capacity = newCapacity;
  return true;
}

bool ExtIntArray::init(int initialCapacity, int increment) {
  std::free(m_items);
  m_items = nullptr;
  m_count = m_capacity = 0;
  m_increment = increment;
  return resize(initialCapacity <= 0 ? 2 : initialCapacity);
}

bool ExtIntArray::get(int index, int32_t &value) const {
  if (index < 0 || index >= m_count) {
    value = 0;
    return false;
  }
  value = m_items[index];
  return true;
}

int32_t ExtIntArray::get(int index) const {
  int32_t value;
  get(index, value);
  return value;
}

bool ExtIntArray::append(int32_t value) {
  if (m_count >= m_capacity) {
    if (m_increment < 4) m_increment = 4;
    if (!resize(m_capacity + m_increment)) {
      if (m_increment <= 1000 || !resize(m_capacity + 20)) return false;
    }
    if (m_increment < kMaxIncrement) m_increment = m_capacity < kMaxIncrement ? m_capacity : kMaxIncrement;
  }
  m_items[m_count++] = value;
  return true;
}

bool ExtIntArray::removeAt(int index) {
  if (index < 0 || index >= m_count) return false;
  std::memmove(m_items + index, m_items + index + 1, size_t(m_count - 1 - index) * sizeof(int32_t));
  --m_count;
  return true;
}
