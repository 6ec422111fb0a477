#pragma once

#include <cstdint>

#include "base/ExtIntArray.h"
#include "base/StringBuffer.h"

// The ordered attributes of one element: all names and values back to back in one buffer, and
// their lengths alternating name, value in an integer array. Names compare exactly; a repeated
// name is kept as a further pair and lookups find the first.
class AttributeSet {
 public:
  AttributeSet();
  AttributeSet(const AttributeSet &) = delete;
  AttributeSet &operator=(const AttributeSet &) = delete;
  virtual ~AttributeSet() = default;

  bool addPair(const char *name, uint32_t nameLength, const char *value, uint32_t valueLength);
  // False when absent (the output is then empty).
  bool getValue(const char *name, StringBuffer &out) const;
  // The pair at `index` in document order; false (outputs empty) past the end.
  bool getPair(int index, StringBuffer &name, StringBuffer &value) const;
  bool hasName(const char *name) const;
  int getCount() const { return m_lengths.getCount() / 2; }
  bool removeFirst(const char *name);
  void removeAll(const char *name);
  // Each pair as: space, name, =, double quote, escaped value, double quote.
  bool writeXml(StringBuffer &out) const;

 private:
  // The pair index of the first pair named `name`, or -1; `offset` receives where it starts.
  int findPair(const char *name, uint32_t &offset) const;
  uint32_t nameLength(int pair) const { return uint32_t(m_lengths.get(2 * pair)); }
  uint32_t valueLength(int pair) const { return uint32_t(m_lengths.get(2 * pair + 1)); }

  ExtIntArray m_lengths;
  StringBuffer m_text;
};
