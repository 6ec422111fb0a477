// The execution level the program asks Windows for, written into the stub's manifest; the rest
// of the manifest (Common Controls 6, DPI awareness, supported systems) stays byte for byte.
#pragma once

#include <string>

#include "Bytes.h"

// asInvoker, highestAvailable or requireAdministrator.
bool isExecutionLevel(const std::string &level);

// Replaces the level attribute of the one requestedExecutionLevel element in the manifest.
bool setExecutionLevel(Bytes &manifest, const std::string &level, std::string &error);
