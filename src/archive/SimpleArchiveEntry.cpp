// The entry stream: one record per call, created under the current directory or, in a dry run,
// read, decrypted and inflated without touching the disk.
#include <cstring>

#include "archive/ContentCrc.h"
#include "archive/DeferredLog.h"
#include "archive/EntryFormat.h"
#include "archive/EntryName.h"
#include "archive/SimpleArchive.h"
#include "archive/SolidBlockReader.h"
#include "base/BackgroundCloser.h"
#include "base/Directories.h"
#include "base/FileAttributes.h"
#include "base/FileOpen.h"
#include "base/FileReplacement.h"
#include "base/QuorvelHandle.h"
#include "base/TimeValue.h"
#include "base/UndoList.h"
#include "base/XString.h"
#include "compress/DataSource.h"
#include "compress/Output.h"
#include "compress/OutputFile.h"
#include "compress/SaProgress.h"

namespace {
using namespace entry_format;

ExtPtrArray *createdDirsOf(UndoList *undoList) { return undoList != nullptr ? undoList->createdDirs() : nullptr; }

void dropByteOrderMark(StringBuffer &name) {
  if (name.getSize() >= 3 && std::memcmp(name.getText(), "\xEF\xBB\xBF", 3) == 0) name.removeRange(0, 3);
}

}  // namespace

bool SimpleArchive::unprotect(const MessagePlace &place, DataBuffer &bytes, LogBase &log) {
  return !m_encrypted || m_cipher.open(place, bytes, log);
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
  const uint8_t length[2] = {uint8_t(entry.storedNameLength), uint8_t(entry.storedNameLength >> 8)};
  entry.recordCrc.update(&entry.type, 1);
  entry.recordCrc.update(length, 2);
  entry.recordCrc.update(bytes.getData(), entry.storedNameLength);
  MessagePlace place;
  place.kind = MessageKind::Name;
  place.entry = m_entriesRead++;
  if (!unprotect(place, bytes, log)) {
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
  entry.recordCrc.update(time, sizeof time);
  m_entryLocalTime = 0;
  for (int i = 7; i >= 0; --i) m_entryLocalTime = m_entryLocalTime << 8 | time[i];
  entry.localTime = m_entryLocalTime;
  FILETIME local{DWORD(m_entryLocalTime), DWORD(m_entryLocalTime >> 32)};
  LocalFileTimeToFileTime(&local, &entry.utcTime);
  if (!readU32(entry.attributes, monitor, log)) {
    log.logError("Failed to get file attributes");
    return false;
  }
  m_entryAttributes = entry.attributes;
  const uint8_t attributes[4] = {uint8_t(entry.attributes), uint8_t(entry.attributes >> 8),
                                 uint8_t(entry.attributes >> 16), uint8_t(entry.attributes >> 24)};
  entry.recordCrc.update(attributes, sizeof attributes);
  return true;
}

bool SimpleArchive::checkEntryRecord(const EntryHeader &entry, LogBase &log) {
  // Read in clear, so at the first record whatever the password.
  if (!m_recordChecks.load(*this, nullptr, log)) return false;
  if (!m_recordChecks.present() || m_recordChecks.matches(m_entriesRead - 1, entry.recordCrc.value())) return true;
  log.logError("The package is damaged: an entry's name, time or attributes do not match their check value.");
  log.logData("filename", entry.name);
  return false;
}

bool SimpleArchive::unzipNextEntry(bool dryRun, bool &endOfArchive, SaProgress *progress, StringBuffer &name,
                                   bool &isDirectory, UndoList *undoList, bool &skipped,
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
  if (m_features.layout != PayloadLayout::DeflateChunks) {
    return unzipNextSolidEntry(dryRun, endOfArchive, progress, name, isDirectory, undoList, skipped, monitor, log);
  }
  EntryHeader entry;
  if (!readEntryStart(entry.type, monitor, log)) {
    finishEntries(log);
    return false;
  }
  if (entry.type == kEndEntry) {
    if (m_encrypted && m_cipher.sealed() && m_entriesRead != m_sealedEntryCount) {
      // Entries cut off behind a forged end entry.
      log.logError("The archive ends before its last entry.");
      finishEntries(log);
      return false;
    }
    log.logInfo("Found end of archive.");
    return finishEntries(log);
  }
  if (!readEntryHeader(entry, monitor, log) || !checkEntryRecord(entry, log)) {
    finishEntries(log);
    return false;
  }
  return extractEntry(entry, dryRun, endOfArchive, progress, name, isDirectory, undoList, skipped, monitor, log);
}

bool SimpleArchive::extractEntry(const EntryHeader &entry, bool dryRun, bool &endOfArchive, SaProgress *progress,
                                 StringBuffer &name, bool &isDirectory, UndoList *undoList, bool &skipped,
                                 ProgressMonitor *monitor, LogBase &log) {
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

bool SimpleArchive::copyFileData(Output &output, const EntryHeader &entry, uint32_t pending, SaProgress *progress,
                                 ProgressMonitor *monitor, LogBase &log) {
  if (m_blocks != nullptr) return m_blocks->copy(entry.size, output, pending, progress, monitor, log);
  return copyChunks(output, pending, progress, monitor, log);
}

bool SimpleArchive::copyCheckedData(Output &output, uint32_t fileIndex, const EntryHeader &entry,
                                    uint32_t pending, SaProgress *progress, ProgressMonitor *monitor,
                                    LogBase &log) {
  const StringBuffer &name = entry.name;
  if (!m_checkValues.load(*this, m_encrypted ? &m_cipher : nullptr, log)) return false;
  CrcOutput checked(output);
  Output &target = m_checkValues.present() ? checked : output;
  if (!copyFileData(target, entry, pending, progress, monitor, log)) {
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

bool SimpleArchive::extractDirectory(const EntryHeader &entry, bool dryRun, UndoList *undoList,
                                     StringBuffer &name, SaProgress *progress, LogBase &log) {
  if (!dryRun && !ensureDirExists(entry.name.getText(), createdDirsOf(undoList), log)) {
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
  uint32_t pending = entryRecordBytes(entry);
  if (progress != nullptr) progress->progress(pending, pending);
  return true;
}

bool SimpleArchive::extractFile(const EntryHeader &entry, bool dryRun, UndoList *undoList,
                                StringBuffer &name, bool &skipped, SaProgress *progress,
                                ProgressMonitor *monitor, LogBase &log) {
  const uint32_t pending = entryRecordBytes(entry);
  const uint32_t fileIndex = m_filesRead++;
  Output discard;
  if (dryRun) {
    name.copyFrom(entry.name);
    return copyCheckedData(m_dryRunSink != nullptr ? *m_dryRunSink : discard, fileIndex, entry, pending, progress,
                           monitor, log);
  }
  StringBuffer directory;
  LogNull quiet;
  // Files come folder by folder: the folder the last file went to is not asked for again.
  const bool hasParent = parentDirOf(entry.name.getText(), directory);
  const bool known = hasParent && directory.equalsBuffer(m_lastParent);
  if (!known && !ensureParentDir(entry.name.getText(), directory, createdDirsOf(undoList), quiet)) {
    // Once more, only for the reasons.
    ensureParentDir(entry.name.getText(), directory, nullptr, log);
    log.logError("Failed to ensure file can be created.");
    log.logData("filename", entry.name);
    return false;
  }
  if (hasParent && !known) m_lastParent.copyFrom(directory);
  name.copyFrom(entry.name);

  XString entryPath;
  entryPath.setUtf8(entry.name.getText());
  if (!mayReplaceExisting(m_overwrite, entryPath, entry.utcTime)) {
    skipped = m_lastFileKept = true;
    return copyFileData(discard, entry, pending, progress, monitor, log);
  }
  FileReplacement target;
  if (!target.begin(entryPath, undoList, log)) return false;
  const XString &path = target.writePath();
  QuorvelHandle handle;
  if (!openEntryFile(handle, path, entry.attributes, log)) {
    // Explorer keeps its thumbnail caches open; such a file is passed over, not fatal.
    if (!entry.name.endsWith("Thumbs.db")) {
      log.logError("Failed to open file.");
      return false;
    }
    skipped = true;
    return copyFileData(discard, entry, pending, progress, monitor, log);
  }
  OutputFile file(path, handle);
  if (!copyCheckedData(file, fileIndex, entry, pending, progress, monitor, log)) {
    // Half a file, or a damaged one, would pass for a whole one.
    file.close();
    target.abandon(log);
    return false;
  }
  TimeValue time;
  time.fromFileTime(entry.utcTime);
  file.setFileTime(time, quiet);
  // A file whose attributes are set by name afterwards is closed first, and so is one that
  // still has to take the name of the file it replaces.
  BackgroundCloser *background =
      entry.attributes == FILE_ATTRIBUTE_ARCHIVE && !target.replacing() ? closer() : nullptr;
  if (background != nullptr) {
    file.handOver(*background, entry.name.getText());
  } else {
    file.close();
  }
  if (entry.attributes != FILE_ATTRIBUTE_ARCHIVE) setAttributes(path, entry.attributes);
  if (target.finish(undoList, log)) return true;
  target.abandon(log);
  // The thumbnail cache in use stays as it was.
  skipped = entry.name.endsWith("Thumbs.db");
  return skipped;
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
