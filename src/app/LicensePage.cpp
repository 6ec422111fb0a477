#include "app/LicensePage.h"

#include "app/AppState.h"
#include "app/Dialogs.h"
#include "app/EndRequests.h"
#include "app/Messages.h"
#include "app/RunLog.h"
#include "app/SfxConfig.h"
#include "base/XString.h"

LicenseAnswer askLicense(HWND owner) {
  XString text;
  g_config.GetValue(SfxConfig::kLicenseText, text);
  if (text.isEmpty()) return LicenseAnswer::Accepted;
  runLogWrite("Showing license...\r\n");
  INT_PTR result = showDialog(SfxDialog::License, owner);
  if (result == -1) return LicenseAnswer::Failed;
  // A page that ended because the program was asked to close was not agreed to.
  if (result == IDOK && !closeRequested()) return LicenseAnswer::Accepted;
  runLogWrite("License declined.\r\n");
  g_exitCode = kExitLicenseDeclined;
  return LicenseAnswer::Declined;
}

bool licenseAcceptedUnattended(HWND owner) {
  XString text;
  g_config.GetValue(SfxConfig::kLicenseText, text);
  if (!g_config.GetFlag(SfxConfig::kLicenseRequired) || text.isEmpty()) return true;
  if (g_config.GetFlag(SfxConfig::kLicenseAccepted)) {
    runLogWrite("License accepted on the command line.\r\n");
    return true;
  }
  showMessage(owner, "The license of this package must be accepted: run it again with -acceptLicense to accept it.",
              "License");
  g_exitCode = kExitLicenseNotAccepted;
  return false;
}
