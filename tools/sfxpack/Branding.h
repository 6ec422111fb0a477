// The publisher's side of the finished program: its icon, version information and execution
// level (resources written into the copy of the stub), and the license page's text (a setting).
// Each comes from an option or from the settings (so that one --config file describes a build);
// an option wins over the setting.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "Cli.h"
#include "PayloadWriter.h"
#include "pe/Bytes.h"
#include "pe/VersionInfo.h"

struct BrandingOptions {
  std::string icon;
  VersionStrings versionInfo;
  std::string executionLevel;

  bool any() const { return !icon.empty() || !versionInfo.empty() || !executionLevel.empty(); }
};

// Takes --icon, --version-info, --execution-level or --license at args[i] (and its value).
// False when args[i] is none of them; `ok` false with `exitCode` set when its value is wrong.
// --license reads the file and adds "LicenseText=..." to `assignments`.
bool takeBrandingOption(const Arguments &args, size_t &i, BrandingOptions &o, std::vector<std::string> &assignments,
                        int &exitCode, bool &ok);

// Fills in what the options left open from the settings document: IconFile, ExecutionLevel and
// the version keys. False with a reason when the document's execution level is unknown.
bool brandingFromSettings(const std::string &settingsXml, BrandingOptions &o, std::string &error);

// A license named by LicenseFile is shown before anything is extracted, so its text travels in
// LicenseText, copied from the packed file now. `text` stays empty when nothing is to be copied.
bool licenseFromPayload(const std::string &settingsXml, const std::vector<PackEntry> &entries, std::string &text,
                        std::string &error);

// The stub with the publisher's resources; `checksumOffset` is where the finished file's
// checksum goes.
bool brandedStub(const std::string &stubPath, const BrandingOptions &o, Bytes &stub, size_t &checksumOffset,
                 std::string &error);
