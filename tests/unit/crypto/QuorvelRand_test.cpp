#include "crypto/QuorvelRand.h"

#include <gtest/gtest.h>

#include <set>

TEST(QuorvelRand, IndexesWrapAfter250Draws) {
  QuorvelRand::next();  // seeds
  int first = QuorvelRand::firstIndex(), second = QuorvelRand::secondIndex();
  EXPECT_EQ((second - first + 250) % 250, 103);
  for (int i = 0; i < 250; ++i) QuorvelRand::next();
  EXPECT_EQ(QuorvelRand::firstIndex(), first);
  EXPECT_EQ(QuorvelRand::secondIndex(), second);
}

TEST(QuorvelRand, RangeDrawsStayInsideTheirBounds) {
  std::set<int> seen;
  for (int i = 0; i < 20000; ++i) {
    int v = QuorvelRand::randomInt(0, 35);
    ASSERT_GE(v, 0);
    ASSERT_LE(v, 35);
    seen.insert(v);
    ASSERT_EQ(QuorvelRand::randomInt(5, 5), 5);
    int w = QuorvelRand::randomInt(-3, 2);
    ASSERT_GE(w, -3);
    ASSERT_LE(w, 2);
  }
  EXPECT_EQ(seen.size(), 36u);
}

TEST(QuorvelRand, TempNameCharactersAreUpperCaseLettersAndDigits) {
  std::set<char> seen;
  for (int i = 0; i < 20000; ++i) {
    char c = QuorvelRand::tempNameChar();
    ASSERT_TRUE((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) << c;
    seen.insert(c);
  }
  EXPECT_EQ(seen.size(), 36u);
}
