#pragma once

// Applies the command-line options on top of the payload's settings: "-unzipDir", "-pwd",
// "-ap", "-cleanup", "-verbose", "-debug", "-silent", "-help" (or "-?") and "-log". The text is the command line without the
// program name, as UTF-8; values reach the settings as they are, the password in the ANSI code
// page, in which the packer derived its key.
void ParseCommandLine(const char *utf8CommandLine);

// The arguments after the program name of a whole command line, as Windows cuts them for
// WinMain: the name ends at the first blank or tab outside double quotes, and the blanks after
// it are skipped.
const char *skipProgramName(const char *commandLine);
