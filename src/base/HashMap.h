#pragma once

#include <cstdint>

#include "base/QuorvelObject.h"
#include "base/StringBuffer.h"

// String-keyed map of owned objects; names are compared byte for byte.
class HashMap {
 public:
  // A bucket count of 0 means 100.
  explicit HashMap(uint32_t bucketCount = 0);
  HashMap(const HashMap &) = delete;
  HashMap &operator=(const HashMap &) = delete;
  ~HashMap();

  // Takes ownership of value. A name already present has its old value destroyed and replaced.
  bool insert(const char *name, QuorvelObject *value);
  bool insert(const void *name, uint32_t nameLength, QuorvelObject *value);
  QuorvelObject *lookup(const char *name) const;
  QuorvelObject *lookup(const void *name, uint32_t nameLength) const;
  uint32_t getCount() const;

  uint32_t getBucketCount() const { return m_bucketCount; }
  // MD5 of the name, CRC-32 of that digest, modulo the bucket count.
  static uint32_t bucketIndex(const void *name, uint32_t nameLength, uint32_t bucketCount);

 private:
  struct Item {
    StringBuffer name;
    QuorvelObject *value = nullptr;
    Item *prev = nullptr;
    Item *next = nullptr;
  };
  struct Bucket {
    Item *head = nullptr;
    Item *tail = nullptr;
    uint32_t count = 0;
  };

  Item *find(const void *name, uint32_t nameLength, uint32_t bucket) const;

  uint32_t m_bucketCount;
  Bucket *m_buckets;
};
