#include "base/FileReplacement.h"

#include <string>

#include "base/CleanupRetry.h"
#include "base/FileAttributes.h"
#include "base/FileDelete.h"
#include "base/FileMove.h"
#include "base/UndoList.h"
#include "base/Win32Path.h"

namespace {
constexpr int kNameTries = 100;

// `path` + suffix, with a number added until no file has the name.
bool freshName(const XString &path, const char *suffix, XString &name, LogBase &log) {
  LogNull quiet;
  for (int i = 0; i < kNameTries; ++i) {
    name.copyFrom(path);
    name.appendUtf8(suffix);
    if (i > 0) name.appendUtf8(std::to_string(i).c_str());
    if (!fileExists(name, quiet)) return true;
  }
  log.logError("No free name beside the file.");
  log.logData("filename", path);
  return false;
}
}  // namespace

bool FileReplacement::begin(const XString &path, UndoList *undo, LogBase &log) {
  // The name the open will use, so that what is asked about is what is written.
  Win32Path sanitised(path);
  sanitised.sanitize(true);
  m_path.copyFrom(sanitised.text());
  uint32_t attributes = 0, error = 0;
  LogNull quiet;
  bool present = GetAttributes(m_path, attributes, error, quiet) || error == ERROR_ACCESS_DENIED ||
                 error == ERROR_SHARING_VIOLATION;
  // A folder of that name fails the open, as it should.
  m_replacing = present && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  if (m_replacing && !freshName(m_path, ".sfxnew", m_temporary, log)) return false;
  if (undo != nullptr && !undo->addCreatedFile(writePath().getUtf8())) {
    log.logError("Out of memory.");
    return false;
  }
  return true;
}

bool FileReplacement::finish(UndoList *undo, LogBase &log) {
  if (!m_replacing) return true;
  XString backup;
  if (!freshName(m_path, ".sfxold", backup, log)) return false;
  LogNull quiet;
  if (!retryWhileHeld([&] { return moveFile(m_path, backup, false, quiet); }, kMovePatienceMs)) {
    DWORD error = GetLastError();
    log.logError("Failed to move the earlier file aside.");
    log.logWindowsError(error);
    log.logData("filename", m_path);
    return false;
  }
  if (!moveFile(m_temporary, m_path, true, log)) {
    log.logError("Failed to give the new file its name.");
    moveFile(backup, m_path, false, log);
    return false;
  }
  if (undo == nullptr) return deleteEvenReadOnly(backup, log);
  if (undo->addReplacedFile(m_path.getUtf8(), backup.getUtf8())) return true;
  // Without a record the earlier copy could never come back: it takes its place again.
  log.logError("Out of memory.");
  deleteEvenReadOnly(m_path, log);
  moveFile(backup, m_path, false, log);
  return false;
}

bool FileReplacement::abandon(LogBase &log) {
  LogNull quiet;
  if (retryWhileHeld([&] { return deleteEvenReadOnly(writePath(), quiet); }, kMovePatienceMs)) return true;
  log.logError("Failed to remove the incomplete file.");
  log.logWindowsError(GetLastError());
  log.logData("filename", writePath());
  return false;
}
