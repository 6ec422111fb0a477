#pragma once

// Applies the command-line options on top of the payload's settings: "-unzipDir", "-pwd",
// "-ap", "-cleanup", "-verbose", "-debug" and "-log". The text is the 8-bit command line
// without the program name, in the system code page.
void ParseCommandLine(const char *commandLine);
