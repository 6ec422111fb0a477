// The stub's headers and resources, rewritten as sfxpack rewrites them: any image is either
// refused with a reason or comes out as an image whose headers and new resources read back.
#include <cstdint>
#include <cstdlib>

#include "pe/PeImage.h"
#include "pe/ResourceTree.h"
#include "pe/StubResources.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  Bytes stub(data, data + size);
  StubResources wanted;
  IconImage icon;
  icon.width = icon.height = 16;
  icon.data = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  wanted.icons.push_back(icon);
  wanted.versionInfo = {4, 0, 0, 0};
  // Half the inputs also edit the manifest, which the stub must then have.
  if (size > 0 && (data[size - 1] & 1)) wanted.executionLevel = "requireAdministrator";
  Bytes out;
  size_t checksumAt = 0;
  std::string error;
  if (!rewriteStubResources(stub, wanted, out, checksumAt, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  PeImage image;
  if (!image.parse(out, error) || checksumAt + 4 > out.size()) std::abort();
  const PeSection &added = image.sections().back();
  if (image.directory(kResourceDirectory).rva != added.virtualAddress) std::abort();
  Bytes tree(out.begin() + added.rawOffset, out.begin() + added.rawOffset + added.virtualSize);
  std::vector<Resource> resources;
  if (!readResources(tree, added.virtualAddress, resources, error)) std::abort();
  return 0;
}
