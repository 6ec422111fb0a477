#pragma once

#include <string>
#include <vector>

#include "PayloadWriter.h"

// Turns the command line's sources into payload entries: a folder contributes its contents
// (not itself) at the top level, a file its own name. Every directory comes before what it
// holds, and siblings are in byte order of their names, so the same tree packs the same way.
bool collectEntries(const std::vector<std::string> &sources, std::vector<PackEntry> &entries, std::string &error);
