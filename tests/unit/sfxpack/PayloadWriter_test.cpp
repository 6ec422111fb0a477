#include "PayloadWriter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <cstring>
#include <map>
#include <random>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "MessageEncryptors.h"
#include "base/DataBuffer.h"
#include "base/LogBase.h"
#include "crypto/AesKeyDerivation.h"
#include "crypto/AesMessageEncrypt.h"
#include "crypto/MessageSealer.h"
#include "unit/archive/ArchiveTestSupport.h"

namespace fs = std::filesystem;

namespace {

// Accepts `room` bytes, then fails every write, as a full disk does.
class FullDisk : public std::streambuf {
 public:
  explicit FullDisk(size_t room) : m_room(room) {}

 protected:
  std::streamsize xsputn(const char *, std::streamsize n) override {
    std::streamsize taken = std::min<std::streamsize>(n, std::streamsize(m_room));
    m_room -= size_t(taken);
    return taken;
  }
  int_type overflow(int_type c) override {
    if (m_room == 0) return traits_type::eof();
    --m_room;
    return traits_type::not_eof(c);
  }

 private:
  size_t m_room;
};

class PayloadWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    root = fs::temp_directory_path() / ("sfxpack-writer-" + std::to_string(random()));
    fs::create_directories(root);
    std::mt19937 rnd(5);
    std::string noise(300000, '\0');
    for (char &c : noise) c = char(rnd());
    std::string text;
    for (int i = 0; i < 20000; ++i) text += "line " + std::to_string(i % 977) + " of some text\n";
    files = {{"empty.bin", ""}, {"noise.bin", noise}, {"text.txt", text}, {"tiny.txt", "x"}};
    for (const auto &[name, content] : files) {
      std::ofstream(root / name, std::ios::binary) << content;
    }
  }
  void TearDown() override { fs::remove_all(root); }

  std::vector<PackEntry> entries() const {
    std::vector<PackEntry> out;
    for (const auto &[name, content] : files) {
      PackEntry entry;
      entry.name = name;
      entry.localFileTime = 132000000000000000ULL;
      entry.sourcePath = (root / name).u8string();
      out.push_back(entry);
    }
    return out;
  }

  // The whole payload for `policy`; encrypted with `password` unless it is empty.
  bool pack(const ChunkPolicy &policy, const std::string &password, std::ostream &out, std::string &error,
            const MessageEncryptor &override = {}, PayloadFeatures features = {}) {
    DataBuffer key;
    deriveKey(password.data(), uint32_t(password.size()), 256, key);
    MessageEncryptor encryptor = override;
    if (!encryptor && !password.empty()) {
      encryptor = classicEncryptor(key, 256);
    }
    PayloadWriter writer(out, policy, encryptor, 256);
    writer.setFeatures(features);
    bool ok = writer.writeHeader(error) && writer.writeNamedValues({{"xmlConfig", "<SfxConfig/>"}}, error) &&
              writer.writeVerifier(error);
    for (const PackEntry &entry : entries()) ok = ok && writer.writeEntry(entry, error);
    ok = ok && writer.writeEnd(error);
    counters = writer.counters();
    return ok;
  }

  std::string pack(const ChunkPolicy &policy, const std::string &password = "") {
    std::ostringstream out;
    std::string error;
    EXPECT_TRUE(pack(policy, password, out, error)) << error;
    return out.str();
  }

  fs::path root;
  std::map<std::string, std::string> files;
  PackCounters counters;
};

ChunkPolicy policyOf(int level, uint32_t chunkSize, int jobs) {
  ChunkPolicy policy;
  policy.level = level;
  policy.chunkSize = chunkSize;
  policy.jobs = jobs;
  return policy;
}

TEST_F(PayloadWriterTest, AnyNumberOfJobsWritesTheSameBytes) {
  for (const std::string password : {"", "secret"}) {
    std::string one = pack(policyOf(6, 4096, 1), password);
    EXPECT_EQ(pack(policyOf(6, 4096, 2), password), one) << password;
    EXPECT_EQ(pack(policyOf(6, 4096, 8), password), one) << password;
    EXPECT_EQ(pack(policyOf(6, 4096, 3), password), one) << password;
  }
}

TEST_F(PayloadWriterTest, EveryLevelReadsBackThroughTheStubsReader) {
  for (int level = 0; level <= 12; ++level) {
    for (const std::string password : {"", "secret"}) {
      std::string payload = pack(policyOf(level, 65536, 3), password);
      MemoryArchive archive(std::vector<uint8_t>(payload.begin(), payload.end()));
      ASSERT_TRUE(archive.openContainer()) << level;
      if (!password.empty()) {
        archive.archive.setPassword(password.data(), uint32_t(password.size()));
        DataBuffer cache;
        LogNull log;
        ASSERT_TRUE(archive.archive.verifyPassword(log, cache)) << level;
      }
      for (const auto &[name, content] : files) {
        archive.sink.text.clear();
        ASSERT_TRUE(archive.next()) << level << " " << name;
        EXPECT_EQ(std::string(archive.name.getText()), name);
        EXPECT_TRUE(archive.sink.text == content) << "level " << level << " " << name;
      }
      ASSERT_TRUE(archive.next());
      EXPECT_TRUE(archive.end);
      // Noise never shrinks: its chunks are stored; text always shrinks unless level 0 stores it.
      EXPECT_GE(counters.storedChunks, 5u) << level;
      EXPECT_EQ(counters.deflatedChunks == 0, level == 0) << level;
      EXPECT_EQ(counters.payloadBytes, payload.size());
      EXPECT_EQ(counters.files, files.size());
    }
  }
}

TEST_F(PayloadWriterTest, SealedPayloadsReadBackWithAnyNumberOfWorkersAndOnlyWithTheirPassword) {
  // Many small files: the workers then open chunks of entries the reader has not reached.
  for (int i = 0; i < 40; ++i) {
    const std::string name = "small" + std::to_string(100 + i) + ".txt";
    files[name] = std::string(size_t(i * 37), char('a' + i % 26));
    std::ofstream(root / name, std::ios::binary) << files[name];
  }
  KdfParams params;
  params.memoryKiB = 64;
  params.passes = 1;
  MessageSealer::randomSalt(params);
  MessageSealer sealer;
  LogNull log;
  ASSERT_TRUE(sealer.deriveKey("secret", 6, params, log));
  std::ostringstream out;
  PayloadWriter writer(out, policyOf(6, 4096, 3), sealingEncryptor(sealer), 256);
  PayloadFeatures features;
  features.scheme = PayloadScheme::Sodium;
  writer.setFeatures(features);
  writer.setSealing(&sealer, params, uint32_t(files.size()));
  std::string error;
  bool ok = writer.writeHeader(error) && writer.writeNamedValues({{"xmlConfig", "<SfxConfig/>"}}, error) &&
            writer.writeVerifier(error);
  for (const PackEntry &entry : entries()) ok = ok && writer.writeEntry(entry, error);
  ASSERT_TRUE(ok && writer.writeEnd(error)) << error;
  const std::string payload = out.str();
  for (const char *password : {"secret", "secret ", "Secret"}) {
    for (int workers : {1, 2, 8}) {
      MemoryArchive archive(std::vector<uint8_t>(payload.begin(), payload.end()));
      archive.archive.setWorkerCount(workers);
      ASSERT_TRUE(archive.openContainer());
      EXPECT_EQ(archive.archive.scheme(), PayloadScheme::Sodium);
      archive.archive.setPassword(password, uint32_t(std::strlen(password)));
      DataBuffer cache;
      const bool right = std::strcmp(password, "secret") == 0;
      ASSERT_EQ(archive.archive.verifyPassword(log, cache), right) << password;
      EXPECT_FALSE(archive.archive.payloadDamaged());
      if (!right) continue;
      for (const auto &[name, content] : files) {
        archive.sink.text.clear();
        ASSERT_TRUE(archive.next()) << workers << " " << name;
        EXPECT_EQ(std::string(archive.name.getText()), name);
        EXPECT_TRUE(archive.sink.text == content) << workers << " " << name;
      }
      ASSERT_TRUE(archive.next());
      EXPECT_TRUE(archive.end);
    }
  }
}

TEST_F(PayloadWriterTest, FilesEndingAtOrNearAChunkBoundaryReadBackWholeInAsFewChunks) {
  files.clear();
  size_t chunks = 0;
  for (size_t size : {4095, 4096, 4097, 8192, 12289}) {
    std::string content;
    for (size_t i = 0; content.size() < size; ++i) content += std::to_string(i * 7919 % 1000) + ' ';
    content.resize(size);
    const std::string name = "f" + std::to_string(size) + ".txt";
    files[name] = content;
    std::ofstream(root / name, std::ios::binary) << content;
    chunks += (size + 4095) / 4096;
  }
  std::string payload = pack(policyOf(6, 4096, 2));
  MemoryArchive archive(std::vector<uint8_t>(payload.begin(), payload.end()));
  ASSERT_TRUE(archive.openContainer());
  for (const auto &[name, content] : files) {
    archive.sink.text.clear();
    ASSERT_TRUE(archive.next()) << name;
    EXPECT_TRUE(archive.sink.text == content) << name;
  }
  ASSERT_TRUE(archive.next());
  EXPECT_TRUE(archive.end);
  EXPECT_EQ(counters.storedChunks + counters.deflatedChunks, chunks);
}

TEST_F(PayloadWriterTest, HigherLevelsMakeSmallerPayloads) {
  size_t stored = pack(policyOf(0, 65536, 2)).size();
  size_t fast = pack(policyOf(1, 65536, 2)).size();
  size_t best = pack(policyOf(12, 65536, 2)).size();
  EXPECT_LT(fast, stored);
  EXPECT_LT(best, fast);
}

TEST_F(PayloadWriterTest, AFullDiskFailsTheBuildWhateverTheJobs) {
  for (int jobs : {1, 4}) {
    for (size_t room : {size_t(0), size_t(50), size_t(200000)}) {
      FullDisk disk(room);
      std::ostream out(&disk);
      std::string error;
      EXPECT_FALSE(pack(policyOf(6, 4096, jobs), "", out, error)) << room;
      EXPECT_NE(error.find("disk full"), std::string::npos) << error;
    }
  }
}

TEST_F(PayloadWriterTest, ASourceGoneSinceItWasListedFailsWithItsName) {
  fs::remove(root / "text.txt");
  std::ostringstream out;
  std::string error;
  EXPECT_FALSE(pack(policyOf(6, 4096, 2), "", out, error));
  EXPECT_NE(error.find("text.txt"), std::string::npos) << error;
}

TEST_F(PayloadWriterTest, AWorkersEncryptionFailureStopsTheBuild) {
  std::ostringstream out;
  std::string error;
  // Names and the verifier are short; only chunks are long enough to fail.
  MessageEncryptor failsOnChunks = [](const MessagePlace &, const std::string &plain, std::string &cipher) {
    cipher = plain + std::string(16 - plain.size() % 16, '\x10');
    return plain.size() < 1000;
  };
  EXPECT_FALSE(pack(policyOf(6, 4096, 4), "x", out, error, failsOnChunks));
  EXPECT_EQ(error, "Encryption failed.");
}

TEST_F(PayloadWriterTest, AChunkAtTheFormatsLimitIsRefused) {
  std::mt19937 rnd(9);
  std::string noise(payload::kChunkLimit, '\0');
  for (char &c : noise) c = char(rnd());
  std::ofstream(root / "noise.bin", std::ios::binary) << noise;
  std::ostringstream out;
  std::string error;
  EXPECT_FALSE(pack(policyOf(6, payload::kChunkLimit, 2), "", out, error));
  EXPECT_NE(error.find("--chunk-size"), std::string::npos) << error;
}

}  // namespace

TEST_F(PayloadWriterTest, OnlyAPayloadThatNeedsMoreGetsTheExtendedMarkerAndItsFeatureWord) {
  std::ostringstream classic;
  std::string error;
  ASSERT_TRUE(pack(policyOf(9, payload::kDefaultChunkSize, 1), "", classic, error, {}, PayloadFeatures()));
  EXPECT_EQ(classic.str().substr(0, 14), std::string("\x07\xD2\x6C\xBF\x21\x59\xAB\xAA\x01\0\0\0\0\x02", 14));

  // The stream itself is today's; only the marker and the first header word say more.
  PayloadFeatures needs;
  needs.scheme = PayloadScheme(0x7F);
  std::ostringstream extended;
  ASSERT_TRUE(pack(policyOf(9, payload::kDefaultChunkSize, 1), "", extended, error, {}, needs));
  EXPECT_EQ(extended.str().substr(0, 14), std::string("\x07\xD2\x6C\xBF\x22\x59\xAB\xAA\0\x7F\0\0\0\x02", 14));
  EXPECT_EQ(extended.str().substr(14), classic.str().substr(14));

  // This stub does not know that scheme, and says so before it reads any further.
  const std::string bytes = extended.str();
  MemoryArchive m(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  LogNull log;
  StringBuffer message;
  ASSERT_TRUE(m.archive.findMarker(log, nullptr));
  EXPECT_FALSE(m.archive.readInternalHeader(message, log, nullptr));
  EXPECT_STREQ(message.getText(), "This package needs a newer version of the program.");
}
