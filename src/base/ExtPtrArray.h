#pragma once

#include <cstdint>

#include "base/QuorvelObject.h"

// Growable array of object pointers. It never deletes its items by itself: owners call
// deleteAll (or pop and delete one by one).
class ExtPtrArray {
 public:
  ExtPtrArray() = default;
  ExtPtrArray(const ExtPtrArray &) = delete;
  ExtPtrArray &operator=(const ExtPtrArray &) = delete;
  ~ExtPtrArray();

  bool append(QuorvelObject *item);
  QuorvelObject *get(int index) const;
  QuorvelObject *last() const;
  QuorvelObject *removeAt(int index);
  QuorvelObject *pop();
  int getCount() const { return m_count; }
  int getCapacity() const { return m_capacity; }
  void clear() { m_count = 0; }
  void deleteAll();
  void reset();

 private:
  int m_increment = 5;
  int m_capacity = 0;
  int m_count = 0;
  QuorvelObject **m_items = nullptr;
};
