// The builder's side of the sealed scheme's section (its form is in src/archive/SealedHeader.h).
#pragma once

#include <cstdint>
#include <string>

#include "crypto/MessageSealer.h"

// Appends the section to `payload`, which holds every payload byte from the container marker
// on: the authenticator covers them all. False when sealing fails.
bool appendSealedSection(const MessageSealer &sealer, const KdfParams &params, uint32_t entryCount,
                         std::string &payload);
