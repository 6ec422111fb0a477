#include "StubResources.h"

#include <algorithm>
#include <cstring>

#include "ManifestLevel.h"
#include "PeImage.h"
#include "ResourceTree.h"

const char kSignedStubMessage[] = "the stub is signed; sign the finished program instead";

namespace {

constexpr uint16_t kUsEnglish = 0x0409;
constexpr size_t kSectionHeaderSize = 40;
constexpr uint32_t kReadableData = 0x40000040;  // initialized data, readable

bool layoutError(const char *why, std::string &error) {
  error = std::string("the stub has an unexpected section layout: ") + why;
  return false;
}

// The bytes from the resource directory to the end of the section holding it.
bool resourceBytes(const PeImage &image, const Bytes &file, Bytes &bytes, uint32_t &rva, std::string &error) {
  PeDirectory dir = image.directory(kResourceDirectory);
  if (dir.rva == 0 || dir.size == 0) return layoutError("the stub has no resources", error);
  for (const PeSection &s : image.sections()) {
    uint32_t mapped = std::min(s.virtualSize, s.rawSize);
    if (dir.rva < s.virtualAddress || dir.rva - s.virtualAddress >= mapped) continue;
    uint32_t skip = dir.rva - s.virtualAddress;
    bytes.assign(file.begin() + s.rawOffset + skip, file.begin() + s.rawOffset + mapped);
    rva = dir.rva;
    return true;
  }
  return layoutError("no section holds the resources", error);
}

// Room for the new section: nothing after the last section's data (an appended payload or
// signature would be lost) and a free entry after the section table.
bool checkRoom(const PeImage &image, const Bytes &file, std::string &error) {
  uint64_t end = 0, firstData = file.size();
  for (const PeSection &s : image.sections()) {
    if (s.rawSize == 0) continue;
    end = std::max<uint64_t>(end, uint64_t(s.rawOffset) + s.rawSize);
    firstData = std::min<uint64_t>(firstData, s.rawOffset);
  }
  if (end != file.size()) return layoutError("data follows the last section", error);
  uint32_t headersSize = 0;
  readU32(file, image.sizeOfHeadersOffset(), headersSize);
  size_t at = image.sectionTableEnd();
  if (at + kSectionHeaderSize > headersSize || at + kSectionHeaderSize > firstData) {
    return layoutError("no room for another section header", error);
  }
  for (size_t i = at; i < at + kSectionHeaderSize; ++i) {
    if (file[i] != 0) return layoutError("the headers hold data after the section table", error);
  }
  return true;
}

void replaceType(std::vector<Resource> &resources, uint16_t type, const std::vector<Resource> &with) {
  resources.erase(std::remove_if(resources.begin(), resources.end(),
                                 [type](const Resource &r) { return r.type == ResourceName::number(type); }),
                  resources.end());
  resources.insert(resources.end(), with.begin(), with.end());
}

bool applyExecutionLevel(std::vector<Resource> &resources, const std::string &level, std::string &error) {
  for (Resource &r : resources) {
    if (r.type == ResourceName::number(resource_type::kManifest) && r.name == ResourceName::number(1)) {
      return setExecutionLevel(r.data, level, error);
    }
  }
  error = "the stub has no manifest to set the execution level in";
  return false;
}

bool changeResources(std::vector<Resource> &resources, const StubResources &wanted, std::string &error) {
  if (!wanted.icons.empty()) {
    replaceType(resources, resource_type::kIcon, {});
    replaceType(resources, resource_type::kGroupIcon, iconResources(wanted.icons, kUsEnglish));
  }
  if (!wanted.versionInfo.empty()) {
    Resource version;
    version.type = ResourceName::number(resource_type::kVersion);
    version.name = ResourceName::number(1);
    version.language = kUsEnglish;
    version.data = wanted.versionInfo;
    replaceType(resources, resource_type::kVersion, {version});
  }
  return wanted.executionLevel.empty() || applyExecutionLevel(resources, wanted.executionLevel, error);
}

}  // namespace

bool rewriteStubResources(const Bytes &stub, const StubResources &wanted, Bytes &out, size_t &checksumOffset,
                          std::string &error) {
  PeImage image;
  if (!image.parse(stub, error)) return false;
  PeDirectory security = image.directory(kSecurityDirectory);
  if (security.rva != 0 || security.size != 0) {
    error = kSignedStubMessage;
    return false;
  }
  Bytes oldTree;
  uint32_t oldRva = 0;
  if (!resourceBytes(image, stub, oldTree, oldRva, error) || !checkRoom(image, stub, error)) return false;
  std::vector<Resource> resources;
  if (!readResources(oldTree, oldRva, resources, error) || !changeResources(resources, wanted, error)) return false;

  uint64_t imageEnd = 0;
  for (const PeSection &s : image.sections()) {
    imageEnd = std::max<uint64_t>(imageEnd, uint64_t(s.virtualAddress) + std::max(s.virtualSize, s.rawSize));
  }
  uint64_t rva = alignUp(imageEnd, image.sectionAlignment());
  uint64_t rawOffset = alignUp(stub.size(), image.fileAlignment());
  Bytes tree = writeResources(resources, uint32_t(rva));
  uint64_t rawSize = alignUp(tree.size(), image.fileAlignment());
  uint64_t imageSize = alignUp(rva + tree.size(), image.sectionAlignment());
  if (imageSize > 0x7FFFFFFF || rawOffset + rawSize > 0x7FFFFFFF) {
    error = "the resources would make the program too large";
    return false;
  }

  out = stub;
  out.resize(rawOffset, 0);
  out.insert(out.end(), tree.begin(), tree.end());
  out.resize(rawOffset + rawSize, 0);
  size_t header = image.sectionTableEnd();
  std::memcpy(&out[header], ".rsrc\0\0", 8);
  putU32(out, header + 8, uint32_t(tree.size()));
  putU32(out, header + 12, uint32_t(rva));
  putU32(out, header + 16, uint32_t(rawSize));
  putU32(out, header + 20, uint32_t(rawOffset));
  putU32(out, header + 36, kReadableData);
  putU16(out, image.sectionCountOffset(), uint16_t(image.sections().size() + 1));
  putU32(out, image.sizeOfImageOffset(), uint32_t(imageSize));
  uint32_t initialized = 0;
  readU32(out, image.sizeOfInitializedDataOffset(), initialized);
  putU32(out, image.sizeOfInitializedDataOffset(), uint32_t(initialized + rawSize));
  putU32(out, image.directoryOffset(kResourceDirectory), uint32_t(rva));
  putU32(out, image.directoryOffset(kResourceDirectory) + 4, uint32_t(tree.size()));
  checksumOffset = image.checksumOffset();
  putU32(out, checksumOffset, 0);
  return true;
}
