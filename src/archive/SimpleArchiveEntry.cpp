// The entry stream: one record per call, created under the current directory or, in a dry run,
// read, decrypted and inflated without touching the disk.
#include <cstring>

#include "archive/ContentCrc.h"
#include "archive/DeferredLog.h"
#include "archive/EntryFormat.h"
#include "archive/EntryName.h"
#include "archive/SimpleArchive.h"
#include "base/BackgroundCloser.h"
#include "base/Directories.h"
#include "base/FileAttributes.h"
#include "base/FileDelete.h"
#include "base/FileOpen.h"
#include "base/QuorvelHandle.h"
#include "base/TimeValue.h"
#include "base/XString.h"
#include "compress/DataSource.h"
#include "compress/Output.h"
#include "compress/OutputFile.h"
#include "compress/SaProgress.h"

namespace {
using namespace entry_format;

void dropByteOrderMark(StringBuffer &name) {
  if (name.getSize() >= 3 && std::memcmp(name.getText(), "\xEF\xBB\xBF", 3) == 0) name.removeRange(0, 3);
}

}  // namespace

struct SimpleArchive::EntryHeader {
  uint8_t type = kEndEntry;
  uint32_t storedNameLength = 0;
  StringBuffer name;
  FILETIME utcTime{};
  uint32_t attributes = 0;
};

bool SimpleArchive::unprotect(DataBuffer &bytes, LogBase &log) {
  return !m_encrypted || m_cipher.decryptBuffer(bytes, bytes, log);
}

bool SimpleArchive::readEntryStart(uint8_t &type, ProgressMonitor *monitor, LogBase &log) {
  uint32_t marker = 0;
  if (!readU32(marker, monitor, log)) {
    log.logError("Failed to find file marker");
    if (endOfStream()) log.logError("End of stream.");
    return false;
  }
  if (marker != kMarker) {
    log.logError("File marker is invalid.");
    log.logDataHex("marker", marker);
    return false;
  }
  if (!readExact(&type, 1, monitor, log)) {
    log.logError("Failed to get entry type.");
    return false;
  }
  return true;
}

bool SimpleArchive::readEntryHeader(EntryHeader &entry, ProgressMonitor *monitor, LogBase &log) {
  if (!readU16(entry.storedNameLength, monitor, log)) {
    log.logError("Failed to get filename length");
    return false;
  }
  if (entry.storedNameLength == 0) return false;
  DataBuffer bytes;
  if (!bytes.reserve(entry.storedNameLength + 32) ||
      !readExact(bytes.getData(), entry.storedNameLength, monitor, log)) {
    log.logError("Failed to get filename");
    return false;
  }
  bytes.setSize(entry.storedNameLength);
  if (!unprotect(bytes, log)) {
    log.logError("Failed to decrypt filename.");
    return false;
  }
  if (!entry.name.appendBytes(bytes.getData(), bytes.getSize())) {
    log.logError("Failed to get filename");
    return false;
  }
  dropByteOrderMark(entry.name);

  uint8_t time[8];
  if (!readExact(time, sizeof time, monitor, log)) {
    log.logError("Failed to get filetime");
    return false;
  }
  m_entryLocalTime = 0;
  for (int i = 7; i >= 0; --i) m_entryLocalTime = m_entryLocalTime << 8 | time[i];
  FILETIME local{DWORD(m_entryLocalTime), DWORD(m_entryLocalTime >> 32)};
  LocalFileTimeToFileTime(&local, &entry.utcTime);
  if (!readU32(entry.attributes, monitor, log)) {
    log.logError("Failed to get file attributes");
    return false;
  }
  m_entryAttributes = entry.attributes;
  return true;
}

bool SimpleArchive::unzipNextEntry(bool dryRun, bool &endOfArchive, SaProgress *progress, StringBuffer &name,
                                   bool &isDirectory, ExtPtrArray *undoList, bool &skipped,
                                   ProgressMonitor *monitor, LogBase &log) {
  name.clear();
  isDirectory = false;
  skipped = false;
  m_lastFileKept = false;
  endOfArchive = true;
  m_fileCheck = FileCheck::None;
  if (m_source == nullptr) {
    log.logError("No source.");
    return false;
  }
  if (!m_reader.isAttached()) m_reader.attach(m_source);
  EntryHeader entry;
  if (!readEntryStart(entry.type, monitor, log)) {
    finishEntries(log);
    return false;
  }
  if (entry.type == kEndEntry) {
    log.logInfo("Found end of archive.");
    return finishEntries(log);
  }
  if (!readEntryHeader(entry, monitor, log)) {
    finishEntries(log);
    return false;
  }
  if (entry.type != kDirectoryEntry && entry.type != kFileEntry) {
    // A kind of entry this reader does not know: its header is all it has.
    endOfArchive = false;
    return true;
  }
  if (!isSafeEntryName(entry.name)) {
    log.logError("Refused an entry name that is not a relative path inside the unzip directory.");
    log.logData("filename", entry.name);
    finishEntries(log);
    return false;
  }
  bool ok;
  if (entry.type == kDirectoryEntry) {
    isDirectory = true;
    ok = extractDirectory(entry, dryRun, undoList, name, progress, log);
  } else {
    ok = extractFile(entry, dryRun, undoList, name, skipped, progress, monitor, log);
  }
  if (ok) {
    endOfArchive = false;
  } else {
    finishEntries(log);
  }
  return ok;
}

bool SimpleArchive::copyCheckedChunks(Output &output, uint32_t fileIndex, const StringBuffer &name,
                                      uint32_t pending, SaProgress *progress, ProgressMonitor *monitor,
                                      LogBase &log) {
  if (!m_checkValues.load(*this, m_encrypted ? &m_cipher : nullptr, log)) return false;
  CrcOutput checked(output);
  Output &target = m_checkValues.present() ? checked : output;
  if (!copyChunks(target, pending, progress, monitor, log)) {
    log.logData("filename", name);
    return false;
  }
  if (!m_checkValues.present()) return true;
  if (!m_checkValues.verify(fileIndex, checked.crc().value(), name, log)) {
    m_fileCheck = FileCheck::Damaged;
    return false;
  }
  m_fileCheck = FileCheck::Verified;
  return true;
}

bool SimpleArchive::extractDirectory(const EntryHeader &entry, bool dryRun, ExtPtrArray *undoList,
                                     StringBuffer &name, SaProgress *progress, LogBase &log) {
  if (!dryRun && !ensureDirExists(entry.name.getText(), undoList, log)) {
    log.logError("Failed to ensure directory exists.");
    return false;
  }
  name.copyFrom(entry.name);
  if (!dryRun) {
    // The exact time, fraction included, corrected like a file's for the season of the time
    // stamp; a directory whose time cannot be set is still fine.
    XString path;
    path.setUtf8(entry.name.getText());
    QuorvelHandle handle;
    int errorKind = 0;
    LogNull quiet;
    if (openHandleForTimes(handle, path, errorKind, quiet)) {
      FILETIME time = TimeValue::localOffsetCorrected(entry.utcTime);
      SetFileTime(handle.osHandle(), &time, &time, &time);
    }
  }
  uint32_t pending = kHeaderBytes + entry.storedNameLength;
  if (progress != nullptr) progress->progress(pending, pending);
  return true;
}

bool SimpleArchive::extractFile(const EntryHeader &entry, bool dryRun, ExtPtrArray *undoList,
                                StringBuffer &name, bool &skipped, SaProgress *progress,
                                ProgressMonitor *monitor, LogBase &log) {
  const uint32_t pending = kHeaderBytes + entry.storedNameLength;
  const uint32_t fileIndex = m_filesRead++;
  Output discard;
  if (dryRun) {
    name.copyFrom(entry.name);
    return copyCheckedChunks(m_dryRunSink != nullptr ? *m_dryRunSink : discard, fileIndex, entry.name, pending,
                             progress, monitor, log);
  }
  StringBuffer directory;
  LogNull quiet;
  // Files come folder by folder: the folder the last file went to is not asked for again.
  const bool hasParent = parentDirOf(entry.name.getText(), directory);
  const bool known = hasParent && directory.equalsBuffer(m_lastParent);
  if (!known && !ensureParentDir(entry.name.getText(), directory, undoList, quiet)) {
    // Once more, only for the reasons.
    ensureParentDir(entry.name.getText(), directory, nullptr, log);
    log.logError("Failed to ensure file can be created.");
    log.logData("filename", entry.name);
    return false;
  }
  if (hasParent && !known) m_lastParent.copyFrom(directory);
  name.copyFrom(entry.name);

  XString path;
  path.setUtf8(entry.name.getText());
  if (!mayReplaceExisting(m_overwrite, path, entry.utcTime)) {
    skipped = m_lastFileKept = true;
    return copyChunks(discard, pending, progress, monitor, log);
  }
  QuorvelHandle handle;
  if (!openEntryFile(handle, path, entry.attributes, log)) {
    // Explorer keeps its thumbnail caches open; such a file is passed over, not fatal.
    if (!entry.name.endsWith("Thumbs.db")) {
      log.logError("Failed to open file.");
      return false;
    }
    skipped = true;
    return copyChunks(discard, pending, progress, monitor, log);
  }
  OutputFile file(path, handle);
  if (!copyCheckedChunks(file, fileIndex, entry.name, pending, progress, monitor, log)) {
    // Half a file, or a damaged one, would pass for a whole one.
    file.close();
    deleteFile(path, quiet);
    return false;
  }
  TimeValue time;
  time.fromFileTime(entry.utcTime);
  file.setFileTime(time, quiet);
  // A file whose attributes are set by name afterwards is closed first.
  BackgroundCloser *background = entry.attributes == FILE_ATTRIBUTE_ARCHIVE ? closer() : nullptr;
  if (background != nullptr) {
    file.handOver(*background, entry.name.getText());
  } else {
    file.close();
  }
  if (entry.attributes != FILE_ATTRIBUTE_ARCHIVE) setAttributes(path, entry.attributes);
  return true;
}

bool SimpleArchive::openEntryFile(QuorvelHandle &handle, const XString &path, uint32_t attributes, LogBase &log) {
  auto open = [&](LogBase &to) {
    int errorKind = 0;
    return (attributes & FILE_ATTRIBUTE_HIDDEN) != 0 ? openHandleForWriteHidden(handle, path, errorKind, to)
                                                     : openHandleForWrite(handle, path, errorKind, to);
  };
  if (m_closer == nullptr || m_closer->idle()) return open(log);
  // Held back: when an earlier entry of the same name is still open, the second try is the one
  // that counts.
  DeferredLog firstTry(log);
  if (open(firstTry)) return true;
  if (!m_closer->finish(log)) return false;
  return open(log);
}
