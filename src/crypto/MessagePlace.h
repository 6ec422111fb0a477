// Where a sealed message stands in its payload. A sealed message carries its place as
// associated data, so that a message moved to another place (another entry, another chunk, the
// end of a file cut off) no longer opens.
#pragma once

#include <cstdint>

enum class MessageKind : uint8_t {
  Name = 1,           // an entry's name; entry = the entry's index among all entries
  Chunk = 2,          // a file's chunk; entry = the entry's index, index = the chunk's within the file
  Block = 3,          // a solid block; index = the block's within the payload
  CheckValues = 4,    // a part of the check-value list; index = the part's number
  Header = 5,         // the authenticator of everything in front of it
  PasswordCheck = 6,  // the empty message that tells a right password from a wrong one
};

struct MessagePlace {
  MessageKind kind = MessageKind::Name;
  uint32_t entry = 0;
  uint64_t index = 0;
  // The last chunk of its file, or the last block of the payload: what follows it is not cut off.
  bool last = false;

  static constexpr uint32_t kEncodedSize = 16;

  // A solid block, bound to its index alone: a block dropped or moved no longer lines up with
  // the files' sizes and check values, which are read before any block is written.
  static MessagePlace block(uint64_t blockIndex) {
    MessagePlace place;
    place.kind = MessageKind::Block;
    place.index = blockIndex;
    return place;
  }
  // kind, last flag, two zero bytes, entry (u32), index (u64); little-endian.
  void encode(uint8_t out[kEncodedSize]) const;
};
