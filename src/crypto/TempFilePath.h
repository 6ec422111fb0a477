#pragma once

class StringBuffer;

// A file name in the temporary directory that does not exist yet: the base name (or "x"), an
// underscore, four random characters from A-Z and 0-9, and the base name's extension (".tmp"
// when it has none). Appends the UTF-8 path to out; false, with nothing appended, when 201
// candidates all existed.
bool makeTempFilePath(const char *utf8BaseName, StringBuffer &out);

// A path in the temporary directory that nobody can guess: the stem, an underscore and 16
// random characters from A-Z and 0-9 (about 82 bits). Whether it exists is not looked at: the
// caller creates it exclusively and draws again when that fails. Appends the UTF-8 path to out.
bool makeUnguessableTempPath(const char *utf8Stem, StringBuffer &out);
