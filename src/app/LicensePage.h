// The license the publisher wants accepted before anything is extracted.
#pragma once

#include "platform/win32.h"

// The process exit code when the license was declined: ERROR_CANCELLED, what Windows
// installers report for "the user cancelled".
constexpr int kExitLicenseDeclined = 1223;

// A silent run of a package whose license must be accepted (LicenseRequired "1") that was not
// given "-acceptLicense": ERROR_INVALID_COMMAND_LINE, as Windows Installer answers a command line
// it cannot run.
constexpr int kExitLicenseNotAccepted = 1639;

enum class LicenseAnswer { Accepted, Declined, Failed };

// Accepted at once when the settings carry no LicenseText. Declined sets the exit code;
// Failed means the page could not be shown (the reason was shown), so nothing may go on.
LicenseAnswer askLicense(HWND owner);

// Nobody can be asked in a silent run: true when the license needs no acceptance or
// "-acceptLicense" gave it; otherwise says so, sets the exit code, and nothing may be extracted.
bool licenseAcceptedUnattended(HWND owner);
