#pragma once

#include "base/ExtPtrArray.h"
#include "platform/win32.h"

// What a run changed in the person's folders, in the order it changed it: the folders and files
// it created and the files it replaced, each with the backup that holds the earlier copy. A
// cancelled, failed or logged-off run, and a cleanup, take all of it back (rollBack); a run that
// keeps its files only lets the backups go (keep).
//
// Sharing: owned by the run thread, which fills it during the extraction and works it after.

// Hears what rollBack and keep do, for the run log.
class UndoReport {
 public:
  virtual ~UndoReport() = default;
  // One step as it is taken ("deleteFile", "deleteDir", "restoreFile", "deleteBackup"), and a
  // folder left because it still holds files ("failedToDelete"). Folders are named with forward
  // slashes.
  virtual void step(const char *action, const char *utf8Path) = 0;
  // Something that could not be removed ("failedToDelete") or put back ("failedToRestore": the
  // earlier copy stays under the backup name given), with Windows' reason.
  virtual void failed(const char *action, const char *utf8Path, DWORD windowsError) = 0;
};

class UndoList {
 public:
  UndoList() = default;
  ~UndoList();
  UndoList(const UndoList &) = delete;
  UndoList &operator=(const UndoList &) = delete;

  // Where ensureDirExists and ensureParentDir record the folders they create.
  ExtPtrArray *createdDirs() { return &m_items; }
  // False only when memory ran out; nothing is recorded then.
  bool addCreatedFile(const char *utf8Path);
  // `utf8Path` holds new content now; its earlier copy lies under `utf8Backup`, times and
  // attributes intact.
  bool addReplacedFile(const char *utf8Path, const char *utf8Backup);
  int count() const { return m_items.getCount(); }

  // Last step first: created files and folders are removed (read-only files too) and replaced
  // files get their earlier copy back. A hold that passes is waited for up to `patienceMs` per
  // item. Empties the list; false when something was reported as failed.
  bool rollBack(DWORD patienceMs, UndoReport &report);
  // The run's files stay: the backups are deleted, and the list forgets everything; false when
  // a backup could not be deleted.
  bool keep(UndoReport &report);
  // Forgets everything without touching a file.
  void forget() { m_items.deleteAll(); }

 private:
  ExtPtrArray m_items;
};
