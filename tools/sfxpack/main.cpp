// sfxpack: packs files and settings behind the stub into a self-extracting executable.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "PayloadWriter.h"
#include "SourceTree.h"
#include "base/DataBuffer.h"
#include "base/LogBase.h"
#include "crypto/AesKeyDerivation.h"
#include "crypto/AesMessageEncrypt.h"

namespace fs = std::filesystem;

namespace {

const char kUsage[] =
    "usage: sfxpack build -o OUT.exe [--stub STUB] [--payload-only] [--password PW]\n"
    "                     [--key-bits 128|192|256] [--level 0-9] [--chunk-size N] SOURCE...\n"
    "  A folder's contents become the top level of the payload; a file is added by its name.\n";

struct BuildOptions {
  std::string output;
  std::string stub;
  bool payloadOnly = false;
  bool encrypt = false;
  std::string password;
  int keyBits = 256;
  ChunkPolicy policy;
  std::vector<std::string> sources;
};

bool parseNumber(const char *text, long low, long high, long &value) {
  char *end = nullptr;
  value = std::strtol(text, &end, 10);
  return end != text && *end == 0 && value >= low && value <= high;
}

int fail(const std::string &message) {
  std::fprintf(stderr, "sfxpack: %s\n", message.c_str());
  return 2;
}

// The stub beside the tool is the default, so that a build tree packs with its own stub.
std::string defaultStub(const char *argv0) {
  fs::path beside = fs::path(argv0).parent_path();
  for (const char *name : {"sfx.exe", "sfx"}) {
    std::error_code ec;
    if (fs::exists(beside / name, ec)) return (beside / name).u8string();
  }
  return std::string();
}

int build(int argc, char **argv) {
  BuildOptions o;
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&]() -> const char * { return i + 1 < argc ? argv[++i] : nullptr; };
    long n = 0;
    if (a == "-o") {
      const char *v = value();
      if (!v) return fail("-o needs a file name");
      o.output = v;
    } else if (a == "--stub") {
      const char *v = value();
      if (!v) return fail("--stub needs a file name");
      o.stub = v;
    } else if (a == "--payload-only") {
      o.payloadOnly = true;
    } else if (a == "--password") {
      const char *v = value();
      if (!v) return fail("--password needs a value");
      o.encrypt = true;
      o.password = v;
    } else if (a == "--key-bits") {
      const char *v = value();
      if (!v || !parseNumber(v, 128, 256, n) || (n != 128 && n != 192 && n != 256)) {
        return fail("--key-bits takes 128, 192 or 256");
      }
      o.keyBits = int(n);
    } else if (a == "--level") {
      const char *v = value();
      if (!v || !parseNumber(v, 0, 9, n)) return fail("--level takes a number from 0 to 9");
      o.policy.level = int(n);
    } else if (a == "--chunk-size") {
      const char *v = value();
      // Room for a block of padding when the chunk is encrypted.
      if (!v || !parseNumber(v, 1, long(payload::kChunkLimit) - 17, n)) {
        return fail("--chunk-size takes a number from 1 to " + std::to_string(payload::kChunkLimit - 17));
      }
      o.policy.chunkSize = uint32_t(n);
    } else if (!a.empty() && a[0] == '-') {
      return fail("unknown option " + a);
    } else {
      o.sources.push_back(a);
    }
  }
  if (o.output.empty()) return fail("no output file (-o)");
  if (o.sources.empty()) return fail("nothing to pack: give at least one SOURCE");
  if (!o.payloadOnly && o.stub.empty()) o.stub = defaultStub(argv[0]);
  if (!o.payloadOnly && o.stub.empty()) return fail("no stub found beside sfxpack; give --stub or --payload-only");

  std::vector<PackEntry> entries;
  std::string error;
  if (!collectEntries(o.sources, entries, error)) return fail(error);

  fs::path outPath = fs::u8path(o.output);
  fs::path partial = outPath;
  partial += ".partial";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    if (!out) return fail("cannot create " + partial.u8string());
    if (!o.payloadOnly) {
      std::ifstream stub(fs::u8path(o.stub), std::ios::binary);
      if (!stub) return fail("cannot read the stub " + o.stub);
      out << stub.rdbuf();
    }
    MessageEncryptor encryptor;
    DataBuffer key;
    if (o.encrypt) {
      if (!deriveKey(o.password.data(), uint32_t(o.password.size()), o.keyBits, key)) {
        return fail("out of memory deriving the key");
      }
      encryptor = [&key, &o](const std::string &plain, std::string &cipher) {
        DataBuffer out;
        LogNull log;
        if (!aesEncryptMessage(key, o.keyBits, plain.data(), uint32_t(plain.size()), out, log)) return false;
        cipher.assign(reinterpret_cast<const char *>(out.getData()), out.getSize());
        return true;
      };
    }
    PayloadWriter writer(out, o.policy, encryptor, o.keyBits);
    bool ok = writer.writeHeader(error) && writer.writeNamedValues({}, error) && writer.writeVerifier(error);
    for (size_t i = 0; ok && i < entries.size(); ++i) ok = writer.writeEntry(entries[i], error);
    ok = ok && writer.writeEnd(error);
    out.close();
    if (!ok || !out) {
      std::error_code ec;
      fs::remove(partial, ec);
      return fail(error.empty() ? "failed to write " + o.output : error);
    }
  }
  // Only a complete archive takes the output's name.
  std::error_code ec;
  fs::rename(partial, outPath, ec);
  if (ec) return fail("cannot rename to " + o.output + ": " + ec.message());
  if (!o.payloadOnly) fs::permissions(outPath, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                                      fs::perm_options::add, ec);
  std::printf("%s: %zu entries\n", o.output.c_str(), entries.size());
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  if (!std::strcmp(argv[1], "build")) return build(argc, argv);
  return fail(std::string("unknown command ") + argv[1] + "\n" + kUsage);
}
