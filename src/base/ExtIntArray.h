#pragma once

#include <cstdint>

// Growable array of 32-bit integers.
class ExtIntArray {
 public:
  ExtIntArray() = default;
  ExtIntArray(const ExtIntArray &) = delete;
  ExtIntArray &operator=(const ExtIntArray &) = delete;
  ~ExtIntArray();

  // A capacity of 0 or less means 2.
  bool init(int initialCapacity, int increment);
  bool get(int index, int32_t &value) const;
  int32_t get(int index) const;
  bool append(int32_t value);
  bool removeAt(int index);
  int getCount() const { return m_count; }
  int getCapacity() const { return m_capacity; }

 private:
  bool resize(int newCapacity);

  int m_increment = 50;
  int m_capacity = 0;
  int m_count = 0;
  int32_t *m_items = nullptr;
};
