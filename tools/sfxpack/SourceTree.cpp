#include "SourceTree.h"

#include <algorithm>
#include <filesystem>

#include "base/TimeValue.h"
#include "platform/win32.h"

namespace fs = std::filesystem;

namespace {
// Seconds from 1601-01-01, where FILETIME counts from, to 1970-01-01.
constexpr int64_t kFileTimeEpochSeconds = 11644473600LL;
constexpr uint32_t kKeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                     FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE;

LPCWSTR wide(const std::u16string &text) { return reinterpret_cast<LPCWSTR>(text.c_str()); }

// Last-write time as the wall clock of this machine's time zone, and the attribute bits, read
// by name in one call; on Windows the same values the stub sets through a handle.
bool readTimeAndAttributes(const fs::path &path, PackEntry &entry, std::string &error) {
  std::u16string name = path.u16string();
  WIN32_FILE_ATTRIBUTE_DATA data{};
  FILETIME local{};
  bool ok = GetFileAttributesExW(wide(name), GetFileExInfoStandard, &data) &&
            FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
  if (!ok) {
    error = "Cannot read the time or attributes of " + path.u8string() + " (Windows error " +
            std::to_string(GetLastError()) + ")";
    return false;
  }
  const FILETIME &utc = data.ftLastWriteTime;
  // FileTimeToLocalFileTime shifts by today's offset; the wall clock of the file's own moment is
  // what the stub reads back (its local-offset correction undoes exactly this).
  entry.utcFileTime = uint64_t(utc.dwHighDateTime) << 32 | utc.dwLowDateTime;
  int64_t utcSeconds = int64_t(entry.utcFileTime / 10000000ULL) - kFileTimeEpochSeconds;
  int64_t shift = TimeValue::utcOffsetAt(utcSeconds) - TimeValue::utcOffsetNow();
  entry.localFileTime = uint64_t(int64_t((uint64_t(local.dwHighDateTime) << 32) | local.dwLowDateTime) + shift * 10000000LL);
  entry.attributes = data.dwFileAttributes & kKeptAttributes;
  return true;
}

std::string joinName(const std::string &parent, const std::string &name) {
  return parent.empty() ? name : parent + "\\" + name;
}

bool addTree(const fs::path &dir, const std::string &prefix, std::vector<PackEntry> &entries, std::string &error) {
  std::error_code ec;
  // Listed entries know their own type (from the listing itself where the file system says it),
  // so most need no call of their own to tell a folder from a file.
  std::vector<fs::directory_entry> children;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) children.push_back(*it);
  if (ec) {
    error = "Cannot list " + dir.u8string() + ": " + ec.message();
    return false;
  }
  std::sort(children.begin(), children.end(), [](const fs::directory_entry &a, const fs::directory_entry &b) {
    return a.path().filename().u8string() < b.path().filename().u8string();
  });
  for (const fs::directory_entry &listed : children) {
    const fs::path &child = listed.path();
    PackEntry entry;
    entry.name = joinName(prefix, child.filename().u8string());
    // A linked folder could loop back on itself; its target is packed where it really lives.
    bool directory = !listed.is_symlink(ec) && listed.is_directory(ec);
    if (!directory && !listed.is_regular_file(ec)) continue;
    entry.type = directory ? payload::kDirectoryEntry : payload::kFileEntry;
    if (!directory) entry.sourcePath = child.u8string();
    if (!readTimeAndAttributes(child, entry, error)) return false;
    entries.push_back(entry);
    if (directory && !addTree(child, entry.name, entries, error)) return false;
  }
  return true;
}
}  // namespace

bool collectEntries(const std::vector<std::string> &sources, std::vector<PackEntry> &entries, std::string &error) {
  for (const std::string &source : sources) {
    fs::path path = fs::u8path(source);
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
      if (!addTree(path, "", entries, error)) return false;
    } else if (fs::is_regular_file(path, ec)) {
      PackEntry entry;
      entry.name = path.filename().u8string();
      entry.sourcePath = path.u8string();
      if (!readTimeAndAttributes(path, entry, error)) return false;
      entries.push_back(entry);
    } else {
      error = "Source not found or not a file or folder: " + source;
      return false;
    }
  }
  return true;
}

void clampEntryTimes(std::vector<PackEntry> &entries, int64_t latestUtcSeconds) {
  for (PackEntry &entry : entries) {
    uint64_t latest = uint64_t(latestUtcSeconds + kFileTimeEpochSeconds) * 10000000ULL;
    if (entry.utcFileTime <= latest) continue;
    entry.utcFileTime = latest;
    int64_t wallClock = latestUtcSeconds + TimeValue::utcOffsetAt(latestUtcSeconds);
    entry.localFileTime = uint64_t(wallClock + kFileTimeEpochSeconds) * 10000000ULL;
  }
}
