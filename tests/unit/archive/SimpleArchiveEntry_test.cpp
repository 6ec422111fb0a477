// The entry stream in dry run: record layout, progress counts, chunk forms and every failure.
#include <gtest/gtest.h>

#include <cstring>

#include "ArchiveTestSupport.h"
#include "unit/compress/DeflateWriter.h"
#include "unit/compress/LimitedOutput.h"
#include "unit/compress/RecordingLog.h"

namespace {
using Bytes = std::vector<uint8_t>;

// A final fixed-Huffman block holding `text` as literals.
Bytes deflateLiterals(const std::string &text, bool final = true) {
  DeflateWriter w;
  w.blockHeader(final, 1);
  for (unsigned char c : text) w.fixedSymbol(c);
  w.fixedSymbol(256);
  return w.bytes();
}

// One zero byte followed by `count` more through length-258 matches at distance 1.
Bytes deflateZeros(uint32_t count) {
  DeflateWriter w;
  w.blockHeader(true, 1);
  w.fixedSymbol(0);
  for (; count >= 258; count -= 258) {
    w.fixedSymbol(285);
    w.fixedDistance(0);
  }
  for (; count > 0; --count) w.fixedSymbol(0);
  w.fixedSymbol(256);
  return w.bytes();
}

PayloadBytes plainPayload() {
  PayloadBytes p;
  p.marker().header(false, 0).endValues();
  return p;
}

// Runs a plain payload's entries in dry run until one fails or the end; returns that result.
bool runUntilFailure(const PayloadBytes &p, RecordingLog &log) {
  MemoryArchive m(p.bytes);
  if (!m.openContainer()) return false;
  for (int i = 0; i < 100; ++i) {
    if (!m.next(log)) return false;
    if (m.end) return true;
  }
  return false;
}

std::vector<std::string> errors(const RecordingLog &log) {
  std::vector<std::string> out;
  for (const auto &e : log.entries)
    if (e.rfind("error:", 0) == 0 || e.find('=') != std::string::npos) out.push_back(e);
  return out;
}
}  // namespace

TEST(SimpleArchiveEntries, AnArchiveThatStartsWithTheEndEntryHoldsNothing) {
  PayloadBytes p = plainPayload();
  p.endEntry().u32(0);  // padding before a certificate table
  MemoryArchive m(p.bytes);
  ASSERT_TRUE(m.openContainer());
  RecordingLog log;
  ASSERT_TRUE(m.next(log));
  EXPECT_TRUE(m.end);
  EXPECT_TRUE(m.name.isEmpty());
  EXPECT_TRUE(log.has("info:Found end of archive."));
  EXPECT_EQ(m.source.getPosition(), int64_t(p.bytes.size() - 4));
}

TEST(SimpleArchiveEntries, DirectoriesFilesAndUnknownTypesInOrder) {
  PayloadBytes p = plainPayload();
  p.entry(1, "dir", 132000000000000000ULL, 0x10);
  p.entry(2, "dir\\a.txt", 0, 0x21).storedChunk("hello ").deflatedChunk(deflateLiterals("world")).endChunks();
  p.entry(3, "ignored", 0, 0);
  p.entry(2, "dir/empty", 0, 0x20).endChunks();
  // A byte-order mark in front and zero bytes behind are not part of the name.
  p.entry(2, std::string("\xEF\xBB\xBF"
                         "bom.txt\0\0",
                         12))
      .storedChunk("")
      .endChunks();
  p.endEntry();
  MemoryArchive m(p.bytes);
  ASSERT_TRUE(m.openContainer());

  ASSERT_TRUE(m.next());
  EXPECT_FALSE(m.end);
  EXPECT_TRUE(m.isDirectory);
  EXPECT_STREQ(m.name.getText(), "dir");
  EXPECT_EQ(m.archive.lastEntryLocalTime(), 132000000000000000ULL);
  EXPECT_EQ(m.archive.lastEntryAttributes(), 0x10u);

  ASSERT_TRUE(m.next());
  EXPECT_FALSE(m.isDirectory);
  EXPECT_STREQ(m.name.getText(), "dir\\a.txt");
  EXPECT_EQ(m.sink.text, "hello world");
  EXPECT_EQ(m.archive.lastEntryAttributes(), 0x21u);

  ASSERT_TRUE(m.next());
  EXPECT_FALSE(m.end);
  EXPECT_TRUE(m.name.isEmpty());

  ASSERT_TRUE(m.next());
  EXPECT_STREQ(m.name.getText(), "dir/empty");
  ASSERT_TRUE(m.next());
  EXPECT_STREQ(m.name.getText(), "bom.txt");
  EXPECT_EQ(m.sink.text, "hello world");

  ASSERT_TRUE(m.next());
  EXPECT_TRUE(m.end);

  // Directory: its header. File: header and first size word with the first chunk, then each
  // further size word with its chunk. Nothing for the unknown entry, the file without chunks or
  // the closing size words.
  uint32_t dir = 19 + 3, file = 19 + 9, bom = 19 + 12;
  uint32_t deflated = uint32_t(deflateLiterals("world").size());
  std::vector<std::pair<uint32_t, uint32_t>> want = {
      {dir, dir}, {file + 4 + 6, file + 4 + 6}, {4 + deflated, 4 + 5}, {bom + 4, bom + 4}};
  EXPECT_EQ(m.progress.calls, want);
}

TEST(SimpleArchiveEntries, EncryptedNamesAndChunksForEachKeySize) {
  for (int bits : {128, 192, 256}) {
    PayloadBytes p;
    p.marker().header(true, bits == 128 ? 0 : bits == 192 ? 1 : 2).endValues();
    p.encryptWith("pw", bits).verifier();
    p.entry(1, "d\xC3\xA9j\xC3\xA0").entry(2, "d\xC3\xA9j\xC3\xA0\\f");
    p.storedChunk("0123456789abcdef").deflatedChunk(deflateLiterals("tail")).endChunks().endEntry();
    MemoryArchive m(p.bytes);
    ASSERT_TRUE(m.openContainer());
    m.archive.setPassword("pw", 2);
    DataBuffer cache;
    LogNull log;
    ASSERT_TRUE(m.archive.verifyPassword(log, cache));
    ASSERT_TRUE(m.next());
    EXPECT_STREQ(m.name.getText(), "d\xC3\xA9j\xC3\xA0");
    ASSERT_TRUE(m.next());
    EXPECT_STREQ(m.name.getText(), "d\xC3\xA9j\xC3\xA0\\f");
    EXPECT_EQ(m.sink.text, "0123456789abcdeftail") << bits;
    ASSERT_TRUE(m.next());
    EXPECT_TRUE(m.end);
  }
}

TEST(SimpleArchiveEntries, AChunkMayExpandFarBeyondTheOutputBuffer) {
  const uint32_t size = 5 * 1024 * 1024 + 17;
  PayloadBytes p = plainPayload();
  p.entry(2, "zeros").deflatedChunk(deflateZeros(size - 1)).endChunks().endEntry();
  MemoryArchive m(p.bytes);
  ASSERT_TRUE(m.openContainer());
  ASSERT_TRUE(m.next());
  EXPECT_EQ(m.sink.text.size(), size);
  EXPECT_EQ(m.sink.text.find_first_not_of('\0'), std::string::npos);
}

TEST(SimpleArchiveEntries, TheLargestChunkIsOneByteBelowTheLimit) {
  std::string big(SimpleArchive::kChunkLimit - 1, 'x');
  PayloadBytes p = plainPayload();
  p.entry(2, "big").storedChunk(big).endChunks().endEntry();
  MemoryArchive m(p.bytes);
  ASSERT_TRUE(m.openContainer());
  ASSERT_TRUE(m.next());
  EXPECT_EQ(m.sink.text.size(), big.size());

  PayloadBytes over = plainPayload();
  over.entry(2, "big").u32(0x801F4240).raw(big + "x").endChunks().endEntry();
  RecordingLog log;
  EXPECT_FALSE(runUntilFailure(over, log));
  EXPECT_EQ(errors(log), (std::vector<std::string>{"error:Too much data.", "filename=big"}));
}

TEST(SimpleArchiveEntries, EachBrokenRecordFailsWithItsMessage) {
  struct Case {
    const char *what;
    PayloadBytes payload;
    std::vector<std::string> want;
  };
  auto base = [] { return plainPayload(); };
  std::vector<Case> cases;
  cases.push_back({"no entry at all", base(), {"error:Failed to find file marker", "error:End of stream."}});
  cases.push_back(
      {"wrong marker", base().u32(0x12345678).u8(0), {"error:File marker is invalid.", "marker=0x12345678"}});
  cases.push_back({"no type", base().u32(0x6D27E59B), {"error:Failed to get entry type."}});
  cases.push_back({"no name length", base().entryStart(2).u8(1), {"error:Failed to get filename length"}});
  cases.push_back({"name length 0", base().entryStart(2).u16(0), {}});
  cases.push_back({"short name", base().entryStart(2).u16(5).raw("abc"), {"error:Failed to get filename"}});
  cases.push_back(
      {"short time", base().entryStart(2).u16(1).raw("a").u32(0), {"error:Failed to get filetime"}});
  cases.push_back({"no attributes",
                   base().entryStart(2).u16(1).raw("a").u64(0).u16(0),
                   {"error:Failed to get file attributes"}});
  cases.push_back({"no size word", base().entry(2, "a").u16(0), {"error:Failed to read compressed size.", "filename=a"}});
  cases.push_back({"short chunk",
                   base().entry(2, "a").u32(0x80000010).raw("short"),
                   {"error:Failed to read compressed data.", "filename=a"}});
  cases.push_back({"bad deflate",
                   base().entry(2, "a").deflatedChunk({0xFF, 0xFF, 0xFF}).endChunks(),
                   {"error:Failed to inflate compressed data.", "filename=a"}});
  cases.push_back({"deflate without its final block",
                   base().entry(2, "a").deflatedChunk(deflateLiterals("cut", false)).endChunks().endEntry(),
                   {"error:Compressed data ends before its final block.", "filename=a"}});
  for (Case &c : cases) {
    RecordingLog log;
    bool ok = runUntilFailure(c.payload, log);
    EXPECT_FALSE(ok) << c.what;
    std::vector<std::string> got = errors(log);
    // The inflater's own decode messages come first; the reader's verdict and the file's name
    // are the last words.
    if (std::string(c.what) == "bad deflate") got.erase(got.begin(), got.end() - 2);
    EXPECT_EQ(got, c.want) << c.what;
  }
}

TEST(SimpleArchiveEntries, NamesThatCouldLeaveTheUnzipDirectoryAreRefused) {
  for (const char *bad : {"\\abs", "/abs", "C:\\x", "c:rel", "\\\\server\\share\\x", "\\\\?\\C:\\x", "..",
                          "a\\..\\..\\b", "a/../b", "a\\.. \\b", "a\\...\\b"}) {
    for (uint8_t type : {1, 2}) {
      PayloadBytes p = plainPayload();
      p.entry(type, bad);
      if (type == 2) p.storedChunk("x").endChunks();
      p.endEntry();
      RecordingLog log;
      EXPECT_FALSE(runUntilFailure(p, log)) << bad;
      EXPECT_TRUE(
          log.has("error:Refused an entry name that is not a relative path inside the unzip directory."));
      EXPECT_TRUE(log.has(std::string("filename=") + bad)) << bad;
    }
  }
  PayloadBytes fine = plainPayload();
  fine.entry(1, "a..b").entry(1, "..a").entry(1, "a\\.\\b").entry(2, "x.").endChunks().endEntry();
  RecordingLog log;
  EXPECT_TRUE(runUntilFailure(fine, log));
}

TEST(SimpleArchiveEntries, AFailedWriteFailsTheEntry) {
  for (bool stored : {true, false}) {
    PayloadBytes p = plainPayload();
    p.entry(2, "f");
    if (stored) {
      p.storedChunk(std::string(100, 's'));
    } else {
      p.deflatedChunk(deflateZeros(3 * 1024 * 1024));
    }
    p.endChunks().endEntry();
    MemoryArchive m(p.bytes);
    LimitedOutput disk(50);
    m.archive.setDryRunSink(&disk);
    ASSERT_TRUE(m.openContainer());
    RecordingLog log;
    EXPECT_FALSE(m.next(log));
    EXPECT_TRUE(log.has("error:Failed to write file data.")) << stored;
    EXPECT_FALSE(log.has("error:Failed to inflate compressed data.")) << stored;
  }
}
