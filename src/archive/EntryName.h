#pragma once

class StringBuffer;

// Entry names come from the payload and are used relative to the unzip directory. A name that
// could reach outside it is refused: empty, rooted ("\x", "/x", which also covers UNC and "\\?\"
// long paths), naming a drive ("X:"), or holding a parent component (".." or, since Windows
// drops trailing dots and spaces from a component, any component made only of dots and spaces
// with at least two dots). A NUL byte is refused too: the path calls would stop at it and see
// a different name than the one checked.
bool isSafeEntryName(const StringBuffer &name);
