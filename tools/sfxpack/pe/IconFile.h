// An .ico file taken apart into its images, and the icon resources made of them: one icon per
// image and the group icon that lists them. The file comes from the publisher's disk and is
// checked throughout: every image must lie inside the file and be a PNG or a bitmap.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Bytes.h"
#include "ResourceTree.h"

struct IconImage {
  uint8_t width = 0;  // 0 stands for 256
  uint8_t height = 0;
  uint8_t colorCount = 0;
  uint16_t planes = 0;
  uint16_t bitCount = 0;
  Bytes data;
};

// False with a reason (without the file's name) when the bytes are not a usable .ico.
bool parseIconFile(const Bytes &file, std::vector<IconImage> &images, std::string &error);

// The icon resources for `images`: icons numbered from 1 and group icon 1, all in `language`.
std::vector<Resource> iconResources(const std::vector<IconImage> &images, uint16_t language);
