// Puts the publisher's resources into a copy of the stub: icons, version information and the
// manifest's execution level. The stub's resources are read, changed and written as a new last
// section that the resource directory then points at; the sections before it, code and old
// resources alike, stay byte for byte (linkers put the relocations after the resources, so the
// old section cannot simply grow). The headers are fixed up (section count and table, image
// size, initialized data, resource directory) and the checksum is left at zero: it covers the
// whole finished file, payload included, so the caller computes it when the file is complete.
#pragma once

#include <string>
#include <vector>

#include "Bytes.h"
#include "IconFile.h"

struct StubResources {
  std::vector<IconImage> icons;  // empty: the stub's icon stays
  Bytes versionInfo;             // empty: the stub's version resource stays
  std::string executionLevel;    // empty: the manifest stays
};

// The message for a signed stub; a signature would not survive the rewrite.
extern const char kSignedStubMessage[];

// False with a reason when the stub cannot be rewritten safely. `checksumOffset` tells where
// the checksum field of the result is.
bool rewriteStubResources(const Bytes &stub, const StubResources &wanted, Bytes &out, size_t &checksumOffset,
                          std::string &error);
