// The license the publisher wants accepted before anything is extracted.
#pragma once

#include "platform/win32.h"

// The process exit code when the license was declined: ERROR_CANCELLED, what Windows
// installers report for "the user cancelled".
constexpr int kExitLicenseDeclined = 1223;

enum class LicenseAnswer { Accepted, Declined, Failed };

// Accepted at once when the settings carry no LicenseText. Declined sets the exit code;
// Failed means the page could not be shown (the reason was shown), so nothing may go on.
LicenseAnswer askLicense(HWND owner);
