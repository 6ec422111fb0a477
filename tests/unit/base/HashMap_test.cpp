#include "base/HashMap.h"

#include <gtest/gtest.h>

#include <string>

namespace {
struct Counted : QuorvelObject {
  explicit Counted(int &alive) : alive(alive) { ++alive; }
  ~Counted() override { --alive; }
  int &alive;
};

struct BucketCase {
  const char *name;
  uint32_t length;
  uint32_t buckets;
  uint32_t expected;
};
// Computed by fixtures/gen_hash_buckets.py with Python's hashlib and zlib.
const BucketCase kBucketCases[] = {
#include "fixtures/hash_buckets.inc"
};
}  // namespace

TEST(HashMap, BucketIndexesMatchAnIndependentComputation) {
  for (const BucketCase &c : kBucketCases) {
    EXPECT_EQ(HashMap::bucketIndex(c.name, c.length, c.buckets), c.expected)
        << "name of " << c.length << " bytes, " << c.buckets << " buckets";
  }
}

TEST(HashMap, InsertReplacesAndDestroysTheOldValue) {
  int alive = 0;
  {
    HashMap map;
    EXPECT_EQ(map.getBucketCount(), 100u);
    auto *first = new Counted(alive);
    ASSERT_TRUE(map.insert("key", first));
    EXPECT_EQ(map.lookup("key"), first);
    auto *second = new Counted(alive);
    ASSERT_TRUE(map.insert("key", second));
    EXPECT_EQ(alive, 1);
    EXPECT_EQ(map.lookup("key"), second);
    ASSERT_TRUE(map.insert("key", second));
    EXPECT_EQ(alive, 1);
    EXPECT_EQ(map.getCount(), 1u);
    EXPECT_EQ(map.lookup("Key"), nullptr);
    EXPECT_EQ(map.lookup("ke"), nullptr);
  }
  EXPECT_EQ(alive, 0);
}

TEST(HashMap, ManyNamesInFewBucketsStayApart) {
  int alive = 0;
  HashMap map(3);
  Counted *items[200];
  for (int i = 0; i < 200; ++i) {
    items[i] = new Counted(alive);
    ASSERT_TRUE(map.insert(("name" + std::to_string(i)).c_str(), items[i]));
  }
  EXPECT_EQ(map.getCount(), 200u);
  for (int i = 0; i < 200; ++i) EXPECT_EQ(map.lookup(("name" + std::to_string(i)).c_str()), items[i]);
  // Names are bytes: an embedded NUL makes a different name.
  auto *withNul = new Counted(alive);
  ASSERT_TRUE(map.insert("name1\0x", 7, withNul));
  EXPECT_EQ(map.lookup("name1\0x", 7), withNul);
  EXPECT_EQ(map.lookup("name1"), items[1]);
}
