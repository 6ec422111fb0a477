#pragma once

#include <string>
#include <vector>

// The settings document the stub reads from the payload's "xmlConfig": the stub's own defaults,
// then the document in `configPath` (when given) in their place, then each "Key=Value" of
// `assignments` in order. An encrypted payload has Encryption set, so that the stub asks for the
// password; a plain one must not ask for it. False with a reason on any bad input.
bool makeSettingsXml(const std::string &configPath, const std::vector<std::string> &assignments,
                     bool encrypted, int keyBits, std::string &xml, std::string &error);
