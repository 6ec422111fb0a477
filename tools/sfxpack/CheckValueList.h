// The check values sfxpack writes, lists of a CRC-32 per file or per entry record in entry order,
// as the named values the stub reads them from (see src/archive/CheckValues.h for their form).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "PayloadWriter.h"

using NamedValues = std::vector<std::pair<std::string, std::string>>;

// Reads every file entry's source once and appends its CRC-32 to `crcs`.
bool computeFileCrcs(const std::vector<PackEntry> &entries, std::vector<uint32_t> &crcs, std::string &error);

// Appends the named values that carry `crcs` as the list named `list`, each part encrypted with
// `encryptor` when there is one.
bool appendCheckValues(const char *list, const std::vector<uint32_t> &crcs, const MessageEncryptor &encryptor,
                       NamedValues &values, std::string &error);
