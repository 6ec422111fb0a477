#pragma once

// The run log: a plain text trace of one run, written only when "-log" named a file. Lines are
// formatted UTF-8 text (the command line, paths and settings; the rest is ASCII); callers put
// the line ends in themselves, because a few lines have none.
// Nothing is flushed except at the numbered checkpoints, where the file is closed and opened
// again so that the text so far is on disk whatever happens next.
bool runLogIsOpen();
// Opens (creating or truncating) the file named by the UTF-8 path and remembers the path for
// the checkpoints, even when the open fails; a previously open log is left behind.
bool runLogOpen(const char *path);
void runLogWrite(const char *format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 1, 2)))
#endif
    ;
// Raw text, whatever it contains (the command-line echo).
void runLogWriteText(const char *text);
// Closes and appends again; when that fails the log stays closed for the rest of the run.
void runLogReopen(int checkpoint);
void runLogClose();
// "Current working directory: ..." as the extraction and the setup stage report it before they
// rely on it.
void runLogCurrentDirectory();
