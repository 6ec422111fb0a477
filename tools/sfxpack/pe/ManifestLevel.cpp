#include "ManifestLevel.h"

bool isExecutionLevel(const std::string &level) {
  return level == "asInvoker" || level == "highestAvailable" || level == "requireAdministrator";
}

bool setExecutionLevel(Bytes &manifest, const std::string &level, std::string &error) {
  std::string text(manifest.begin(), manifest.end());
  const std::string element = "<requestedExecutionLevel";
  size_t start = text.find(element);
  size_t end = start == std::string::npos ? start : text.find('>', start);
  if (end == std::string::npos || text.find(element, end) != std::string::npos) {
    error = "the stub's manifest does not have exactly one requestedExecutionLevel";
    return false;
  }
  size_t attribute = text.find(" level=", start);
  if (attribute == std::string::npos || attribute > end) {
    error = "the stub's manifest names no execution level";
    return false;
  }
  size_t open = attribute + 7;
  char quote = text[open];
  size_t close = (quote == '"' || quote == '\'') ? text.find(quote, open + 1) : std::string::npos;
  if (close == std::string::npos || close > end) {
    error = "the stub's manifest names no execution level";
    return false;
  }
  text.replace(open + 1, close - open - 1, level);
  manifest.assign(text.begin(), text.end());
  return true;
}
