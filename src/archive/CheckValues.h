// The check values a payload may carry, each list a CRC-32 per item in payload order: the files'
// contents ("fileCrc32", one per file entry) and the entries' records ("recordCrc32", one per
// entry but the end entry, over the record's bytes from the type to the attributes as stored,
// the file size of the solid layout included). They travel in named values, so that a reader
// that does not know them passes them over: "fileCrc32", then "fileCrc32_2", "fileCrc32_3", ...
// while the list goes on, each the hexadecimal text of 4 bytes per item (the CRC, most
// significant byte first) or, for the file list of an encrypted payload, of the encryption of
// those bytes as one message (sealed at the CheckValues place of its part number). The record
// list is never encrypted: it must be checked before the names are decrypted, and the CRC of an
// encrypted name tells nothing of the name. A named value holds at most 65,535 bytes, hence at
// most kFilesPerValue items each.
#pragma once

#include <cstdint>

#include "base/DataBuffer.h"

class EntryCipher;
class LogBase;
class SimpleArchive;
class StringBuffer;

class CheckValues {
 public:
  // The last named value, when a payload carries it: the CRC-32 (8 hexadecimal digits, most
  // significant first) of every payload byte from the container marker up to this value's own
  // name length, so of the header and of every named value before it, the settings among them.
  static constexpr const char *kHeaderValue = "headerCrc32";
  static constexpr const char *kFileList = "fileCrc32";
  static constexpr const char *kRecordList = "recordCrc32";
  static constexpr uint32_t kFilesPerValue = 8000;

  explicit CheckValues(const char *list) : m_list(list) {}

  // The name of the value holding part `part` (1 for the first) of the list named `list`.
  static void valueName(const char *list, uint32_t part, StringBuffer &name);
  // Whether the payload carries the file list; known from the named values alone, before any key.
  static bool carriedBy(const SimpleArchive &archive);
  // One CRC as the lists write it: 8 hexadecimal digits, most significant first.
  static bool parseCrc(const StringBuffer &text, uint32_t &crc);

  // Reads the list once, decrypting it with `cipher` when the payload is encrypted (the key must
  // be installed by then). True when the payload carries no list or the list is whole; false, with
  // the reason in the log, when it is damaged. Later calls give the first call's answer.
  bool load(const SimpleArchive &archive, EntryCipher *cipher, LogBase &log);
  bool present() const { return m_state == State::Present; }
  uint32_t count() const { return m_crcs.getSize() / 4; }

  // True when the file at `fileIndex` (0 for the first file entry) has the check value
  // `computed`. Otherwise logs "Checksum mismatch: " + name and the named value "crc32" with the
  // expected and the computed value, and returns false. A file past the end of the list fails.
  bool verify(uint32_t fileIndex, uint32_t computed, const StringBuffer &name, LogBase &log) const;
  // Whether the item at `index` has the check value `computed`; an item past the end does not.
  bool matches(uint32_t index, uint32_t computed) const { return index < count() && expected(index) == computed; }

 private:
  enum class State { Unread, Absent, Present, Damaged };

  bool appendPart(const StringBuffer &text, uint32_t part, EntryCipher *cipher, LogBase &log);
  uint32_t expected(uint32_t index) const;

  const char *m_list;
  State m_state = State::Unread;
  DataBuffer m_crcs;
};
