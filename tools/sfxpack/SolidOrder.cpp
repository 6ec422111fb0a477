#include "SolidOrder.h"

#include <algorithm>
#include <string>

namespace {
std::string foldedExtension(const std::string &name) {
  const size_t slash = name.find_last_of("\\/");
  const size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string();
  std::string ext = name.substr(dot + 1);
  for (char &c : ext) {
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  }
  return ext;
}
}  // namespace

void orderForSolidBlocks(std::vector<PackEntry> &entries) {
  std::stable_sort(entries.begin(), entries.end(), [](const PackEntry &a, const PackEntry &b) {
    const bool aFile = a.type == payload::kFileEntry, bFile = b.type == payload::kFileEntry;
    if (aFile != bFile) return bFile;
    if (!aFile) return false;
    const std::string ea = foldedExtension(a.name), eb = foldedExtension(b.name);
    if (ea != eb) return ea < eb;
    return a.name < b.name;
  });
}
