#include "IconFile.h"

#include <cstring>

namespace {
constexpr size_t kHeaderSize = 6;
constexpr size_t kEntrySize = 16;
constexpr uint16_t kMaxImages = 256;
const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

bool isPng(const Bytes &file, size_t at, size_t size) {
  return size >= sizeof kPngSignature && std::memcmp(&file[at], kPngSignature, sizeof kPngSignature) == 0;
}

// The image of a bitmap icon starts with its BITMAPINFOHEADER (or a later, longer version).
bool isBitmap(const Bytes &file, size_t at, size_t size) {
  uint32_t headerSize = 0;
  uint16_t planes = 0;
  if (!readU32(file, at, headerSize) || !readU16(file, at + 12, planes)) return false;
  return headerSize >= 40 && headerSize <= 124 && headerSize <= size && planes == 1;
}
}  // namespace

bool parseIconFile(const Bytes &file, std::vector<IconImage> &images, std::string &error) {
  images.clear();
  uint16_t reserved = 1, type = 0, count = 0;
  if (!readU16(file, 0, reserved) || !readU16(file, 2, type) || !readU16(file, 4, count) || reserved != 0 ||
      type != 1) {
    error = "not an icon file";
    return false;
  }
  if (count == 0 || count > kMaxImages) {
    error = "an icon file holds 1 to 256 images, this one " + std::to_string(count);
    return false;
  }
  if (!inRange(kHeaderSize, kEntrySize * count, file.size())) {
    error = "the image directory is truncated";
    return false;
  }
  for (uint16_t i = 0; i < count; ++i) {
    size_t entry = kHeaderSize + kEntrySize * i;
    IconImage image;
    image.width = file[entry];
    image.height = file[entry + 1];
    image.colorCount = file[entry + 2];
    uint32_t size = 0, offset = 0;
    readU16(file, entry + 4, image.planes);
    readU16(file, entry + 6, image.bitCount);
    readU32(file, entry + 8, size);
    readU32(file, entry + 12, offset);
    std::string which = "image " + std::to_string(i + 1);
    if (size == 0 || offset < kHeaderSize + kEntrySize * count || !inRange(offset, size, file.size())) {
      error = which + " lies outside the file";
      return false;
    }
    if (!isPng(file, offset, size) && !isBitmap(file, offset, size)) {
      error = which + " is neither a PNG nor a bitmap";
      return false;
    }
    image.data.assign(file.begin() + offset, file.begin() + offset + size);
    images.push_back(std::move(image));
  }
  return true;
}

std::vector<Resource> iconResources(const std::vector<IconImage> &images, uint16_t language) {
  std::vector<Resource> out;
  Resource group;
  group.type = ResourceName::number(resource_type::kGroupIcon);
  group.name = ResourceName::number(1);
  group.language = language;
  appendU16(group.data, 0);
  appendU16(group.data, 1);
  appendU16(group.data, uint16_t(images.size()));
  for (size_t i = 0; i < images.size(); ++i) {
    const IconImage &image = images[i];
    uint16_t id = uint16_t(i + 1);
    group.data.push_back(image.width);
    group.data.push_back(image.height);
    group.data.push_back(image.colorCount);
    group.data.push_back(0);
    appendU16(group.data, image.planes);
    appendU16(group.data, image.bitCount);
    appendU32(group.data, uint32_t(image.data.size()));
    appendU16(group.data, id);
    Resource icon;
    icon.type = ResourceName::number(resource_type::kIcon);
    icon.name = ResourceName::number(id);
    icon.language = language;
    icon.data = image.data;
    out.push_back(std::move(icon));
  }
  out.push_back(std::move(group));
  return out;
}
