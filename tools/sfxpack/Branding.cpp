#include "Branding.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/SfxConfig.h"
#include "base/XString.h"
#include "pe/IconFile.h"
#include "pe/ManifestLevel.h"
#include "pe/StubResources.h"

namespace fs = std::filesystem;

namespace {

bool readFile(const std::string &path, Bytes &bytes) {
  std::ifstream in(fs::u8path(path), std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// License files are UTF-8 (with or without its mark) or UTF-16 with its mark, as Notepad saves
// them; the setting holds UTF-8.
std::string licenseText(const Bytes &bytes) {
  if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
    std::u16string units;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) units.push_back(char16_t(bytes[i] | bytes[i + 1] << 8));
    XString text;
    text.setUtf16(units.c_str());
    return text.getUtf8();
  }
  size_t skip = bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF ? 3 : 0;
  return std::string(bytes.begin() + long(skip), bytes.end());
}

bool loadSettings(const std::string &xml, SfxConfig &config) {
  XString text;
  text.setUtf8(xml.c_str(), uint32_t(xml.size()));
  return config.LoadXml(text);
}

std::string setting(const SfxConfig &config, const char *key) {
  XString value;
  config.GetValue(key, value);
  return value.getUtf8();
}

// Payload names are Windows names: either slash, any letter case.
std::string comparableName(std::string name) {
  for (char &c : name) {
    if (c == '/') c = '\\';
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  }
  return name;
}

}  // namespace

bool takeBrandingOption(const Arguments &args, size_t &i, BrandingOptions &o, std::vector<std::string> &assignments,
                        int &exitCode, bool &ok) {
  const std::string &a = args[i];
  if (a != "--icon" && a != "--version-info" && a != "--execution-level" && a != "--license") return false;
  ok = false;
  auto bad = [&exitCode](const std::string &message) {
    usageError(exitCode, message);
    return true;
  };
  if (i + 1 >= args.size()) return bad(a + " needs a value");
  const std::string &v = args[++i];
  if (a == "--icon") {
    o.icon = v;
  } else if (a == "--version-info") {
    size_t equals = v.find('=');
    if (equals == std::string::npos || equals == 0) return bad("--version-info takes KEY=VALUE");
    o.versionInfo.emplace_back(v.substr(0, equals), v.substr(equals + 1));
  } else if (a == "--execution-level") {
    if (!isExecutionLevel(v)) {
      return bad("--execution-level takes asInvoker, highestAvailable or requireAdministrator");
    }
    o.executionLevel = v;
  } else {
    Bytes bytes;
    if (!readFile(v, bytes)) return bad("cannot read the license " + v);
    assignments.push_back("LicenseText=" + licenseText(bytes));
  }
  ok = true;
  return true;
}

bool brandingFromSettings(const std::string &settingsXml, BrandingOptions &o, std::string &error) {
  SfxConfig config;
  if (!loadSettings(settingsXml, config)) return true;
  if (o.icon.empty()) o.icon = setting(config, "IconFile");
  if (o.executionLevel.empty()) {
    o.executionLevel = setting(config, "ExecutionLevel");
    if (!o.executionLevel.empty() && !isExecutionLevel(o.executionLevel)) {
      error = "the setting ExecutionLevel takes asInvoker, highestAvailable or requireAdministrator, not " +
              o.executionLevel;
      return false;
    }
  }
  // The settings' values first: a key given again as an option keeps the option's value.
  VersionStrings merged;
  for (const std::string &key : knownVersionKeys()) {
    std::string value = setting(config, key.c_str());
    if (!value.empty()) merged.emplace_back(key, value);
  }
  merged.insert(merged.end(), o.versionInfo.begin(), o.versionInfo.end());
  o.versionInfo = merged;
  return true;
}

bool licenseFromPayload(const std::string &settingsXml, const std::vector<PackEntry> &entries, std::string &text,
                        std::string &error) {
  text.clear();
  SfxConfig config;
  if (!loadSettings(settingsXml, config)) return true;
  std::string file = setting(config, "LicenseFile");
  if (file.empty() || !setting(config, "LicenseText").empty()) return true;
  for (const PackEntry &e : entries) {
    if (e.type != payload::kFileEntry || comparableName(e.name) != comparableName(file)) continue;
    Bytes bytes;
    if (!readFile(e.sourcePath, bytes)) {
      error = "cannot read the license " + e.sourcePath;
      return false;
    }
    text = licenseText(bytes);
    return true;
  }
  error = "the license file " + file + " (LicenseFile) is not among the packed files";
  return false;
}

bool brandedStub(const std::string &stubPath, const BrandingOptions &o, Bytes &stub, size_t &checksumOffset,
                 std::string &error) {
  Bytes original;
  if (!readFile(stubPath, original)) {
    error = "cannot read the stub " + stubPath;
    return false;
  }
  StubResources wanted;
  wanted.executionLevel = o.executionLevel;
  if (!o.icon.empty()) {
    Bytes icon;
    if (!readFile(o.icon, icon)) {
      error = "cannot read the icon " + o.icon;
      return false;
    }
    if (!parseIconFile(icon, wanted.icons, error)) {
      error = o.icon + " is not a valid .ico file: " + error;
      return false;
    }
  }
  if (!o.versionInfo.empty() && !makeVersionResource(o.versionInfo, wanted.versionInfo, error)) return false;
  if (!rewriteStubResources(original, wanted, stub, checksumOffset, error)) return false;
  return true;
}
