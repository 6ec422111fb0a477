// Entries written to disk under the current directory: contents, times, attributes, the undo
// list, the Thumbs.db exception and what is left behind when an entry fails.
#include <gtest/gtest.h>

#include "ArchiveTestSupport.h"
#include "DeflateSamples.h"
#include "base/UndoList.h"
#include "unit/base/FileTestDir.h"
#include "unit/compress/RecordingLog.h"

namespace {
// 2020-05-06 07:08:09 plus 1234567 ticks, as a wall-clock FILETIME.
constexpr uint64_t kLocalTime = (1588748889ULL + 11644473600ULL) * 10000000ULL + 1234567;

class SimpleArchiveDisk : public FileTestDir {
 protected:
  void SetUp() override {
    FileTestDir::SetUp();
    GetCurrentDirectoryA(sizeof m_previous, m_previous);
    ASSERT_TRUE(SetCurrentDirectoryA(root.c_str()));
  }
  void TearDown() override {
    SetCurrentDirectoryA(m_previous);
    FileTestDir::TearDown();
  }

  // Extracts every entry; false at the first failure.
  bool extract(const PayloadBytes &p, LogBase &log, UndoList *undo = nullptr, int workers = 0) {
    m_archive.reset(new MemoryArchive(p.bytes));
    m_archive->archive.setWorkerCount(workers);
    if (!m_archive->openContainer()) return false;
    for (int i = 0; i < 100; ++i) {
      MemoryArchive &m = *m_archive;
      if (!m.archive.unzipNextEntry(false, m.end, &m.progress, m.name, m.isDirectory, undo, m.skipped,
                                    nullptr, log)) {
        return false;
      }
      if (m.skipped) ++skippedCount;
      if (m.end) return true;
    }
    return false;
  }

  static uint64_t ticks(const FILETIME &t) { return uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime; }
  static FILETIME lastWriteOf(const std::string &p) {
    FILETIME t{};
    HANDLE h = CreateFileA(p.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      GetFileTime(h, nullptr, nullptr, &t);
      CloseHandle(h);
    }
    return t;
  }
  static uint64_t utcTicksOf(uint64_t localTicks) {
    FILETIME local{DWORD(localTicks), DWORD(localTicks >> 32)}, utc{};
    LocalFileTimeToFileTime(&local, &utc);
    return ticks(utc);
  }

  std::unique_ptr<MemoryArchive> m_archive;
  int skippedCount = 0;
  char m_previous[2048] = {};
};

PayloadBytes plainPayload() {
  PayloadBytes p;
  p.marker().header(false, 0).endValues();
  return p;
}
}  // namespace

TEST_F(SimpleArchiveDisk, WritesDirectoriesFilesTimesAndAttributes) {
  PayloadBytes p = plainPayload();
  p.entry(1, "top", kLocalTime, 0x10).entry(1, "top\\inner", kLocalTime, 0x10);
  p.entry(2, "top\\inner\\data.txt", kLocalTime, 0x20)
      .storedChunk("first ")
      .storedChunk("second")
      .endChunks();
  p.entry(2, "top/ro.txt", kLocalTime, 0x21).storedChunk("read only").endChunks();
  p.entry(2, "new\\made\\empty", kLocalTime, 0x20).endChunks();
  p.entry(1, "top\\leaf", kLocalTime, 0x10).endEntry();
  for (const char *name : {"top", "top\\inner", "top\\inner\\data.txt", "top\\ro.txt", "new", "new\\made",
                           "new\\made\\empty", "top\\leaf"}) {
    path(name);
  }
  UndoList undo;
  RecordingLog log;
  ASSERT_TRUE(extract(p, log, &undo)) << ::testing::PrintToString(log.entries);

  EXPECT_EQ(readFile(root + "\\top\\inner\\data.txt"), "first second");
  EXPECT_EQ(readFile(root + "\\top\\ro.txt"), "read only");
  EXPECT_TRUE(exists(root + "\\new\\made\\empty"));
  EXPECT_EQ(readFile(root + "\\new\\made\\empty"), "");
  EXPECT_TRUE(GetFileAttributesA((root + "\\top\\ro.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(GetFileAttributesA((root + "\\top\\inner\\data.txt").c_str()) & FILE_ATTRIBUTE_READONLY);

  // A file keeps whole seconds of its time; a directory its exact value (until something is
  // written into it).
  uint64_t utc = utcTicksOf(kLocalTime);
  EXPECT_EQ(ticks(lastWriteOf(root + "\\top\\inner\\data.txt")), utc - utc % 10000000);
  EXPECT_EQ(ticks(lastWriteOf(root + "\\top\\leaf")), utc);

  // The undo list holds the directories made, each tagged "D", outermost first, and the files
  // written, tagged "F", in the order they were made.
  std::vector<std::string> made;
  for (int i = 0; i < undo.count(); ++i)
    made.push_back(static_cast<StringBuffer *>(undo.createdDirs()->get(i))->getText());
  undo.forget();
  std::vector<std::string> want = {"topD",     "top\\innerD",        "top\\inner\\data.txtF", "top\\ro.txtF",
                                   "newD",     "new\\madeD",         "new\\made\\emptyF",     "top\\leafD"};
  EXPECT_EQ(made, want);
}

TEST_F(SimpleArchiveDisk, AFailedFileIsRemovedAndNothingIsWrittenOutsideTheDirectory) {
  PayloadBytes p = plainPayload();
  p.entry(2, "cut.bin").storedChunk("written first").u32(0x80000100).raw("too short");
  path("cut.bin");
  RecordingLog log;
  EXPECT_FALSE(extract(p, log));
  EXPECT_TRUE(log.has("error:Failed to read compressed data."));
  EXPECT_FALSE(exists(root + "\\cut.bin"));

  PayloadBytes escape = plainPayload();
  escape.entry(2, "..\\escaped.txt").storedChunk("x").endChunks().endEntry();
  RecordingLog log2;
  EXPECT_FALSE(extract(escape, log2));
  EXPECT_FALSE(exists(root + "\\..\\escaped.txt"));
}

TEST_F(SimpleArchiveDisk, AThumbsDbThatCannotBeOpenedIsSkippedAndOtherNamesFail) {
  // A folder in the way makes the open fail, as a locked file would.
  ASSERT_TRUE(CreateDirectoryA(path("Thumbs.db").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(path("blocked.txt").c_str(), nullptr));
  path("after.txt");
  PayloadBytes p = plainPayload();
  p.entry(2, "Thumbs.db").storedChunk("thumbnail cache").endChunks();
  p.entry(2, "after.txt").storedChunk("next").endChunks().endEntry();
  RecordingLog log;
  ASSERT_TRUE(extract(p, log));
  EXPECT_EQ(skippedCount, 1);
  EXPECT_EQ(readFile(root + "\\after.txt"), "next");

  PayloadBytes q = plainPayload();
  q.entry(2, "blocked.txt").storedChunk("x").endChunks().endEntry();
  RecordingLog log2;
  EXPECT_FALSE(extract(q, log2));
  EXPECT_TRUE(log2.has("error:Failed to open file."));
}

TEST_F(SimpleArchiveDisk, AFileInTheWayOfADirectoryFailsTheEntry) {
  ASSERT_TRUE(writeFile(path("plain"), "a file"));
  PayloadBytes dir = plainPayload();
  dir.entry(1, "plain\\sub").endEntry();
  RecordingLog log;
  EXPECT_FALSE(extract(dir, log));
  EXPECT_TRUE(log.has("error:Failed to ensure directory exists."));

  PayloadBytes file = plainPayload();
  file.entry(2, "plain\\sub\\f.txt").storedChunk("x").endChunks().endEntry();
  RecordingLog log2;
  EXPECT_FALSE(extract(file, log2));
  EXPECT_TRUE(log2.has("error:Failed to ensure file can be created.")) << ::testing::PrintToString(log2.entries);
  EXPECT_TRUE(log2.has("filename=plain\\sub\\f.txt"));
}

TEST_F(SimpleArchiveDisk, ACorruptChunkInALargeFileLeavesNoFileWhateverTheWorkers) {
  std::vector<std::string> first;
  for (int workers : {1, 8}) {
    PayloadBytes p = plainPayload();
    p.entry(2, "before.txt").deflatedChunk(deflateLiterals("kept")).endChunks();
    p.entry(2, "large.bin");
    for (int i = 0; i < 16; ++i) {
      p.deflatedChunk(i == 8 ? std::vector<uint8_t>{0xFF, 0xFF, 0xFF} : deflateLiterals(std::string(5000, char('a' + i))));
    }
    p.endChunks().entry(2, "after.txt").storedChunk("never").endChunks().endEntry();
    path("before.txt");
    path("large.bin");
    path("after.txt");
    RecordingLog log;
    EXPECT_FALSE(extract(p, log, nullptr, workers));
    EXPECT_EQ(readFile(root + "\\before.txt"), "kept");
    EXPECT_FALSE(exists(root + "\\large.bin")) << workers;
    EXPECT_FALSE(exists(root + "\\after.txt")) << workers;
    EXPECT_TRUE(log.has("error:Failed to inflate compressed data."));
    EXPECT_EQ(log.entries.back(), "filename=large.bin");
    if (first.empty()) {
      first = log.entries;
    } else {
      EXPECT_EQ(log.entries, first);
    }
  }
}

TEST_F(SimpleArchiveDisk, ManyChunksGiveTheSameFilesWithOneTwoAndEightWorkers) {
  PayloadBytes p = plainPayload();
  std::string want;
  p.entry(2, "many.bin", kLocalTime, 0x21);
  for (int i = 0; i < 20; ++i) {
    std::string text(3000 + i * 101, char('A' + i));
    want += text;
    if (i % 3 == 0) {
      p.storedChunk(text);
    } else {
      p.deflatedChunk(deflateLiterals(text));
    }
  }
  p.endChunks().entry(2, "one.txt").deflatedChunk(deflateLiterals("single")).endChunks().endEntry();
  for (int workers : {1, 2, 8}) {
    RecordingLog log;
    ASSERT_TRUE(extract(p, log, nullptr, workers)) << workers;
    EXPECT_TRUE(readFile(root + "\\many.bin") == want) << workers;
    EXPECT_EQ(readFile(root + "\\one.txt"), "single");
    EXPECT_TRUE(GetFileAttributesA((root + "\\many.bin").c_str()) & FILE_ATTRIBUTE_READONLY);
    uint64_t utc = utcTicksOf(kLocalTime);
    EXPECT_EQ(ticks(lastWriteOf(root + "\\many.bin")), utc - utc % 10000000);
    SetFileAttributesA((root + "\\many.bin").c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA((root + "\\many.bin").c_str());
    DeleteFileA((root + "\\one.txt").c_str());
  }
}

TEST_F(SimpleArchiveDisk, FilesOfOneFolderAskForItOnceAndAFileNeverPassesForAFolder) {
  PayloadBytes p = plainPayload();
  p.entry(2, "p\\q\\1").storedChunk("1").endChunks().entry(2, "p\\q\\2").storedChunk("2").endChunks();
  p.entry(2, "p\\r\\3").storedChunk("3").endChunks().entry(2, "p\\q\\4").storedChunk("4").endChunks();
  p.entry(2, "top.txt").storedChunk("t").endChunks().endEntry();
  for (const char *name : {"p", "p\\q", "p\\q\\1", "p\\q\\2", "p\\r", "p\\r\\3", "p\\q\\4", "top.txt"}) path(name);
  UndoList undo;
  RecordingLog log;
  ASSERT_TRUE(extract(p, log, &undo));
  std::vector<std::string> made;
  for (int i = 0; i < undo.count(); ++i) made.push_back(static_cast<StringBuffer *>(undo.createdDirs()->get(i))->getText());
  undo.forget();
  EXPECT_EQ(made, (std::vector<std::string>{"pD", "p\\qD", "p\\q\\1F", "p\\q\\2F", "p\\rD", "p\\r\\3F",
                                            "p\\q\\4F", "top.txtF"}));
  EXPECT_EQ(readFile(root + "\\p\\q\\4"), "4");

  // A file, then files that would need it as a folder: the remembered folder is not taken for it.
  PayloadBytes q = plainPayload();
  q.entry(2, "p\\plain").storedChunk("x").endChunks().entry(2, "p\\plain\\sub\\f").storedChunk("y").endChunks();
  q.endEntry();
  path("p\\plain");
  RecordingLog log2;
  EXPECT_FALSE(extract(q, log2));
  EXPECT_TRUE(log2.has("error:Failed to ensure file can be created.")) << ::testing::PrintToString(log2.entries);
  EXPECT_EQ(readFile(root + "\\p\\plain"), "x");
}

// On Windows files are closed on a thread of their own: a second entry of the same name must
// still replace the first, and nothing of the run may hold a file once the end is read.
TEST_F(SimpleArchiveDisk, AFileWrittenTwiceHoldsTheSecondAndNoFileIsHeldAtTheEnd) {
  PayloadBytes p = plainPayload();
  const int count = 80;
  for (int i = 0; i < count; ++i) {
    p.entry(2, "f" + std::to_string(i) + ".txt").storedChunk("first " + std::to_string(i)).endChunks();
    path("f" + std::to_string(i) + ".txt");
  }
  p.entry(2, "f3.txt").storedChunk("again").endChunks();
  // Straight after itself, when the first is most likely still waiting to be closed.
  p.entry(2, "dup.txt").storedChunk("one").endChunks();
  p.entry(2, "dup.txt").storedChunk("two").endChunks();
  path("dup.txt");
  p.endEntry();
  RecordingLog log;
  ASSERT_TRUE(extract(p, log)) << ::testing::PrintToString(log.entries);
  for (int i = 0; i < count; ++i) {
    const std::string name = root + "\\f" + std::to_string(i) + ".txt";
    HANDLE h = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << name;
    char buffer[64] = {};
    DWORD got = 0;
    ReadFile(h, buffer, sizeof buffer, &got, nullptr);
    CloseHandle(h);
    EXPECT_EQ(std::string(buffer, got), i == 3 ? "again" : "first " + std::to_string(i));
  }
  EXPECT_EQ(readFile(root + "\\dup.txt"), "two");
}

namespace {
// A file as a person had it before the run: its content, an old time and, when asked, read-only.
void placeEarlierFile(const std::string &p, const std::string &content, bool readOnly) {
  HANDLE h = CreateFileA(p.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << p;
  DWORD written = 0;
  WriteFile(h, content.data(), DWORD(content.size()), &written, nullptr);
  FILETIME old{0x12340000, 0x01D00000};
  SetFileTime(h, &old, &old, &old);
  CloseHandle(h);
  if (readOnly) SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_READONLY);
}

// Collects what the undo list says it could not do.
struct CollectingReport : UndoReport {
  std::vector<std::string> steps, failures;
  void step(const char *action, const char *p) override { steps.push_back(std::string(action) + " " + p); }
  void failed(const char *action, const char *p, DWORD) override {
    failures.push_back(std::string(action) + " " + p);
  }
};

// Over a folder that holds an earlier version: two files the payload replaces (one read-only), a
// file it leaves alone; it adds a folder, a read-only file, and a file that `last` ends it with.
PayloadBytes newerVersion(PayloadBytes &&last) {
  last.entry(2, "a.txt", kLocalTime, 0x20).storedChunk("new a").endChunks();
  last.entry(2, "b_ro.txt", kLocalTime, 0x21).storedChunk("new b").endChunks();
  last.entry(1, "added", kLocalTime, 0x10);
  last.entry(2, "added\\ro_new.txt", kLocalTime, 0x21).storedChunk("new ro").endChunks();
  return std::move(last);
}
}  // namespace

TEST_F(SimpleArchiveDisk, AFailedRunTakenBackLeavesTheFolderAsItWasReadOnlyFilesIncluded) {
  for (const char *name : {"added", "added\\ro_new.txt", "d.txt"}) path(name);
  const std::string a = path("a.txt"), b = path("b_ro.txt"), untouched = path("keep.txt");
  placeEarlierFile(a, "old a", false);
  placeEarlierFile(b, "old b", true);
  placeEarlierFile(untouched, "mine", false);
  const uint64_t before = ticks(lastWriteOf(a));

  // d.txt ends in a damaged chunk.
  PayloadBytes p = newerVersion(plainPayload());
  p.entry(2, "d.txt").storedChunk("partial").u32(0x80000100).raw("too short");
  UndoList undo;
  RecordingLog log;
  EXPECT_FALSE(extract(p, log, &undo));
  // What was replaced holds the new content meanwhile; its earlier copy is only set aside.
  EXPECT_EQ(readFile(a), "new a");
  EXPECT_FALSE(exists(root + "\\d.txt"));

  CollectingReport report;
  EXPECT_TRUE(undo.rollBack(0, report)) << ::testing::PrintToString(report.failures);
  EXPECT_EQ(undo.count(), 0);
  EXPECT_EQ(readFile(a), "old a");
  EXPECT_EQ(readFile(b), "old b");
  EXPECT_EQ(ticks(lastWriteOf(a)), before);
  EXPECT_EQ(GetFileAttributesA(b.c_str()) & FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(GetFileAttributesA(a.c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(readFile(untouched), "mine");
  for (const char *gone : {"added", "d.txt", "a.txt.sfxnew", "a.txt.sfxold", "b_ro.txt.sfxold", "b_ro.txt.sfxnew"}) {
    EXPECT_FALSE(exists(root + "\\" + gone)) << gone;
  }
}

TEST_F(SimpleArchiveDisk, AKeptRunHasTheNewFilesAndNoBackups) {
  for (const char *name : {"added", "added\\ro_new.txt"}) path(name);
  const std::string a = path("a.txt"), b = path("b_ro.txt");
  placeEarlierFile(a, "old a", false);
  placeEarlierFile(b, "old b", true);
  UndoList undo;
  RecordingLog log;
  ASSERT_TRUE(extract(newerVersion(plainPayload()).endEntry(), log, &undo)) << ::testing::PrintToString(log.entries);
  CollectingReport report;
  EXPECT_TRUE(undo.keep(report));
  EXPECT_EQ(undo.count(), 0);
  EXPECT_EQ(readFile(a), "new a");
  EXPECT_EQ(readFile(b), "new b");
  EXPECT_EQ(readFile(root + "\\added\\ro_new.txt"), "new ro");
  EXPECT_EQ(ticks(lastWriteOf(a)), ticks(lastWriteOf(root + "\\added\\ro_new.txt")));
  EXPECT_TRUE(GetFileAttributesA(b.c_str()) & FILE_ATTRIBUTE_READONLY);
  for (const char *gone : {"a.txt.sfxold", "b_ro.txt.sfxold", "a.txt.sfxnew"}) EXPECT_FALSE(exists(root + "\\" + gone));
}

TEST_F(SimpleArchiveDisk, AnExistingFileKeepsItsEarlierCopyWhenItsEntryFailsOrItIsInUse) {
  const std::string a = path("a.txt");
  placeEarlierFile(a, "old a", true);
  PayloadBytes damaged = plainPayload();
  damaged.entry(2, "a.txt").storedChunk("partial").u32(0x80000100).raw("too short");
  RecordingLog log;
  EXPECT_FALSE(extract(damaged, log));
  EXPECT_EQ(readFile(a), "old a");
  EXPECT_FALSE(exists(a + ".sfxnew"));

  // Another program holds the file without letting it be renamed or deleted.
  HANDLE held = CreateFileA(a.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  PayloadBytes whole = plainPayload();
  whole.entry(2, "a.txt").storedChunk("new a").endChunks().endEntry();
  UndoList undo;
  RecordingLog log2;
  EXPECT_FALSE(extract(whole, log2, &undo));
  CloseHandle(held);
  // The system's own words for a sharing violation, which the stub turns into "in use".
  StringBuffer inUse;
  inUse.appendWindowsError(ERROR_SHARING_VIOLATION);
  std::string all = ::testing::PrintToString(log2.entries);
  EXPECT_NE(all.find(std::string("WindowsError=") + inUse.getText()), std::string::npos) << all;
  EXPECT_EQ(readFile(a), "old a");
  EXPECT_FALSE(exists(a + ".sfxnew"));
  CollectingReport report;
  EXPECT_TRUE(undo.rollBack(0, report));
  EXPECT_EQ(readFile(a), "old a");
}

// The overwrite policy keeps what it must and reads past the kept file's data: the entries
// after it are still right.
TEST_F(SimpleArchiveDisk, ExistingFilesAreKeptAsTheOverwritePolicySays) {
  // Written at kLocalTime; "old.txt" is made older than that, "new.txt" newer.
  PayloadBytes p = plainPayload();
  p.entry(2, "old.txt", kLocalTime, 0x20).storedChunk("payload old").endChunks();
  p.entry(2, "new.txt", kLocalTime, 0x20).storedChunk("payload new").endChunks();
  p.entry(2, "fresh.txt", kLocalTime, 0x20).storedChunk("payload fresh").endChunks().endEntry();
  const uint64_t utc = utcTicksOf(kLocalTime);
  struct Case {
    OverwritePolicy policy;
    const char *old, *newer;
    int kept;
  } cases[] = {{OverwritePolicy::Always, "payload old", "payload new", 0},
               {OverwritePolicy::Never, "admin old", "admin new", 2},
               {OverwritePolicy::Older, "payload old", "admin new", 1}};
  for (const Case &c : cases) {
    std::string old = path("old.txt"), newer = path("new.txt"), fresh = path("fresh.txt");
    ASSERT_TRUE(writeFile(old, "admin old") && writeFile(newer, "admin new"));
    for (auto [file, when] : {std::pair<std::string, uint64_t>{old, utc - 36000000000ULL}, {newer, utc + 36000000000ULL}}) {
      HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      FILETIME t{DWORD(when), DWORD(when >> 32)};
      ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &t));
      CloseHandle(h);
    }
    m_archive.reset();
    skippedCount = 0;
    RecordingLog log;
    m_archive.reset(new MemoryArchive(p.bytes));
    m_archive->archive.setOverwritePolicy(c.policy);
    ASSERT_TRUE(m_archive->openContainer());
    int kept = 0;
    for (MemoryArchive &m = *m_archive; !m.end;) {
      ASSERT_TRUE(m.archive.unzipNextEntry(false, m.end, &m.progress, m.name, m.isDirectory, nullptr, m.skipped,
                                           nullptr, log));
      EXPECT_EQ(m.archive.lastFileKept(), m.skipped) << m.name.getText();
      kept += m.archive.lastFileKept() ? 1 : 0;
    }
    EXPECT_EQ(kept, c.kept) << int(c.policy);
    EXPECT_EQ(readFile(old), c.old) << int(c.policy);
    EXPECT_EQ(readFile(newer), c.newer) << int(c.policy);
    EXPECT_EQ(readFile(fresh), "payload fresh") << int(c.policy);
    m_archive.reset();
    for (const std::string &f : {old, newer, fresh}) DeleteFileA(f.c_str());
  }
}
