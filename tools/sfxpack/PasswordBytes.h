#pragma once

#include <string>

// The code page in which the stub is assumed to read a password, unless the publisher names
// the one of the machines it is meant for.
constexpr long kDefaultPasswordCodePage = 1252;

// The bytes the stub will hash for this password: the stub takes what the user types in the
// ANSI code page of its machine, so a password given here in UTF-8 is converted to that page.
// False with a reason when the page is unknown or lacks one of the password's characters.
bool passwordBytes(const std::string &utf8, long codePage, std::string &bytes, std::string &error);
