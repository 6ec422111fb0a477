#pragma once

class StringBuffer;

// A file name in the temporary directory that does not exist yet: the base name (or "x"), an
// underscore, four random characters from A-Z and 0-9, and the base name's extension (".tmp"
// when it has none). Appends the UTF-8 path to out; false, with nothing appended, when 201
// candidates all existed.
bool makeTempFilePath(const char *utf8BaseName, StringBuffer &out);
