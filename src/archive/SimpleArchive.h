#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "archive/CheckValues.h"
#include "archive/ChunkLookAhead.h"
#include "archive/OverwritePolicy.h"
#include "archive/PayloadFeatures.h"
#include "archive/PayloadReader.h"
#include "base/DataBuffer.h"
#include "base/ExtPtrArray.h"
#include "base/HashMap.h"
#include "base/LogBase.h"
#include "base/StringBuffer.h"
#include "base/ZipCRC.h"
#include "compress/ChunkInflater.h"
#include "archive/EntryCipher.h"
#include "archive/PayloadFeatures.h"
#include "platform/win32.h"

class BackgroundCloser;
class ChunkWorkers;
struct DecodeJob;
class DataSource;
class FileDataSource;
class Output;
class ProgressMonitor;
class QuorvelHandle;
class SaProgress;
class UndoList;
class SolidBlockReader;
class XString;

// Reads the payload appended to the program's file: finds the container marker, reads the
// internal header and the named values, checks the password against the verifier, and then
// hands out one entry at a time, writing it under the current directory (or, in a dry run,
// decoding it without writing anything).
class SimpleArchive {
 public:
  // The largest stored chunk is one byte less.
  static constexpr uint32_t kChunkLimit = 2048576;

  SimpleArchive();
  // Threads that decrypt and inflate the chunks of a file while this one reads and writes;
  // 1 keeps everything on the calling thread, 0 (the default) takes one per processor, at most 8.
  void setWorkerCount(int count);
  SimpleArchive(const SimpleArchive &) = delete;
  SimpleArchive &operator=(const SimpleArchive &) = delete;
  virtual ~SimpleArchive();

  // A source over the file at that path (the caller deletes it), or null with the reason in the log.
  static FileDataSource *openFileSource(const char *utf8Path, LogBase &log);
  // The source is read from but not owned: replacing or clearing it deletes nothing.
  void setSource(DataSource *source);
  DataSource *getSource() const { return m_source; }

  // Leaves the source just past the container marker.
  bool findMarker(LogBase &log, ProgressMonitor *monitor);
  // On failure the reason goes to `errorText`, not to the log.
  bool readInternalHeader(StringBuffer &errorText, LogBase &log, ProgressMonitor *monitor);
  bool readInternalArgs(LogBase &log, ProgressMonitor *monitor);

  // The value's bytes as UTF-8 text, a leading byte-order mark skipped; false and empty when the
  // payload has no value by that name.
  bool getNamedValue(const char *name, XString &out) const;
  // The raw bytes of a named value, or null when the payload has none by that name.
  const StringBuffer *namedValue(const char *name) const;
  // Names in the order the payload first gave them.
  int namedValueCount() const { return m_valueNames.getCount(); }
  const StringBuffer *namedValueName(int index) const;

  bool isEncrypted() const { return m_encrypted; }
  // What the header said the payload needs; the defaults for a payload with today's marker.
  const PayloadFeatures &features() const { return m_features; }
  int getKeyBits() const { return m_keyBits; }
  // Classic AES, or the authenticated scheme whose messages are sealed.
  PayloadScheme scheme() const { return m_cipher.scheme(); }
  // After a failed verifyPassword: the failure was not the password's. The payload's own section
  // for the key is malformed, or the password opened the check but the header, the named
  // values or the settings were changed since the payload was sealed.
  bool payloadDamaged() const { return m_payloadDamaged; }

  // The bytes are hashed as given: the caller supplies them in the code page they were typed in.
  void setPassword(const void *bytes, uint32_t length);
  void setPassword(const StringBuffer &bytes) { setPassword(bytes.getText(), bytes.getSize()); }
  // Installs the key for the stored password and checks it against the verifier. The caller keeps
  // `cache` across attempts: the first call reads the verifier from the source into it, later
  // calls reuse it. Must run before the first entry of an encrypted payload is read.
  bool verifyPassword(LogBase &log, DataBuffer &cache);

  // Reads one entry and creates what it describes under the current directory. True with
  // `endOfArchive` set at the end entry, true with it cleared when an entry was handled, false
  // on failure. A file that fails is removed again rather than left half written, and a file
  // that was there keeps its earlier copy until the new one is complete (see FileReplacement).
  // `undoList` (or null) receives every folder and file created and every file replaced.
  bool unzipNextEntry(bool dryRun, bool &endOfArchive, SaProgress *progress, StringBuffer &name,
                      bool &isDirectory, UndoList *undoList, bool &skipped, ProgressMonitor *monitor,
                      LogBase &log);

  // Whether the payload carries check values for its files. When it does, every file is
  // compared with its own as it is written; a file that does not match fails its entry.
  bool carriesCheckValues() const { return CheckValues::carriedBy(*this); }
  // The last entry was a file whose contents matched its check value.
  bool lastFileVerified() const { return m_fileCheck == FileCheck::Verified; }
  // The last entry was a file read to its end whose contents did not match its check value; the
  // source stands at the next entry.
  bool lastFileDamaged() const { return m_fileCheck == FileCheck::Damaged; }

  // For tools: where a dry run sends the decoded bytes (null: they are dropped), and the time
  // (local FILETIME, as stored) and attribute bits of the last entry read.
  void setDryRunSink(Output *sink) { m_dryRunSink = sink; }
  // Which existing files entries may replace (always, by default). A file kept is read past and
  // reported as skipped, with lastFileKept() true.
  void setOverwritePolicy(OverwritePolicy policy) { m_overwrite = policy; }
  bool lastFileKept() const { return m_lastFileKept; }
  uint64_t lastEntryLocalTime() const { return m_entryLocalTime; }
  uint32_t lastEntryAttributes() const { return m_entryAttributes; }

 private:
  struct EntryHeader {
    uint8_t type = 0;
    uint32_t storedNameLength = 0;
    StringBuffer name;
    uint64_t localTime = 0;
    FILETIME utcTime{};
    uint32_t attributes = 0;
    // Solid layout only: the file's content size.
    uint64_t size = 0;
    // Taken over the record's bytes as they are read, for its check value.
    ZipCRC recordCrc;
  };

  bool readExact(void *buffer, uint32_t count, ProgressMonitor *monitor, LogBase &log);
  bool readU16(uint32_t &value, ProgressMonitor *monitor, LogBase &log);
  bool readU32(uint32_t &value, ProgressMonitor *monitor, LogBase &log);
  // Decrypts in place when the payload is encrypted; `place` matters to sealed messages only.
  bool unprotect(const MessagePlace &place, DataBuffer &bytes, LogBase &log);
  // The sealed scheme's verifyPassword: derives the key, opens the check and the authenticator.
  bool verifySealed(LogBase &log, DataBuffer &cache);
  // Sealed payloads: a chunk fits where it stands (after a last chunk no other may come) and a
  // file's chunks end with a last one; false, logged, when not.
  bool acceptChunk(bool last, LogBase &log);
  bool acceptFileEnd(LogBase &log);

  bool readEntryStart(uint8_t &type, ProgressMonitor *monitor, LogBase &log);
  bool readEntryHeader(EntryHeader &entry, ProgressMonitor *monitor, LogBase &log);
  bool extractDirectory(const EntryHeader &entry, bool dryRun, UndoList *undoList, StringBuffer &name,
                        SaProgress *progress, LogBase &log);
  bool extractFile(const EntryHeader &entry, bool dryRun, UndoList *undoList, StringBuffer &name,
                   bool &skipped, SaProgress *progress, ProgressMonitor *monitor, LogBase &log);
  bool endOfStream() const;
  // Gives the source back where reading stopped, lets the worker threads go and waits until
  // every file written is closed; false when a close failed (logged with its file's name).
  bool finishEntries(LogBase &log);
  // Null where files are closed as soon as they are written.
  BackgroundCloser *closer();
  // Opens an entry's file for writing, as hidden when the entry is; a file this run wrote
  // before and has not closed yet is closed first.
  bool openEntryFile(QuorvelHandle &handle, const XString &path, uint32_t attributes, LogBase &log);

  // Reads the chunks of a file entry up to its closing zero size word into `output`, in order,
  // decoding them on the worker threads when there are any.
  bool copyChunks(Output &output, uint32_t pending, SaProgress *progress, ProgressMonitor *monitor,
                  LogBase &log);
  // Null when chunks are decoded on the calling thread.
  ChunkWorkers *chunkWorkers();
  // Reads one chunk body into `job` and hands it to the workers, or writes it at once when it is
  // all the file has left to decode.
  bool readChunkJob(ChunkWorkers &workers, uint32_t sizeWord, uint32_t &pending, Output &output,
                    SaProgress *progress, ProgressMonitor *monitor, LogBase &log);
  bool readChunkHere(uint32_t sizeWord, uint32_t pending, Output &output, SaProgress *progress,
                     ProgressMonitor *monitor, LogBase &log);
  // Submits what the look-ahead finds from a known place: an entry's start or a size word.
  void lookAhead(bool atEntry);
  // Writes the claimed chunks in flight in order; false at the first that fails, discarding the rest.
  bool writeInFlight(Output &output, SaProgress *progress, ProgressMonitor *monitor, LogBase &log);
  bool writeOldest(ChunkWorkers &workers, Output &output, SaProgress *progress, ProgressMonitor *monitor,
                   LogBase &log);
  bool writeJob(DecodeJob &job, Output &output, SaProgress *progress, ProgressMonitor *monitor, LogBase &log);
  // Decrypts (unless done already) and inflates or copies one chunk into the output.
  bool writePlainChunk(DataBuffer &data, uint32_t entry, uint32_t chunk, bool stored, bool last, bool decrypted,
                       Output &output, uint64_t &produced, ProgressMonitor *monitor, LogBase &log);
  // A file's contents into `output`: its chunks, or its share of the solid blocks.
  bool copyFileData(Output &output, const EntryHeader &entry, uint32_t pending, SaProgress *progress,
                    ProgressMonitor *monitor, LogBase &log);
  // copyFileData, and the comparison with the check value of the file at `fileIndex`.
  bool copyCheckedData(Output &output, uint32_t fileIndex, const EntryHeader &entry, uint32_t pending,
                       SaProgress *progress, ProgressMonitor *monitor, LogBase &log);
  // Creates what a directory or file entry describes; another type is passed over.
  bool extractEntry(const EntryHeader &entry, bool dryRun, bool &endOfArchive, SaProgress *progress,
                    StringBuffer &name, bool &isDirectory, UndoList *undoList, bool &skipped,
                    ProgressMonitor *monitor, LogBase &log);
  // The archive bytes of an entry's record, reported with its first progress call.
  uint32_t entryRecordBytes(const EntryHeader &entry) const;

  // The solid layout: the entry records are read whole at the first entry (the blocks follow
  // them), then handed out one per call.
  bool unzipNextSolidEntry(bool dryRun, bool &endOfArchive, SaProgress *progress, StringBuffer &name,
                           bool &isDirectory, UndoList *undoList, bool &skipped, ProgressMonitor *monitor,
                           LogBase &log);
  bool readSolidEntries(ProgressMonitor *monitor, LogBase &log);
  // Compares the record just read with its check value, when the payload carries record check
  // values; the failure names the entry as far as it could be read.
  bool checkEntryRecord(const EntryHeader &entry, LogBase &log);
  // After the last named value: when `checkSeen`, the header check value matches the first
  // `checkStart` header bytes, those in front of it.
  bool checkHeader(bool checkSeen, uint32_t checkStart, LogBase &log);
  // Marks the payload damaged and says why; false.
  bool headerDamaged(LogBase &log);

  EntryCipher m_cipher;
  HashMap m_namedValues;
  ExtPtrArray m_valueNames;
  DataSource *m_source = nullptr;
  bool m_encrypted = false;
  int m_keyBits = 128;
  // Set by findMarker when the payload carries the extended marker.
  bool m_extendedMarker = false;
  PayloadFeatures m_features;
  StringBuffer m_password;
  // Receives each chunk as stored, with room to decrypt it in place; empty when it could not be
  // had, which fails the first chunk rather than the construction.
  DataBuffer m_chunk;
  // Inflates on the calling thread: chunks without workers, and those a worker left undone; its
  // buffer is had on first use.
  ChunkInflater m_inflater;
  // The entry stream, from the first entry on.
  PayloadReader m_reader;
  int m_workerCount = 0;
  std::unique_ptr<ChunkWorkers> m_workers;
  std::unique_ptr<BackgroundCloser> m_closer;
  bool m_closerTried = false;
  ChunkLookAhead m_lookAhead;
  // The folder made for the last file written; forgotten when a run of entries ends.
  StringBuffer m_lastParent;
  Output *m_dryRunSink = nullptr;
  OverwritePolicy m_overwrite = OverwritePolicy::Always;
  bool m_lastFileKept = false;
  uint64_t m_entryLocalTime = 0;
  uint32_t m_entryAttributes = 0;
  // Read when the first file needs them, after the password has installed the key.
  CheckValues m_checkValues{CheckValues::kFileList};
  // In clear: read at the first record.
  CheckValues m_recordChecks{CheckValues::kRecordList};
  uint32_t m_filesRead = 0;
  // Entry records read so far; the index of the one being read is one less.
  uint32_t m_entriesRead = 0;
  // Sealed payloads: the entry count the authenticated section gives, the next chunk's index
  // within its file and whether the file's last chunk has been written.
  uint32_t m_sealedEntryCount = 0;
  uint32_t m_chunkIndex = 0;
  bool m_lastChunkWritten = false;
  // The payload's bytes from the marker on, kept while the header is read: the header check value
  // covers them up to the named values' end, the sealed scheme authenticates them up to its
  // section.
  DataBuffer m_headerBytes;
  bool m_keepHeaderBytes = true;
  bool m_payloadDamaged = false;
  // The solid layout's entries, read at the first entry, and the next to hand out; its blocks.
  std::vector<std::unique_ptr<EntryHeader>> m_solidEntries;
  size_t m_nextSolidEntry = 0;
  bool m_solidEntriesRead = false;
  std::unique_ptr<SolidBlockReader> m_blocks;
  enum class FileCheck { None, Verified, Damaged } m_fileCheck = FileCheck::None;
};
