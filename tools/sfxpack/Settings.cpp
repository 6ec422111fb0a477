#include "Settings.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/SfxConfig.h"
#include "base/StringBuffer.h"
#include "base/XString.h"

bool makeSettingsXml(const std::string &configPath, const std::vector<std::string> &assignments,
                     bool encrypted, int keyBits, std::string &xml, std::string &error) {
  SfxConfig config;
  if (!configPath.empty()) {
    std::ifstream in(std::filesystem::u8path(configPath), std::ios::binary);
    if (!in) {
      error = "cannot read " + configPath;
      return false;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    XString document;
    document.setUtf8(text.c_str(), uint32_t(text.size()));
    if (!config.LoadXml(document)) {
      error = configPath + " is not an XML document";
      return false;
    }
  }
  for (const std::string &assignment : assignments) {
    size_t equals = assignment.find('=');
    if (equals == std::string::npos || equals == 0) {
      error = "--set takes Key=Value, not " + assignment;
      return false;
    }
    if (!config.SetValue(assignment.substr(0, equals).c_str(), assignment.substr(equals + 1).c_str())) {
      error = "cannot set " + assignment;
      return false;
    }
  }
  if (encrypted) {
    config.SetEncryption(true);
    config.SetKeyLength(keyBits);
  } else if (config.GetEncryption()) {
    error = "the settings ask for a password (Encryption) but no --password was given";
    return false;
  }
  StringBuffer out;
  if (!config.GetXml(out)) {
    error = "cannot write the settings document";
    return false;
  }
  xml.assign(out.getText(), out.getSize());
  return true;
}
