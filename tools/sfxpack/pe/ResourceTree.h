// The resources of an image as a flat list (type, name, language, data), read from a resource
// section and written back as a new one. Reading checks every offset against the section and
// accepts only the usual three levels, so a hostile tree can neither loop nor reach outside.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Bytes.h"

struct ResourceName {
  bool isId = true;
  uint16_t id = 0;
  std::u16string text;  // when !isId

  static ResourceName number(uint16_t n) { return ResourceName{true, n, {}}; }
  bool operator==(const ResourceName &o) const { return isId == o.isId && id == o.id && text == o.text; }
  // Named entries come before numbered ones, each group in ascending order.
  bool operator<(const ResourceName &o) const;
};

struct Resource {
  ResourceName type;
  ResourceName name;
  uint16_t language = 0;
  uint32_t codePage = 0;
  Bytes data;
};

namespace resource_type {
constexpr uint16_t kIcon = 3;
constexpr uint16_t kGroupIcon = 14;
constexpr uint16_t kVersion = 16;
constexpr uint16_t kManifest = 24;
}  // namespace resource_type

// `section` holds the section's bytes, which the image maps at `sectionRva`; every data entry
// must point inside it.
bool readResources(const Bytes &section, uint32_t sectionRva, std::vector<Resource> &out, std::string &error);

// A section image for the resources, to be mapped at `sectionRva`. The order of `resources`
// does not matter; two with the same type, name and language are a caller's mistake.
Bytes writeResources(const std::vector<Resource> &resources, uint32_t sectionRva);
