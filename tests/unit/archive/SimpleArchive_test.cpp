// The container: marker, internal header, named values and the password verifier.
#include "archive/SimpleArchive.h"

#include <gtest/gtest.h>

#include "ArchiveTestSupport.h"
#include "base/XString.h"

namespace {
PayloadBytes plainStart(uint8_t keyCode = 0) {
  PayloadBytes p;
  p.marker().header(false, keyCode);
  return p;
}

std::string text(const StringBuffer *value) {
  return value ? std::string(value->getText(), value->getSize()) : "<none>";
}
}  // namespace

TEST(SimpleArchiveContainer, EveryStepFailsWithoutASource) {
  SimpleArchive archive;
  LogNull log;
  StringBuffer error;
  DataBuffer cache;
  EXPECT_FALSE(archive.findMarker(log, nullptr));
  EXPECT_FALSE(archive.readInternalHeader(error, log, nullptr));
  EXPECT_STREQ(error.getText(), "No source");
  EXPECT_FALSE(archive.readInternalArgs(log, nullptr));
}

TEST(SimpleArchiveContainer, ADecoyFirstHalfIsPassedOverWithTheFourBytesAfterIt) {
  PayloadBytes p;
  p.raw("MZ program bytes").u32(0xBF6CD207).raw("nope").raw("more program").marker().header(false, 2);
  MemoryArchive m(p.bytes);
  LogNull log;
  StringBuffer error;
  ASSERT_TRUE(m.archive.findMarker(log, nullptr));
  EXPECT_EQ(m.source.getPosition(), int64_t(p.bytes.size() - 6));
  ASSERT_TRUE(m.archive.readInternalHeader(error, log, nullptr));
  EXPECT_FALSE(m.archive.isEncrypted());
  EXPECT_EQ(m.archive.getKeyBits(), 256);
}

TEST(SimpleArchiveContainer, NoMarkerReadsToTheEndAndFails) {
  PayloadBytes p;
  p.raw("only program bytes here").u32(0xBF6CD207).u8(0x21).u8(0x59);
  MemoryArchive m(p.bytes);
  LogNull log;
  EXPECT_FALSE(m.archive.findMarker(log, nullptr));
  EXPECT_TRUE(m.source.endOfStream());
}

TEST(SimpleArchiveContainer, HeaderFlagsAndKeyCodes) {
  struct Case {
    uint8_t encrypted, keyCode;
    bool wantEncrypted;
    int wantBits;
  } cases[] = {
      {0, 0, false, 128}, {1, 1, true, 192}, {0, 2, false, 256}, {7, 7, true, 256}, {0, 255, false, 256}};
  for (const Case &c : cases) {
    PayloadBytes p;
    p.marker().u32(0xDEADBEEF).u8(c.encrypted).u8(c.keyCode);
    MemoryArchive m(p.bytes);
    LogNull log;
    StringBuffer error;
    ASSERT_TRUE(m.archive.findMarker(log, nullptr));
    ASSERT_TRUE(m.archive.readInternalHeader(error, log, nullptr));
    EXPECT_EQ(m.archive.isEncrypted(), c.wantEncrypted);
    EXPECT_EQ(m.archive.getKeyBits(), c.wantBits) << int(c.keyCode);
  }
}

TEST(SimpleArchiveContainer, AShortHeaderLeavesItsReasonInTheErrorText) {
  PayloadBytes p;
  p.marker().u32(1).u8(0);
  MemoryArchive m(p.bytes);
  LogNull log;
  StringBuffer error;
  ASSERT_TRUE(m.archive.findMarker(log, nullptr));
  EXPECT_FALSE(m.archive.readInternalHeader(error, log, nullptr));
  EXPECT_STREQ(error.getText(), "Failed to get 1st 6 bytes.");
}

TEST(SimpleArchiveContainer, NamedValuesKeepTheLastOfADuplicateAndTellCaseApart) {
  PayloadBytes p = plainStart();
  p.value("xmlConfig", "<SfxConfig/>").value("Empty", "").value("Same", "first").value("same", "lower");
  p.value("Same", "second")
      .value(std::string("zero\0", 5), std::string("v\0\0", 3))
      .endValues()
      .entryStart(0);
  MemoryArchive m(p.bytes);
  ASSERT_TRUE(m.openContainer());
  EXPECT_EQ(text(m.archive.namedValue("xmlConfig")), "<SfxConfig/>");
  EXPECT_EQ(text(m.archive.namedValue("Empty")), "");
  EXPECT_EQ(text(m.archive.namedValue("Same")), "second");
  EXPECT_EQ(text(m.archive.namedValue("same")), "lower");
  EXPECT_EQ(text(m.archive.namedValue("zero")), "v");
  EXPECT_EQ(m.archive.namedValue("absent"), nullptr);
  ASSERT_EQ(m.archive.namedValueCount(), 5);
  EXPECT_EQ(text(m.archive.namedValueName(2)), "Same");
  EXPECT_EQ(text(m.archive.namedValueName(4)), "zero");
  // The list's terminator is consumed: the source stands at the first entry marker.
  EXPECT_EQ(m.source.getPosition(), int64_t(p.bytes.size() - 5));
}

TEST(SimpleArchiveContainer, TwoHundredNamedValuesLeaveTheTerminatorUnread) {
  for (int count : {199, 200}) {
    PayloadBytes p = plainStart();
    for (int i = 0; i < count; ++i) p.value("k" + std::to_string(i), std::to_string(i));
    p.endValues();
    MemoryArchive m(p.bytes);
    ASSERT_TRUE(m.openContainer());
    EXPECT_EQ(text(m.archive.namedValue("k199")), count == 200 ? "199" : "<none>");
    int64_t unread = int64_t(p.bytes.size()) - m.source.getPosition();
    EXPECT_EQ(unread, count == 200 ? 2 : 0) << count;
  }
}

TEST(SimpleArchiveContainer, ACutListFailsButKeepsThePairsBeforeTheCut) {
  PayloadBytes p = plainStart();
  p.value("kept", "yes").u16(4).raw("lost").u16(10).raw("short");
  MemoryArchive m(p.bytes);
  LogNull log;
  StringBuffer error;
  ASSERT_TRUE(m.archive.findMarker(log, nullptr));
  ASSERT_TRUE(m.archive.readInternalHeader(error, log, nullptr));
  EXPECT_FALSE(m.archive.readInternalArgs(log, nullptr));
  EXPECT_EQ(text(m.archive.namedValue("kept")), "yes");
  EXPECT_EQ(m.archive.namedValue("lost"), nullptr);
}

TEST(SimpleArchivePassword, APlainPayloadRefusesEveryPassword) {
  PayloadBytes p = plainStart();
  p.endValues().endEntry();
  MemoryArchive m(p.bytes);
  ASSERT_TRUE(m.openContainer());
  m.archive.setPassword("", 0);
  DataBuffer cache;
  LogNull log;
  EXPECT_FALSE(m.archive.verifyPassword(log, cache));
}

TEST(SimpleArchivePassword, OnlyTheExactBytesOpenEachKeySize) {
  for (int bits : {128, 192, 256}) {
    PayloadBytes p;
    p.marker().header(true, bits == 128 ? 0 : bits == 192 ? 1 : 2).endValues();
    p.encryptWith("Secret pw", bits).verifier().entry(1, "dir").endEntry();
    MemoryArchive m(p.bytes);
    ASSERT_TRUE(m.openContainer());
    ASSERT_TRUE(m.archive.isEncrypted());
    DataBuffer cache;
    LogNull log;
    for (const char *wrong : {"secret pw", "Secret pw ", "Secret", ""}) {
      m.archive.setPassword(wrong, uint32_t(strlen(wrong)));
      EXPECT_FALSE(m.archive.verifyPassword(log, cache)) << bits << " '" << wrong << "'";
    }
    // The verifier was read once, by the first attempt.
    int64_t afterVerifier = m.source.getPosition();
    m.archive.setPassword(StringBuffer("Secret pw"));
    EXPECT_TRUE(m.archive.verifyPassword(log, cache)) << bits;
    EXPECT_EQ(m.source.getPosition(), afterVerifier);
    ASSERT_TRUE(m.next());
    EXPECT_STREQ(m.name.getText(), "dir") << bits;
  }
}

TEST(SimpleArchivePassword, AMissingOrShortVerifierFailsAndLeavesTheCacheEmpty) {
  for (bool zeroLength : {true, false}) {
    PayloadBytes p;
    p.marker().header(true, 0).endValues();
    if (zeroLength) {
      p.u8(0);
    } else {
      p.u8(16).raw("0123456789");
    }
    MemoryArchive m(p.bytes);
    ASSERT_TRUE(m.openContainer());
    DataBuffer cache;
    LogNull log;
    EXPECT_FALSE(m.archive.verifyPassword(log, cache));
    EXPECT_EQ(cache.getSize(), 0u);
  }
}

TEST(SimpleArchiveContainer, GetNamedValueGivesUtf8TextWithoutAByteOrderMark) {
  PayloadBytes p = plainStart();
  p.value("xmlConfig", "\xEF\xBB\xBF<SfxConfig>\xC3\xA9</SfxConfig>").value("empty", "").endValues();
  MemoryArchive m(p.bytes);
  ASSERT_TRUE(m.openContainer());
  XString out;
  ASSERT_TRUE(m.archive.getNamedValue("xmlConfig", out));
  EXPECT_STREQ(out.getUtf8(), "<SfxConfig>\xC3\xA9</SfxConfig>");
  EXPECT_TRUE(m.archive.getNamedValue("empty", out));
  EXPECT_TRUE(out.isEmpty());
  out.setUtf8("stale");
  EXPECT_FALSE(m.archive.getNamedValue("absent", out));
  EXPECT_TRUE(out.isEmpty());
}

TEST(SimpleArchiveContainer, TheExtendedMarkerCarriesTheFeatureWordAndUnknownFeaturesAreRefused) {
  struct Case {
    uint32_t word;
    bool accepted;
  } cases[] = {
      {0x00000000, true},   // nothing beyond today's stream
      {0x000000FF, false},  // a layout no stub knows
      {0x0000FF00, false},  // a scheme no stub knows
      {0x00010000, false},  // a reserved byte set
      {0x80000000, false},
  };
  for (const Case &c : cases) {
    PayloadBytes p;
    p.raw("program").extendedMarker().extendedHeader(c.word, true, 1).u16(0);
    MemoryArchive m(p.bytes);
    LogNull log;
    StringBuffer error;
    ASSERT_TRUE(m.archive.findMarker(log, nullptr)) << c.word;
    EXPECT_EQ(m.archive.readInternalHeader(error, log, nullptr), c.accepted) << c.word;
    if (c.accepted) {
      EXPECT_TRUE(m.archive.isEncrypted());
      EXPECT_EQ(m.archive.getKeyBits(), 192);
      EXPECT_FALSE(m.archive.features().extended());
    } else {
      EXPECT_STREQ(error.getText(), "This package needs a newer version of the program.") << c.word;
    }
  }
}

TEST(SimpleArchiveContainer, TodaysMarkerIgnoresTheFirstHeaderWord) {
  PayloadBytes p;
  p.marker().u32(0xFFFFFFFF).u8(0).u8(0).u16(0);
  MemoryArchive m(p.bytes);
  LogNull log;
  StringBuffer error;
  ASSERT_TRUE(m.archive.findMarker(log, nullptr));
  ASSERT_TRUE(m.archive.readInternalHeader(error, log, nullptr));
  EXPECT_EQ(m.archive.features().word(), 0u);
}
