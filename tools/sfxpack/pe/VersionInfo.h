// The version resource Explorer shows in a program's Details: a fixed part with the numeric
// file and product versions, and the strings of one table (US English, UTF-16). Built from
// KEY=VALUE pairs as the publisher gives them.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "Bytes.h"

using VersionStrings = std::vector<std::pair<std::string, std::string>>;  // key, UTF-8 value

// The keys a version resource may carry here, in the order they are written.
const std::vector<std::string> &knownVersionKeys();

// "3.2.1.7", or fewer parts with the rest 0: high and low 32 bits as the fixed part stores them.
bool parseVersionNumber(const std::string &text, uint32_t &high, uint32_t &low);

// Checks every key and the two versions; false with a message naming what is wrong. A key given
// twice keeps its last value.
bool makeVersionResource(const VersionStrings &strings, Bytes &out, std::string &error);
