#pragma once

#include <cstdint>

class ChunkWorkers;
class PayloadReader;

// Runs ahead of the reader through the bytes it already holds, over the entry records after the
// current position, and submits the chunks it finds to the workers, so that small files, one
// chunk each, are decoded while the files before them are being written. It only looks: nothing
// it sees is taken as read. The reader claims each such chunk when it gets to it (and drops them
// all should a chunk not be where the look-ahead put it); whatever looks wrong or is not held yet
// simply ends the look-ahead, and the reader meets it with its own messages.
//
// Used only by the thread that calls unzipNextEntry.
class ChunkLookAhead {
 public:
  // The reader stands at the start of an entry record (`atEntry`) or at a file's next size word.
  // With nothing submitted ahead, the look-ahead starts over from there.
  // `entries` counts the entry records before the reader's position, `chunk` is the index of the
  // file's next chunk; `sealed` says whether size words carry a last flag.
  void sync(const PayloadReader &reader, const ChunkWorkers &workers, bool atEntry, uint32_t entries, uint32_t chunk,
            bool sealed);
  // Submits chunks ahead while jobs are free and the reader's buffer holds them.
  void extend(PayloadReader &reader, ChunkWorkers &workers);

 private:
  enum class Place : uint8_t { Entry, SizeWord, Stopped };
  uint64_t m_cursor = 0;
  Place m_place = Place::Stopped;
  uint32_t m_entry = 0;
  uint32_t m_chunk = 0;
  bool m_sealed = false;
};
