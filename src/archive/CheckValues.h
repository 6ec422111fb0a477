// The check values a payload may carry: the CRC-32 of every file's contents, in the order of the
// file entries. They travel in named values, so that a reader that does not know them passes
// them over: "fileCrc32", then "fileCrc32_2", "fileCrc32_3", ... while the list goes on, each
// the hexadecimal text of 4 bytes per file (the CRC, most significant byte first) or, in an
// encrypted payload, of the encryption of those bytes as one message (sealed at the CheckValues
// place of its part number). A named value holds at
// most 65,535 bytes, hence at most kFilesPerValue files each.
#pragma once

#include <cstdint>

#include "base/DataBuffer.h"

class EntryCipher;
class LogBase;
class SimpleArchive;
class StringBuffer;

class CheckValues {
 public:
  static constexpr const char *kFirstName = "fileCrc32";
  static constexpr uint32_t kFilesPerValue = 8000;

  // The name of the value holding part `part` (1 for the first) of the list.
  static void valueName(uint32_t part, StringBuffer &name);
  // Whether the payload carries a list; known from the named values alone, before any key.
  static bool carriedBy(const SimpleArchive &archive);

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

 private:
  enum class State { Unread, Absent, Present, Damaged };

  bool appendPart(const StringBuffer &text, uint32_t part, EntryCipher *cipher, LogBase &log);

  State m_state = State::Unread;
  DataBuffer m_crcs;
};
