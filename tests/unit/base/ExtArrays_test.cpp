#include <gtest/gtest.h>

#include <vector>

#include "base/ExtIntArray.h"
#include "base/ExtPtrArray.h"

namespace {
struct Counted : QuorvelObject {
  explicit Counted(int &alive) : alive(alive) { ++alive; }
  ~Counted() override { --alive; }
  int &alive;
};
}  // namespace

TEST(ExtPtrArray, CapacityDoublesThenStepsByOneHundredThousand) {
  ExtPtrArray a;
  std::vector<int> seen;
  int last = 0;
  for (int i = 0; i < 450000; ++i) {
    ASSERT_TRUE(a.append(nullptr));
    if (a.getCapacity() != last) seen.push_back(last = a.getCapacity());
  }
  std::vector<int> expected = {5, 10, 20, 40, 80, 160, 320, 640, 1280, 2560, 5120, 10240, 20480, 40960, 81920,
                               163840, 263840, 363840, 463840};
  EXPECT_EQ(seen, expected);
}

TEST(ExtPtrArray, RemovalAndBounds) {
  int alive = 0;
  ExtPtrArray a;
  auto *x = new Counted(alive), *y = new Counted(alive), *z = new Counted(alive);
  a.append(x);
  a.append(y);
  a.append(z);
  EXPECT_EQ(a.get(-1), nullptr);
  EXPECT_EQ(a.get(3), nullptr);
  EXPECT_EQ(a.last(), z);
  EXPECT_EQ(a.removeAt(0), x);
  EXPECT_EQ(a.get(0), y);
  EXPECT_EQ(a.removeAt(1), z);
  EXPECT_EQ(a.getCount(), 1);
  EXPECT_EQ(a.pop(), y);
  EXPECT_EQ(a.pop(), nullptr);
  a.append(x);
  a.append(y);
  a.append(z);
  a.clear();
  EXPECT_EQ(alive, 3);
  a.append(x);
  a.append(y);
  a.append(z);
  a.deleteAll();
  EXPECT_EQ(alive, 0);
  EXPECT_EQ(a.getCount(), 0);
}

TEST(ExtIntArray, GrowthAndRemoval) {
  ExtIntArray a;
  ASSERT_TRUE(a.init(0, 1));
  EXPECT_EQ(a.getCapacity(), 2);
  std::vector<int> caps;
  for (int i = 0; i < 40; ++i) {
    ASSERT_TRUE(a.append(i));
    if (caps.empty() || caps.back() != a.getCapacity()) caps.push_back(a.getCapacity());
  }
  // The increment is raised to 4, then follows the capacity.
  std::vector<int> expected = {2, 6, 12, 24, 48};
  EXPECT_EQ(caps, expected);
  EXPECT_EQ(a.get(39), 39);
  EXPECT_EQ(a.get(40), 0);
  EXPECT_EQ(a.get(-1), 0);
  ASSERT_TRUE(a.removeAt(0));
  EXPECT_EQ(a.get(0), 1);
  EXPECT_EQ(a.getCount(), 39);
  EXPECT_FALSE(a.removeAt(39));
}

TEST(ExtIntArray, DefaultIncrementIsFifty) {
  ExtIntArray a;
  ASSERT_TRUE(a.append(1));
  EXPECT_EQ(a.getCapacity(), 50);
  for (int i = 0; i < 50; ++i) a.append(i);
  EXPECT_EQ(a.getCapacity(), 100);
}
