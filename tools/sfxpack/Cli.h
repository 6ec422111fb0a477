// What the sfxpack commands share: error reporting, number options and the command entry points.
#pragma once

#include <string>
#include <vector>

// Prints "sfxpack: MESSAGE" to stderr and returns the exit code for a usage or input error.
int fail(const std::string &message);
// The same for a failed read or write; returns exit code 1.
int ioFailure(const std::string &message);
// Reports a wrong command line through fail(); always false.
bool usageError(int &exitCode, const std::string &message);
bool parseNumber(const char *text, long low, long high, long &value);

// The whole command line, as UTF-8: the program, the command, then its options.
using Arguments = std::vector<std::string>;

int runBuild(const Arguments &args);
int runList(const Arguments &args);
int runTest(const Arguments &args);
int runExtract(const Arguments &args);
