// The fixed values of the solid layout. Its entry records are those of the chunked layout,
// except that a file entry carries its content size (u64) after the attributes instead of
// chunks. After the end entry comes the block section: the u32 size of the largest block, then
// the blocks, each a u32 stored size (0 ends the section), a u32 decoded size and the stored
// bytes (one compressed unit, or its encryption as one message). The files' contents, in entry
// order, are the blocks' decoded bytes one after the other.
#pragma once

#include <cstdint>

namespace solid_format {
constexpr uint32_t kSizeBytes = 8;
// Blocks this small only serve tests; they compress poorly.
constexpr uint32_t kMinBlockSize = 4096;
constexpr uint32_t kDefaultBlockSize = 32u << 20;
// Size words ahead of each block's bytes: stored size, decoded size.
constexpr uint32_t kBlockHeaderBytes = 8;
}  // namespace solid_format
