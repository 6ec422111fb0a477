#pragma once

#include <string>
#include <vector>

#include "PayloadWriter.h"

// Turns the command line's sources into payload entries: a folder contributes its contents
// (not itself) at the top level, a file its own name. Every directory comes before what it
// holds, and siblings are in byte order of their names, so the same tree packs the same way.
bool collectEntries(const std::vector<std::string> &sources, std::vector<PackEntry> &entries, std::string &error);

// Entries stamped later than `latestUtcSeconds` (seconds since 1970) take that moment instead,
// as the wall clock of this machine's time zone, so that a rebuild of the same sources gives
// the same bytes whenever their files were last touched.
void clampEntryTimes(std::vector<PackEntry> &entries, int64_t latestUtcSeconds);
