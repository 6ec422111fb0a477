#include "base/UndoList.h"

#include <new>

#include "base/CleanupRetry.h"
#include "base/Directories.h"
#include "base/FileDelete.h"
#include "base/FileMove.h"
#include "base/StringBuffer.h"
#include "base/XString.h"

namespace {
// Each item is its path followed by a tag letter, as the folder functions record theirs.
constexpr char kCreatedDir = 'D';
constexpr char kCreatedFile = 'F';
constexpr char kReplacedFile = 'R';

struct ReplacedFile : StringBuffer {
  StringBuffer backup;
};

bool appendTagged(ExtPtrArray &items, StringBuffer *item, const char *utf8Path, char tag) {
  if (item != nullptr && item->append(utf8Path) && item->appendChar(tag) && items.append(item)) return true;
  delete item;
  return false;
}

bool removeFile(const char *utf8Path, DWORD patienceMs, UndoReport &report) {
  XString path;
  path.setUtf8(utf8Path);
  LogNull quiet;
  if (retryWhileHeld([&] { return deleteEvenReadOnly(path, quiet); }, patienceMs)) return true;
  report.failed("failedToDelete", utf8Path, GetLastError());
  return false;
}

// A folder that still holds files is left without complaint: what is in it is not the run's, or
// its removal has been reported already.
bool removeFolder(const StringBuffer &item, DWORD patienceMs, UndoReport &report) {
  StringBuffer shown(item.getText());
  shown.replaceCharBytes('\\', '/');
  report.step("deleteDir", shown.getText());
  XString path;
  path.setUtf8(item.getText());
  LogNull quiet;
  if (retryWhileHeld([&] { return removeDirectory(path, quiet); }, patienceMs)) return true;
  DWORD error = GetLastError();
  if (error == ERROR_DIR_NOT_EMPTY || error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
    report.step("failedToDelete", shown.getText());
    return true;
  }
  report.failed("failedToDelete", shown.getText(), error);
  return false;
}

bool restoreFile(const ReplacedFile &item, DWORD patienceMs, UndoReport &report) {
  report.step("restoreFile", item.getText());
  if (!removeFile(item.getText(), patienceMs, report)) {
    report.failed("failedToRestore", item.backup.getText(), ERROR_ALREADY_EXISTS);
    return false;
  }
  XString path, backup;
  path.setUtf8(item.getText());
  backup.setUtf8(item.backup.getText());
  LogNull quiet;
  if (retryWhileHeld([&] { return moveFile(backup, path, false, quiet); }, patienceMs)) return true;
  report.failed("failedToRestore", item.backup.getText(), GetLastError());
  return false;
}
}  // namespace

UndoList::~UndoList() { m_items.deleteAll(); }

bool UndoList::addCreatedFile(const char *utf8Path) {
  return appendTagged(m_items, new (std::nothrow) StringBuffer(), utf8Path, kCreatedFile);
}

bool UndoList::addReplacedFile(const char *utf8Path, const char *utf8Backup) {
  ReplacedFile *item = new (std::nothrow) ReplacedFile();
  if (item != nullptr && !item->backup.append(utf8Backup)) {
    delete item;
    return false;
  }
  return appendTagged(m_items, item, utf8Path, kReplacedFile);
}

bool UndoList::rollBack(DWORD patienceMs, UndoReport &report) {
  bool whole = true;
  while (m_items.getCount() > 0) {
    StringBuffer *item = static_cast<StringBuffer *>(m_items.pop());
    char tag = item->lastChar();
    item->shortenBy(1);
    if (tag == kReplacedFile) {
      whole = restoreFile(*static_cast<ReplacedFile *>(item), patienceMs, report) && whole;
    } else if (tag == kCreatedDir) {
      whole = removeFolder(*item, patienceMs, report) && whole;
    } else {
      report.step("deleteFile", item->getText());
      whole = removeFile(item->getText(), patienceMs, report) && whole;
    }
    delete item;
  }
  return whole;
}

bool UndoList::keep(UndoReport &report) {
  bool whole = true;
  for (int i = 0; i < m_items.getCount(); ++i) {
    StringBuffer *item = static_cast<StringBuffer *>(m_items.get(i));
    if (item->lastChar() != kReplacedFile) continue;
    const StringBuffer &backup = static_cast<ReplacedFile *>(item)->backup;
    report.step("deleteBackup", backup.getText());
    whole = removeFile(backup.getText(), kCleanupRetryMs, report) && whole;
  }
  m_items.deleteAll();
  return whole;
}
