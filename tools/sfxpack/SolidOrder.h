// The entry order of a solid payload: files of a kind side by side compress better in one
// block, as solid archivers find. Directories come first, in their collected order, so that
// each comes before whatever it holds; then the files by extension (ASCII letters folded), then
// by name. The order depends on the names alone.
#pragma once

#include <vector>

#include "PayloadWriter.h"

void orderForSolidBlocks(std::vector<PackEntry> &entries);
