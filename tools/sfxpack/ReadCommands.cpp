// sfxpack list, test and extract: a payload read back through the stub's own reader.
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>

#include "Cli.h"
#include "PasswordBytes.h"
#include "archive/SimpleArchive.h"
#include "base/Directories.h"
#include "base/Logger.h"
#include "base/PathQueries.h"
#include "base/XString.h"
#include "compress/FileDataSource.h"
#include "compress/Output.h"
#include "platform/win32.h"

namespace fs = std::filesystem;

namespace {

struct ReadOptions {
  std::string file;
  std::string directory;
  bool hasPassword = false;
  std::string password;
  long codePage = kDefaultPasswordCodePage;
};

// False with `exitCode` set when the command line is wrong.
bool parseReadOptions(const Arguments &args, bool wantsDirectory, ReadOptions &o, int &exitCode) {
  for (size_t i = 2; i < args.size(); ++i) {
    const std::string &a = args[i];
    const char *v = i + 1 < args.size() ? args[i + 1].c_str() : nullptr;
    if (a == "--password" || a == "--password-codepage" || (wantsDirectory && a == "-d")) {
      if (v == nullptr) return usageError(exitCode, a + " needs a value");
      ++i;
      if (a == "-d") {
        o.directory = v;
      } else if (a == "--password") {
        o.hasPassword = true;
        o.password = v;
      } else if (!parseNumber(v, 1, 65535, o.codePage)) {
        return usageError(exitCode, "--password-codepage takes a Windows code page number");
      }
    } else if (!a.empty() && a[0] == '-') {
      return usageError(exitCode, "unknown option " + a);
    } else if (!o.file.empty()) {
      return usageError(exitCode, "more than one FILE: " + a);
    } else {
      o.file = a;
    }
  }
  if (o.file.empty()) return usageError(exitCode, "no FILE given");
  if (wantsDirectory && o.directory.empty()) return usageError(exitCode, "no target folder (-d DIR)");
  return true;
}

// Prints what the reader logged, under a headline.
int failWithLog(const std::string &headline, Logger &log) {
  StringBuffer text;
  log.copyLogText(text);
  std::fprintf(stderr, "sfxpack: %s\n%s", headline.c_str(), text.getText());
  return 1;
}

// The payload, opened up to its first entry, with the password checked when it is encrypted.
struct OpenPayload {
  std::unique_ptr<FileDataSource> source;
  SimpleArchive archive;
  Logger log;
};

int openPayload(const ReadOptions &o, OpenPayload &p) {
  // Absolute, so that the source can reopen its file after the current directory changes.
  std::error_code ec;
  std::string path = fs::absolute(fs::u8path(o.file), ec).u8string();
  p.source.reset(SimpleArchive::openFileSource(path.c_str(), p.log));
  if (!p.source) return failWithLog("cannot open " + o.file, p.log);
  p.archive.setSource(p.source.get());
  StringBuffer error;
  if (!p.archive.findMarker(p.log, nullptr)) return fail(o.file + ": no payload found (no container marker)");
  if (!p.archive.readInternalHeader(error, p.log, nullptr)) {
    return fail(o.file + ": failed to read the internal header: " + error.getText());
  }
  if (!p.archive.readInternalArgs(p.log, nullptr))
    return failWithLog(o.file + ": failed to read the named values", p.log);
  if (!p.archive.isEncrypted()) return 0;
  if (!o.hasPassword) return fail(o.file + ": the payload is encrypted; give --password");
  std::string bytes, reason;
  if (!passwordBytes(o.password, o.codePage, bytes, reason)) return fail(reason);
  p.archive.setPassword(bytes.data(), uint32_t(bytes.size()));
  DataBuffer cache;
  if (!p.archive.verifyPassword(p.log, cache)) {
    if (p.archive.payloadDamaged()) return failWithLog(o.file + ": the payload is damaged or was changed", p.log);
    return fail(o.file + ": wrong password");
  }
  return 0;
}

// The stored time is already the wall clock: it is formatted as is, with no zone applied.
std::string localTimeText(uint64_t localFileTime) {
  std::time_t seconds = std::time_t(int64_t(localFileTime / 10000000) - 11644473600LL);
  std::tm fields{};
  char text[32] = "(time out of range)";
  if (const std::tm *f = std::gmtime(&seconds)) {
    fields = *f;
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &fields);
  }
  return text;
}

// Reads every entry; `onEntry` sees each directory and file after it was handled. A file that
// does not match its check value is named and the reading goes on, so that one run names every
// damaged file; it fails at the end.
template <typename OnEntry>
int readEntries(OpenPayload &p, const std::string &file, bool dryRun, OnEntry onEntry) {
  uint64_t damaged = 0;
  for (uint64_t index = 1;; ++index) {
    StringBuffer name;
    bool end = false, isDirectory = false, skipped = false;
    if (!p.archive.unzipNextEntry(dryRun, end, nullptr, name, isDirectory, nullptr, skipped, nullptr,
                                  p.log)) {
      std::string which = name.isEmpty() ? "entry " + std::to_string(index) : std::string(name.getText());
      if (!p.archive.lastFileDamaged()) return failWithLog(file + ": " + which + " failed", p.log);
      failWithLog(file + ": " + which + " is damaged", p.log);
      ++damaged;
    } else if (end) {
      if (damaged == 0) return 0;
      std::fprintf(stderr, "sfxpack: %s: %llu damaged files\n", file.c_str(), (unsigned long long)damaged);
      return 1;
    } else if (!name.isEmpty()) {
      onEntry(name, isDirectory);
    }
    p.log.clearLog();
  }
}

}  // namespace

int runList(const Arguments &args) {
  ReadOptions o;
  int code = 0;
  if (!parseReadOptions(args, false, o, code)) return code;
  OpenPayload p;
  if ((code = openPayload(o, p)) != 0) return code;
  std::printf("encrypted: %s, key bits: %d\n", p.archive.isEncrypted() ? "yes" : "no",
              p.archive.getKeyBits());
  for (int i = 0; i < p.archive.namedValueCount(); ++i) {
    const StringBuffer *name = p.archive.namedValueName(i);
    const StringBuffer *value = p.archive.namedValue(name->getText());
    std::printf("value %s (%u bytes)\n%s\n", name->getText(), value->getSize(), value->getText());
  }
  Output counter;
  p.archive.setDryRunSink(&counter);
  uint64_t before = 0;
  return readEntries(p, o.file, true, [&](const StringBuffer &name, bool isDirectory) {
    std::printf("%s %llu %s %s\n", isDirectory ? "D" : "F",
                (unsigned long long)(counter.totalWritten() - before),
                localTimeText(p.archive.lastEntryLocalTime()).c_str(), name.getText());
    before = counter.totalWritten();
  });
}

int runTest(const Arguments &args) {
  ReadOptions o;
  int code = 0;
  if (!parseReadOptions(args, false, o, code)) return code;
  OpenPayload p;
  if ((code = openPayload(o, p)) != 0) return code;
  uint64_t entries = 0;
  if ((code = readEntries(p, o.file, true, [&](const StringBuffer &, bool) { ++entries; })) != 0) return code;
  std::printf("%s: %llu entries decode%s\n", o.file.c_str(), (unsigned long long)entries,
              p.archive.carriesCheckValues() ? " and match their check values" : " (no check values)");
  return 0;
}

int runExtract(const Arguments &args) {
  ReadOptions o;
  int code = 0;
  if (!parseReadOptions(args, true, o, code)) return code;
  OpenPayload p;
  if ((code = openPayload(o, p)) != 0) return code;
  XString target;
  target.setUtf8(o.directory.c_str());
  if (!ensureDirExists(o.directory.c_str(), nullptr, p.log) || !setCurrentDir(target)) {
    return failWithLog("cannot create or enter " + o.directory, p.log);
  }
  uint64_t entries = 0;
  if ((code = readEntries(p, o.file, false, [&](const StringBuffer &, bool) { ++entries; })) != 0)
    return code;
  std::printf("%s: %llu entries extracted to %s\n", o.file.c_str(), (unsigned long long)entries,
              o.directory.c_str());
  return 0;
}
