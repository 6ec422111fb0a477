#include "ChunkCompressor.h"

#include <libdeflate.h>

ChunkCompressor::ChunkCompressor(int level) : m_level(level) {
  if (level > 0) m_compressor = libdeflate_alloc_compressor(level);
}

ChunkCompressor::~ChunkCompressor() {
  if (m_compressor) libdeflate_free_compressor(m_compressor);
}

bool ChunkCompressor::deflate(const std::string &raw, std::string &deflated) {
  deflated.clear();
  if (!m_compressor || raw.empty()) return false;
  // The whole worst case as room: libdeflate gives up when it comes near the end of its room, so
  // a tighter buffer would store some chunks that deflate a few bytes shorter, and the choice
  // would depend on more than the data and the level.
  deflated.resize(libdeflate_deflate_compress_bound(m_compressor, raw.size()));
  size_t size = libdeflate_deflate_compress(m_compressor, raw.data(), raw.size(), &deflated[0], deflated.size());
  deflated.resize(size);
  return size > 0 && size < raw.size();
}
