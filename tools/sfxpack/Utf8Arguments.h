#pragma once

#include <string>
#include <vector>

// The command line as UTF-8, whatever the platform hands main(): on Windows main() gets its
// arguments in the ANSI code page, which cannot hold every file name or password, so they are
// taken again from the UTF-16 command line. Elsewhere they are used as given.
std::vector<std::string> utf8Arguments(int argc, char **argv);
