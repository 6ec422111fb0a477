// Files compared with the payload's check values as they are read: matches, every kind of
// mismatch, encrypted and split lists, damaged lists, payloads without any, and on disk the
// removal of a damaged file; the header and the entry records checked the same way. Expected
// CRCs come from zlib.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>

#include "ArchiveTestSupport.h"
#include "ZlibCrc.h"
#include "archive/ContentCrc.h"
#include "unit/base/FileTestDir.h"
#include "unit/compress/RecordingLog.h"

namespace {
std::string expectedAndComputed(uint32_t expected, uint32_t computed) {
  char text[64];
  std::snprintf(text, sizeof text, "crc32=expected 0x%08x, computed 0x%08x", expected, computed);
  return text;
}

// Reads entries in dry run until the end or a failure; the names of the verified files go to
// `verified`.
struct Reading {
  explicit Reading(const PayloadBytes &p, const char *password = nullptr) : m(p.bytes) {
    opened = m.openContainer();
    if (password != nullptr) {
      m.archive.setPassword(password, uint32_t(std::strlen(password)));
      DataBuffer cache;
      opened = opened && m.archive.verifyPassword(log, cache);
    }
  }
  bool next() {
    bool ok = m.next(log);
    if (ok && m.archive.lastFileVerified()) verified.push_back(m.name.getText());
    return ok;
  }
  bool all() {
    for (int i = 0; i < 10000; ++i) {
      if (!next()) return false;
      if (m.end) return true;
    }
    return false;
  }
  MemoryArchive m;
  RecordingLog log;
  bool opened = false;
  std::vector<std::string> verified;
};

const std::string kText = "a text that travels deflated";
const std::string kData = std::string(700, 'd') + "stored";
}  // namespace

TEST(CheckValues, MatchingFilesAreVerifiedStoredAndDeflatedAlike) {
  PayloadBytes p;
  p.marker().header(false, 0).checkValues({zlibCrc(kText), zlibCrc(kData), 0});
  p.value("xmlConfig", "<SfxConfig/>").endValues();
  std::vector<uint8_t> deflated(kText.size() + 64);
  uLongf size = uLongf(deflated.size());
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(kText.data()));
  z.avail_in = uInt(kText.size());
  z.next_out = deflated.data();
  z.avail_out = uInt(size);
  ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  deflated.resize(z.total_out);
  deflateEnd(&z);
  p.entry(1, "dir").entry(2, "dir\\text.txt").deflatedChunk(deflated).endChunks();
  p.entry(2, "data.bin").storedChunk(kData.substr(0, 300)).storedChunk(kData.substr(300)).endChunks();
  p.entry(2, "empty").endChunks().endEntry();
  Reading r(p);
  ASSERT_TRUE(r.opened);
  EXPECT_TRUE(r.m.archive.carriesCheckValues());
  EXPECT_TRUE(r.all()) << (r.log.entries.empty() ? "" : r.log.entries.back());
  EXPECT_EQ(r.verified, (std::vector<std::string>{"dir\\text.txt", "data.bin", "empty"}));
}

TEST(CheckValues, AMismatchNamesTheFileAndBothValuesAndTheNextEntryStillReads) {
  PayloadBytes p;
  p.marker().header(false, 0).checkValues({zlibCrc(kData), zlibCrc("fine")}).endValues();
  std::string damaged = kData;
  damaged[100] ^= 0x10;
  p.entry(2, "data.bin").storedChunk(damaged).endChunks();
  p.entry(2, "fine.txt").storedChunk("fine").endChunks().endEntry();
  Reading r(p);
  ASSERT_TRUE(r.opened);
  EXPECT_FALSE(r.next());
  EXPECT_TRUE(r.m.archive.lastFileDamaged());
  EXPECT_TRUE(r.log.has("error:Checksum mismatch: data.bin"));
  EXPECT_TRUE(r.log.has(expectedAndComputed(zlibCrc(kData), zlibCrc(damaged))));
  EXPECT_TRUE(r.next());
  EXPECT_FALSE(r.m.archive.lastFileDamaged());
  EXPECT_EQ(r.verified, std::vector<std::string>{"fine.txt"});
}

TEST(CheckValues, AFileWithAChunkMissingOrPastTheEndOfTheListFails) {
  PayloadBytes p;
  p.marker().header(false, 0).checkValues({zlibCrc("onetwo")}).endValues();
  p.entry(2, "cut.txt").storedChunk("one").endChunks();
  Reading r(p);
  EXPECT_FALSE(r.next());
  EXPECT_TRUE(r.log.has("error:Checksum mismatch: cut.txt"));

  PayloadBytes extra;
  extra.marker().header(false, 0).value("fileCrc32", "").endValues();
  extra.entry(2, "unlisted.txt").storedChunk("x").endChunks().endEntry();
  Reading r2(extra);
  EXPECT_FALSE(r2.next());
  EXPECT_TRUE(r2.log.has("error:Checksum mismatch: unlisted.txt"));
  char line[64];
  std::snprintf(line, sizeof line, "crc32=expected none, computed 0x%08x", zlibCrc("x"));
  EXPECT_TRUE(r2.log.has(line));
}

TEST(CheckValues, AnEncryptedPayloadCarriesItsListEncrypted) {
  PayloadBytes p;
  p.marker().header(true, 2).encryptWith("pw", 256);
  p.checkValues({zlibCrc(kData)}).endValues().verifier();
  std::string damaged = kData;
  damaged[5] ^= 1;
  p.entry(2, "data.bin").storedChunk(kData).endChunks();
  p.entry(2, "data.bin").storedChunk(damaged).endChunks().endEntry();
  Reading r(p, "pw");
  ASSERT_TRUE(r.opened);
  EXPECT_TRUE(r.next());
  EXPECT_EQ(r.verified, std::vector<std::string>{"data.bin"});
  // The second file has no value in the list.
  EXPECT_FALSE(r.next());
  EXPECT_TRUE(r.log.has("error:Checksum mismatch: data.bin"));
}

TEST(CheckValues, AListSplitOverSeveralValuesKeepsTheFileOrder) {
  std::vector<uint32_t> crcs(CheckValues::kFilesPerValue, 0);
  PayloadBytes p;
  p.marker().header(false, 0).checkValues(crcs);
  p.checkValues({zlibCrc("last")}, "fileCrc32_2").endValues();
  for (uint32_t i = 0; i < CheckValues::kFilesPerValue; ++i) p.entry(2, "e" + std::to_string(i)).endChunks();
  p.entry(2, "last.txt").storedChunk("last").endChunks().endEntry();
  Reading r(p);
  EXPECT_TRUE(r.all()) << (r.log.entries.empty() ? "" : r.log.entries.back());
  ASSERT_EQ(r.verified.size(), size_t(CheckValues::kFilesPerValue + 1));
  EXPECT_EQ(r.verified.back(), "last.txt");
}

TEST(CheckValues, ADamagedListFailsTheFirstFile) {
  for (const char *list : {"0102030", "zz000000", "010203"}) {
    PayloadBytes p;
    p.marker().header(false, 0).value("fileCrc32", list).endValues();
    p.entry(1, "dir").entry(2, "a.txt").storedChunk("a").endChunks().endEntry();
    Reading r(p);
    EXPECT_TRUE(r.next()) << list;  // a directory has nothing to check
    EXPECT_FALSE(r.next()) << list;
    EXPECT_TRUE(r.log.has("error:The payload's check values are damaged.")) << list;
    EXPECT_TRUE(r.log.has("namedValue=fileCrc32")) << list;
  }
}

TEST(CheckValues, APayloadWithoutThemReadsAsBefore) {
  PayloadBytes p;
  p.marker().header(false, 0).value("fileCrc32_2", "00000000").endValues();
  p.entry(2, "a.txt").storedChunk("whatever").endChunks().endEntry();
  Reading r(p);
  EXPECT_FALSE(r.m.archive.carriesCheckValues());
  EXPECT_TRUE(r.all());
  EXPECT_TRUE(r.verified.empty());
  EXPECT_EQ(r.m.sink.text, "whatever");
}

TEST(ContentCrc, ChunksAddedByCrcOrByBytesGiveTheCrcOfTheWhole) {
  const std::string whole = "the first chunk, " + std::string(5000, 'x') + " and the last";
  ContentCrc byCrc, byBytes;
  for (size_t at = 0; at < whole.size(); at += 1234) {
    std::string part = whole.substr(at, 1234);
    byCrc.addChunk(zlibCrc(part), part.size());
    byBytes.addBytes(part.data(), uint32_t(part.size()));
  }
  EXPECT_EQ(byCrc.value(), zlibCrc(whole));
  EXPECT_EQ(byBytes.value(), zlibCrc(whole));
  EXPECT_EQ(byCrc.length(), whole.size());
  EXPECT_EQ(ContentCrc().value(), 0u);
}

namespace {
class CheckValuesOnDisk : public FileTestDir {};
}  // namespace

TEST_F(CheckValuesOnDisk, ADamagedFileDoesNotStayOnDisk) {
  char previous[2048] = {};
  GetCurrentDirectoryA(sizeof previous, previous);
  ASSERT_TRUE(SetCurrentDirectoryA(root.c_str()));
  PayloadBytes p;
  p.marker().header(false, 0).checkValues({zlibCrc("good"), zlibCrc("good")}).endValues();
  p.entry(2, "good.txt").storedChunk("good").endChunks();
  p.entry(2, "bad.txt").storedChunk("gooD").endChunks().endEntry();
  path("good.txt");
  path("bad.txt");
  MemoryArchive m(p.bytes);
  ASSERT_TRUE(m.openContainer());
  RecordingLog log;
  EXPECT_TRUE(m.archive.unzipNextEntry(false, m.end, nullptr, m.name, m.isDirectory, nullptr, m.skipped, nullptr, log));
  EXPECT_TRUE(m.archive.lastFileVerified());
  EXPECT_FALSE(m.archive.unzipNextEntry(false, m.end, nullptr, m.name, m.isDirectory, nullptr, m.skipped, nullptr, log));
  EXPECT_TRUE(log.has("error:Checksum mismatch: bad.txt"));
  EXPECT_TRUE(exists(root + "\\good.txt"));
  EXPECT_FALSE(exists(root + "\\bad.txt"));
  SetCurrentDirectoryA(previous);
}

namespace {
// An entry record's bytes from its type to its attributes, as the record check value covers them.
uint32_t recordCrc(uint8_t type, const std::string &name, uint64_t time, uint32_t attributes = 0x20) {
  PayloadBytes record;
  record.u8(type).u16(uint32_t(name.size())).raw(name).u64(time).u32(attributes);
  return uint32_t(::crc32(0L, record.bytes.data(), uInt(record.bytes.size())));
}

bool opens(const PayloadBytes &p, RecordingLog &log) {
  MemoryArchive m(p.bytes);
  StringBuffer error;
  return m.archive.findMarker(log, nullptr) && m.archive.readInternalHeader(error, log, nullptr) &&
         m.archive.readInternalArgs(log, nullptr);
}
}  // namespace

TEST(HeaderCheck, CoversTheHeaderAndEveryValueBeforeItAndMustBeLast) {
  const char *damaged = "error:The package is damaged: its header or settings do not match their check value.";
  PayloadBytes whole;
  whole.marker().header(false, 0).value("xmlConfig", "<SfxConfig><ShowMain>0</ShowMain></SfxConfig>");
  whole.headerCheck().endValues().endEntry();
  RecordingLog log;
  EXPECT_TRUE(opens(whole, log));

  // A letter of the settings, then the key-size byte of the header: each is noticed.
  for (size_t at : {size_t(30), size_t(13)}) {
    PayloadBytes changed = whole;
    changed.bytes[at] ^= 0x20;
    RecordingLog changedLog;
    EXPECT_FALSE(opens(changed, changedLog)) << at;
    EXPECT_TRUE(changedLog.has(damaged)) << at;
  }

  PayloadBytes after = whole;
  after.bytes.resize(after.bytes.size() - 7);  // the end of the values and the end entry
  after.value("SetupExe", "evil.exe").endValues();
  RecordingLog afterLog;
  EXPECT_FALSE(opens(after, afterLog));
  EXPECT_TRUE(afterLog.has(damaged));

  PayloadBytes notHex;
  notHex.marker().header(false, 0).value("headerCrc32", "0000000g").endValues();
  RecordingLog notHexLog;
  EXPECT_FALSE(opens(notHex, notHexLog));

  PayloadBytes without;
  without.marker().header(false, 0).value("xmlConfig", "<SfxConfig/>").endValues();
  RecordingLog withoutLog;
  EXPECT_TRUE(opens(without, withoutLog));
}

TEST(RecordCheck, EachRecordMatchesOrItsEntryFailsBeforeItIsHandedOut) {
  const char *damaged = "error:The package is damaged: an entry's name, time or attributes do not match their check value.";
  auto build = [](uint64_t secondTime, size_t listed) {
    std::vector<uint32_t> crcs = {recordCrc(1, "dir", 7), recordCrc(2, "dir\\a.txt", 8)};
    crcs.resize(listed);
    PayloadBytes p;
    p.marker().header(false, 0).checkValues(crcs, "recordCrc32").endValues();
    p.entry(1, "dir", 7).entry(2, "dir\\a.txt", secondTime).storedChunk("a").endChunks().endEntry();
    return p;
  };
  Reading whole(build(8, 2));
  ASSERT_TRUE(whole.opened);
  EXPECT_TRUE(whole.all()) << (whole.log.entries.empty() ? "" : whole.log.entries.back());

  for (const auto &[label, p] : {std::make_pair("time changed", build(9, 2)), std::make_pair("unlisted", build(8, 1))}) {
    Reading r(p);
    ASSERT_TRUE(r.opened) << label;
    EXPECT_TRUE(r.next()) << label;
    EXPECT_FALSE(r.next()) << label;
    EXPECT_TRUE(r.log.has(damaged)) << label;
    EXPECT_TRUE(r.log.has("filename=dir\\a.txt")) << label;
  }
}
