// A stub's resource section, read as sfxpack reads it: the first four bytes are the RVA the
// section is mapped at, the rest its bytes. A tree that reads must write a section that reads
// back to the same resources.
#include <cstdint>
#include <cstdlib>

#include "pe/ResourceTree.h"

namespace {
bool same(const std::vector<Resource> &a, const std::vector<Resource> &b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (!(a[i].type == b[i].type) || !(a[i].name == b[i].name) || a[i].language != b[i].language ||
        a[i].data != b[i].data) {
      return false;
    }
  }
  return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 4) return 0;
  uint32_t rva = uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 | uint32_t(data[3]) << 24;
  Bytes section(data + 4, data + size);
  std::vector<Resource> first, second;
  std::string error;
  if (!readResources(section, rva, first, error)) return 0;
  // Two resources under one (type, name, language) are legal on disk but not one list's meaning.
  for (size_t i = 1; i < first.size(); ++i) {
    if (first[i].type == first[i - 1].type && first[i].name == first[i - 1].name &&
        first[i].language == first[i - 1].language) {
      return 0;
    }
  }
  Bytes written = writeResources(first, 0x10000);
  if (!readResources(written, 0x10000, second, error)) std::abort();
  std::vector<Resource> again;
  if (!readResources(writeResources(second, 0x10000), 0x10000, again, error) || !same(second, again)) std::abort();
  if (first.size() != second.size()) std::abort();
  return 0;
}
