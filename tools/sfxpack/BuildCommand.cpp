// sfxpack build: the sources and settings behind the stub, as a self-extracting executable.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "BlockCompressor.h"
#include "Branding.h"
#include "CheckValueList.h"
#include "ChunkCompressor.h"
#include "Cli.h"
#include "MessageEncryptors.h"
#include "PasswordBytes.h"
#include "PayloadWriter.h"
#include "ProgressLine.h"
#include "Settings.h"
#include "SolidOrder.h"
#include "SourceTree.h"
#include "archive/CheckValues.h"
#include "base/DataBuffer.h"
#include "base/LogBase.h"
#include "crypto/AesKeyDerivation.h"
#include "crypto/MessageSealer.h"
#include "pe/ImageChecksum.h"

namespace fs = std::filesystem;

namespace {

struct BuildOptions {
  std::string output;
  std::string stub;
  bool payloadOnly = false;
  bool checkValues = true;
  bool encrypt = false;
  // Today's AES scheme instead of the sealed one, for stubs that predate it.
  bool classic = false;
  KdfParams kdf;
  std::string password;
  int keyBits = 256;
  ChunkPolicy policy;
  SolidPolicy solid;
  // -1 until --level gives one: each codec has a default of its own.
  long level = -1;
  std::vector<std::string> sources;
  long passwordCodePage = kDefaultPasswordCodePage;
  std::string configPath;
  std::vector<std::string> assignments;
  bool quiet = false;
  bool reproducible = false;
  BrandingOptions branding;

  fs::path partialPath() const {
    fs::path partial = fs::u8path(output);
    partial += ".partial";
    return partial;
  }
};

// More workers than this only add threads: each holds two chunks in flight.
constexpr long kMaxJobs = 256;

int hardwareThreads() {
  unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : n > unsigned(kMaxJobs) ? int(kMaxJobs) : int(n);
}

// The stub beside the tool is the default, so that a build tree packs with its own stub.
std::string defaultStub(const std::string &program) {
  fs::path beside = fs::u8path(program).parent_path();
  for (const char *name : {"sfx.exe", "sfx"}) {
    std::error_code ec;
    if (fs::exists(beside / name, ec)) return (beside / name).u8string();
  }
  return std::string();
}

// The key for the password, in the code page the stub's users type it in: the classic AES key or
// the sealed scheme's, under a new salt; false when the password cannot be written in that code
// page.
bool makeKey(BuildOptions &o, DataBuffer &key, MessageSealer &sealer, std::string &error) {
  if (!o.encrypt) return true;
  std::string bytes;
  if (!passwordBytes(o.password, o.passwordCodePage, bytes, error)) return false;
  if (!o.classic) {
    MessageSealer::randomSalt(o.kdf);
    LogNull log;
    if (!sealer.deriveKey(bytes.data(), uint32_t(bytes.size()), o.kdf, log)) {
      error = "out of memory deriving the key";
      return false;
    }
    return true;
  }
  if (!deriveKey(bytes.data(), uint32_t(bytes.size()), o.keyBits, key)) {
    error = "out of memory deriving the key";
    return false;
  }
  return true;
}

// Everything goes to OUT.partial first; only a complete archive takes the output's name.
// A branded stub comes as bytes; the plain one is copied from its file.
bool writeArchive(const BuildOptions &o, const Bytes *brandedStub, const DataBuffer &key,
                  const MessageSealer &sealer, const std::vector<PackEntry> &entries, const NamedValues &values, PackCounters &counters,
                  std::string &error) {
  std::ofstream out(o.partialPath(), std::ios::binary | std::ios::trunc);
  if (!out) {
    error = "cannot create " + o.partialPath().u8string();
    return false;
  }
  if (brandedStub != nullptr) {
    if (!out.write(reinterpret_cast<const char *>(brandedStub->data()), std::streamsize(brandedStub->size()))) {
      error = "failed to write " + o.partialPath().u8string();
      return false;
    }
  } else if (!o.payloadOnly) {
    std::ifstream stub(fs::u8path(o.stub), std::ios::binary);
    if (!stub || !(out << stub.rdbuf())) {
      error = "cannot read the stub " + o.stub;
      return false;
    }
  }
  MessageEncryptor encryptor;
  if (o.encrypt) encryptor = o.classic ? classicEncryptor(key, o.keyBits) : sealingEncryptor(sealer);
  NamedValues allValues = values;
  std::vector<uint32_t> crcs;
  if (o.checkValues &&
      (!computeFileCrcs(entries, crcs, error) ||
       !appendCheckValues(CheckValues::kFileList, crcs, encryptor, allValues, error))) {
    return false;
  }
  ProgressLine progress(!o.quiet && ProgressLine::isTerminal(stderr), stderr);
  PayloadWriter writer(out, o.policy, encryptor, o.keyBits,
                       [&progress](const PackCounters &c) { progress.update(c); });
  if (o.encrypt && !o.classic) {
    PayloadFeatures features;
    features.scheme = PayloadScheme::Sodium;
    writer.setFeatures(features);
    writer.setSealing(&sealer, o.kdf, uint32_t(entries.size()));
  }
  // After the scheme: it adds the layout to the features.
  if (o.solid.solid) writer.setSolid(o.solid, o.checkValues ? &crcs : nullptr);
  if (o.checkValues) {
    // The records are checked in clear, before any name is decrypted.
    if (!writer.prepareRecords(entries, error) ||
        !appendCheckValues(CheckValues::kRecordList, writer.recordCrcs(), MessageEncryptor(), allValues, error)) {
      return false;
    }
    // The sealed scheme authenticates the header already, and tells tampering from damage.
    writer.setHeaderCheck(!o.encrypt || o.classic);
  }
  bool ok =
      writer.writeHeader(error) && writer.writeNamedValues(allValues, error) && writer.writeVerifier(error);
  for (size_t i = 0, file = 0; ok && i < entries.size(); ++i) {
    ok = writer.writeEntry(entries[i], error);
    // The check values were taken before the data was written; a file that changed in between
    // would fail every extraction.
    if (ok && o.checkValues && !o.solid.solid && entries[i].type == payload::kFileEntry &&
        writer.lastFileCrc() != crcs[file++]) {
      error = entries[i].sourcePath + " changed while it was being packed";
      ok = false;
    }
  }
  ok = ok && writer.writeEnd(error);
  progress.clear();
  counters = writer.counters();
  out.close();
  if (ok && !out) error = "failed to write " + o.partialPath().u8string();
  return ok && out;
}

// SOURCE_DATE_EPOCH, the latest time a reproducible build may stamp; false when it is not a
// number of seconds from 1970 to 9999.
bool sourceDateEpoch(bool &present, int64_t &seconds) {
  const char *text = std::getenv("SOURCE_DATE_EPOCH");
  present = text != nullptr;
  if (!present) return true;
  char *end = nullptr;
  long long value = std::strtoll(text, &end, 10);
  seconds = value;
  return end != text && *end == 0 && value >= 0 && value <= 253402300799LL;
}

// Gives the level to the codec chosen, or its default; false when it is outside its range.
bool levelFitsCodec(BuildOptions &o, int &exitCode) {
  if (!o.solid.solid) {
    if (o.level > kMaxLevel) return usageError(exitCode, "deflate takes --level 0 to " + std::to_string(kMaxLevel));
    if (o.level >= 0) o.policy.level = int(o.level);
    return true;
  }
  const bool zstd = o.solid.codec == BlockCodec::Zstd;
  const int low = zstd ? BlockCodecLevels::kZstdMin : BlockCodecLevels::kXzMin;
  const int high = zstd ? BlockCodecLevels::kZstdMax : BlockCodecLevels::kXzMax;
  if (o.level >= 0 && (o.level < low || o.level > high)) {
    return usageError(exitCode, std::string(zstd ? "zstd" : "xz") + " takes --level " + std::to_string(low) +
                                    " to " + std::to_string(high));
  }
  o.solid.level = o.level >= 0 ? int(o.level)
                               : zstd ? BlockCodecLevels::kZstdDefault : BlockCodecLevels::kXzDefault;
  return true;
}

// False with `exitCode` set when the command line is wrong.
bool parseBuildOptions(const Arguments &args, BuildOptions &o, int &exitCode) {
  for (size_t i = 2; i < args.size(); ++i) {
    const std::string &a = args[i];
    auto value = [&]() -> const char * { return i + 1 < args.size() ? args[++i].c_str() : nullptr; };
    long n = 0;
    bool taken = true;
    if (takeBrandingOption(args, i, o.branding, o.assignments, exitCode, taken)) {
      if (!taken) return false;
    } else if (a == "-o") {
      const char *v = value();
      if (!v) return usageError(exitCode, "-o needs a file name");
      o.output = v;
    } else if (a == "--stub") {
      const char *v = value();
      if (!v) return usageError(exitCode, "--stub needs a file name");
      o.stub = v;
    } else if (a == "--payload-only") {
      o.payloadOnly = true;
    } else if (a == "--no-check") {
      o.checkValues = false;
    } else if (a == "--password") {
      const char *v = value();
      if (!v) return usageError(exitCode, "--password needs a value");
      o.encrypt = true;
      o.password = v;
    } else if (a == "--encryption") {
      const char *v = value();
      if (!v || (std::strcmp(v, "sealed") != 0 && std::strcmp(v, "classic") != 0)) {
        return usageError(exitCode, "--encryption takes sealed or classic");
      }
      o.classic = std::strcmp(v, "classic") == 0;
    } else if (a == "--kdf-memory") {
      const char *v = value();
      const long most = long(KdfParams::kMaxMemoryKiB / 1024);
      if (!v || !parseNumber(v, 1, most, n)) {
        return usageError(exitCode, "--kdf-memory takes a number of MiB from 1 to " + std::to_string(most));
      }
      o.kdf.memoryKiB = uint32_t(n) * 1024;
    } else if (a == "--kdf-passes") {
      const char *v = value();
      const long most = long(KdfParams::kMaxPasses);
      if (!v || !parseNumber(v, 1, most, n)) {
        return usageError(exitCode, "--kdf-passes takes a number from 1 to " + std::to_string(most));
      }
      o.kdf.passes = uint32_t(n);
    } else if (a == "--password-codepage") {
      const char *v = value();
      if (!v || !parseNumber(v, 1, 65535, o.passwordCodePage)) {
        return usageError(exitCode, "--password-codepage takes a Windows code page number");
      }
    } else if (a == "--config") {
      const char *v = value();
      if (!v) return usageError(exitCode, "--config needs a file name");
      o.configPath = v;
    } else if (a == "--set") {
      const char *v = value();
      if (!v) return usageError(exitCode, "--set needs Key=Value");
      o.assignments.push_back(v);
    } else if (a == "--key-bits") {
      const char *v = value();
      if (!v || !parseNumber(v, 128, 256, n) || (n != 128 && n != 192 && n != 256)) {
        return usageError(exitCode, "--key-bits takes 128, 192 or 256");
      }
      o.keyBits = int(n);
    } else if (a == "--level") {
      const char *v = value();
      if (!v || !parseNumber(v, 0, BlockCodecLevels::kZstdMax, n)) {
        return usageError(exitCode, "--level takes a number: deflate 0 to 12, zstd 1 to 22, xz 0 to 9");
      }
      o.level = n;
    } else if (a == "--codec") {
      const char *v = value();
      const std::string codec = v ? v : "";
      if (codec != "deflate" && codec != "zstd" && codec != "xz") {
        return usageError(exitCode, "--codec takes deflate, zstd or xz");
      }
      o.solid.solid = codec != "deflate";
      o.solid.codec = codec == "xz" ? BlockCodec::Xz : BlockCodec::Zstd;
    } else if (a == "--block-size") {
      const char *v = value();
      if (!v || !parseNumber(v, solid_format::kMinBlockSize, BlockDecoder::kMaxBlockSize, n)) {
        return usageError(exitCode, "--block-size takes a number of bytes from " +
                                        std::to_string(solid_format::kMinBlockSize) + " to " +
                                        std::to_string(BlockDecoder::kMaxBlockSize));
      }
      o.solid.blockSize = uint32_t(n);
    } else if (a == "--jobs") {
      const char *v = value();
      if (!v || !parseNumber(v, 1, kMaxJobs, n)) {
        return usageError(exitCode, "--jobs takes a number from 1 to " + std::to_string(kMaxJobs));
      }
      o.policy.jobs = int(n);
    } else if (a == "--quiet") {
      o.quiet = true;
    } else if (a == "--reproducible") {
      o.reproducible = true;
    } else if (a == "--chunk-size") {
      const char *v = value();
      // Room for a block of padding, or a sealed message's nonce and tag, when the chunk is encrypted.
      const long most = long(payload::kChunkLimit - 1 - MessageSealer::kOverhead);
      if (!v || !parseNumber(v, 1, most, n)) {
        return usageError(exitCode, "--chunk-size takes a number from 1 to " + std::to_string(most));
      }
      o.policy.chunkSize = uint32_t(n);
    } else if (!a.empty() && a[0] == '-') {
      return usageError(exitCode, "unknown option " + a);
    } else {
      o.sources.push_back(a);
    }
  }
  if (!levelFitsCodec(o, exitCode)) return false;
  if (o.output.empty()) return usageError(exitCode, "no output file (-o)");
  if (o.sources.empty()) return usageError(exitCode, "nothing to pack: give at least one SOURCE");
  if (!o.payloadOnly && o.stub.empty()) o.stub = defaultStub(args[0]);
  if (!o.payloadOnly && o.stub.empty()) {
    return usageError(exitCode, "no stub found beside sfxpack; give --stub or --payload-only");
  }
  return true;
}

}  // namespace

int runBuild(const Arguments &args) {
  BuildOptions o;
  o.policy.jobs = hardwareThreads();
  int code = 0;
  if (!parseBuildOptions(args, o, code)) return code;
  o.solid.jobs = o.policy.jobs;
  bool clamp = false;
  int64_t latest = 0;
  if (o.reproducible && !sourceDateEpoch(clamp, latest)) {
    return fail("SOURCE_DATE_EPOCH must be a number of seconds since 1970");
  }
  std::vector<PackEntry> entries;
  std::string error;
  if (!collectEntries(o.sources, entries, error)) return fail(error);
  if (clamp) clampEntryTimes(entries, latest);
  if (o.solid.solid) orderForSolidBlocks(entries);
  std::string settings, license;
  if (!makeSettingsXml(o.configPath, o.assignments, o.encrypt, o.keyBits, settings, error))
    return fail(error);
  if (!licenseFromPayload(settings, entries, license, error)) return fail(error);
  if (!license.empty()) {
    o.assignments.push_back("LicenseText=" + license);
    if (!makeSettingsXml(o.configPath, o.assignments, o.encrypt, o.keyBits, settings, error)) return fail(error);
  }
  if (!brandingFromSettings(settings, o.branding, error)) return fail(error);
  Bytes stub;
  size_t checksumOffset = 0;
  bool branded = o.branding.any();
  if (branded && o.payloadOnly) return fail("--payload-only has no stub to put an icon, version or level into");
  if (branded && !brandedStub(o.stub, o.branding, stub, checksumOffset, error)) return fail(error);
  NamedValues values = {{"xmlConfig", settings}};
  DataBuffer key;
  MessageSealer sealer;
  if (!makeKey(o, key, sealer, error)) return fail(error);
  PackCounters counters;
  bool written = writeArchive(o, branded ? &stub : nullptr, key, sealer, entries, values, counters, error) &&
                 (!branded || writeImageChecksum(o.partialPath(), checksumOffset, error));
  key.clearSecure();
  std::error_code ec;
  fs::path outPath = fs::u8path(o.output);
  if (written) {
    fs::rename(o.partialPath(), outPath, ec);
    if (ec) error = "cannot rename to " + o.output + ": " + ec.message();
  }
  if (!written || ec) {
    fs::remove(o.partialPath(), ec);
    return ioFailure(error);
  }
  if (!o.payloadOnly) {
    fs::permissions(outPath, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add, ec);
  }
  if (!o.quiet) std::printf("%s\n", ProgressLine::closingLine(o.output, counters).c_str());
  return 0;
}
