// The publisher's .ico is read by sfxpack: any bytes either parse into images that lie inside
// the file, or are refused with a reason.
#include <cstdint>
#include <cstdlib>

#include "pe/IconFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  Bytes file(data, data + size);
  std::vector<IconImage> images;
  std::string error;
  if (!parseIconFile(file, images, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  // Images may share bytes, but each lies inside the file.
  if (images.empty()) std::abort();
  for (const IconImage &image : images) {
    if (image.data.empty() || image.data.size() > size) std::abort();
  }
  if (iconResources(images, 0x0409).size() != images.size() + 1) std::abort();
  return 0;
}
