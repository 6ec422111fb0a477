#include "app/HelpText.h"

#include "app/Messages.h"

namespace {
const char kHelp[] =
    "Options:\n"
    "  -unzipDir DIR   extract into DIR (%NAME% is replaced by the environment variable)\n"
    "  -pwd PASSWORD   the password of an encrypted package\n"
    "  -ap ARGS        arguments for the setup program\n"
    "  -cleanup        delete the extracted files after the setup program ended\n"
    "  -silent         no window and no message; messages go to the log and standard error\n"
    "  -acceptLicense  accept the license (a silent run of a package that requires it needs this)\n"
    "  -overwrite always|never|older   replace existing files always (the default), never,\n"
    "                  or only those older than the package's\n"
    "  -log FILE       write a run log\n"
    "  -verbose        list every file in the run log\n"
    "  -debug          a dry run: nothing is written\n"
    "  -help, -?       this text\n"
    "\n"
    "Exit codes:\n"
    "  0     success, or the setup program's own code when it was waited for\n"
    "  1223  cancelled\n"
    "  86    wrong or missing password\n"
    "  13    damaged package (bad marker, bad entry, refused name, failed check value)\n"
    "  112   disk full\n"
    "  5     the target cannot be written\n"
    "  2     the setup program is missing\n"
    "  1639  silent run without -acceptLicense of a package whose license must be accepted\n"
    "  1     any other failure\n"
    "\n"
    "Settings for a silent run:\n"
    "  Silent 1        always silent\n"
    "  UnzipDir or AutoTemp 1   where to extract without asking\n"
    "  SetupExe, SetupExeArgs, WaitForSetup   what runs afterwards\n"
    "  LicenseRequired 1   the license must be accepted, in a silent run with -acceptLicense\n"
    "  Overwrite always|never|older   which existing files are replaced\n";
}  // namespace

void showHelp(HWND owner) { showMessage(owner, kHelp, "Help"); }
