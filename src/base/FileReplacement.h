#pragma once

#include "base/LogBase.h"
#include "base/XString.h"
#include "platform/win32.h"

class UndoList;

// How an extracted file reaches its name without ever costing the person the file that was
// there. A new name is written directly. Over an existing file the new content goes to a fresh
// temporary name beside it, and only once it is complete and checked does it take the name: the
// earlier copy moves aside under a backup name (contents, times and attributes intact), which
// the undo list keeps until the run ends. A failure or cancel before that leaves the earlier copy
// as it was.
//
// One object per entry file, on the thread that writes it:
//   begin() -> open and write writePath() -> closed -> finish(), or abandon() on any failure.
class FileReplacement {
 public:
  // How long a move waits for a hold that passes (a scanner, this run's own closing thread).
  static constexpr DWORD kMovePatienceMs = 2000;

  // Decides where the content for `path` goes and records in `undo` (if any) what the run is
  // about to create. False when memory ran out or no free temporary name was found.
  bool begin(const XString &path, UndoList *undo, LogBase &log);
  // True when an earlier file is being replaced: the written file must be closed (and given its
  // attributes) before finish().
  bool replacing() const { return m_replacing; }
  // The name the content is written to (the sanitised path itself for a new file).
  const XString &writePath() const { return m_replacing ? m_temporary : m_path; }
  // Moves the earlier file aside and the written one into its place, and records both in `undo`;
  // without a list the backup is deleted at once. A file held by another process keeps its
  // earlier copy and fails with a sharing violation in the log. Nothing to do for a new file.
  bool finish(UndoList *undo, LogBase &log);
  // The content could not be written: the written file is removed again (true when it is gone;
  // otherwise the undo list still knows it). The earlier copy is untouched.
  bool abandon(LogBase &log);

 private:
  XString m_path;
  XString m_temporary;
  bool m_replacing = false;
};
