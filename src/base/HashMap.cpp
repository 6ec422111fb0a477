#include "base/HashMap.h"

#include <cstring>
#include <new>

#include "base/DataBuffer.h"
#include "base/Md5.h"
#include "base/ZipCRC.h"

HashMap::HashMap(uint32_t bucketCount)
    : m_bucketCount(bucketCount ? bucketCount : 100), m_buckets(new (std::nothrow) Bucket[m_bucketCount]) {
  if (m_buckets == nullptr) m_bucketCount = 0;
}

HashMap::~HashMap() {
  for (uint32_t b = 0; b < m_bucketCount; ++b) {
    for (Item *item = m_buckets[b].head; item != nullptr;) {
      Item *next = item->next;
      delete item->value;
      delete item;
      item = next;
    }
  }
  delete[] m_buckets;
}

uint32_t HashMap::bucketIndex(const void *name, uint32_t nameLength, uint32_t bucketCount) {
  uint8_t digest[16];
  Md5::digest(name, nameLength, digest);
  return ZipCRC::crc32(digest, sizeof digest) % bucketCount;
}

HashMap::Item *HashMap::find(const void *name, uint32_t nameLength, uint32_t bucket) const {
  for (Item *item = m_buckets[bucket].head; item != nullptr; item = item->next) {
    if (item->name.getSize() == nameLength &&
        (nameLength == 0 || std::memcmp(item->name.getText(), name, nameLength) == 0)) {
      return item;
    }
  }
  return nullptr;
}

bool HashMap::insert(const char *name, QuorvelObject *value) {
  return insert(name, name ? uint32_t(std::strlen(name)) : 0, value);
}

bool HashMap::insert(const void *name, uint32_t nameLength, QuorvelObject *value) {
  if (m_bucketCount == 0 || (name == nullptr && nameLength != 0)) return false;
  uint32_t bucket = bucketIndex(name, nameLength, m_bucketCount);
  if (Item *existing = find(name, nameLength, bucket)) {
    if (existing->value != value) delete existing->value;
    existing->value = value;
    return true;
  }
  Item *item = new (std::nothrow) Item;
  // Through a borrowed DataBuffer so that every byte of the name is kept, trailing NULs too.
  DataBuffer bytes;
  bytes.borrow(name, nameLength);
  if (item == nullptr || !item->name.appendBuffer(bytes) || !item->name.shrink()) {
    delete item;
    return false;
  }
  item->value = value;
  Bucket &list = m_buckets[bucket];
  item->prev = list.tail;
  (list.tail ? list.tail->next : list.head) = item;
  list.tail = item;
  ++list.count;
  return true;
}

QuorvelObject *HashMap::lookup(const char *name) const {
  return lookup(name, name ? uint32_t(std::strlen(name)) : 0);
}

QuorvelObject *HashMap::lookup(const void *name, uint32_t nameLength) const {
  if (m_bucketCount == 0 || (name == nullptr && nameLength != 0)) return nullptr;
  Item *item = find(name, nameLength, bucketIndex(name, nameLength, m_bucketCount));
  return item ? item->value : nullptr;
}

uint32_t HashMap::getCount() const {
  uint32_t total = 0;
  for (uint32_t b = 0; b < m_bucketCount; ++b) total += m_buckets[b].count;
  return total;
}
