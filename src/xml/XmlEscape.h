#pragma once

#include <cstdint>

class StringBuffer;

// Appends text with double quote, apostrophe, less-than, greater-than and ampersand written as
// entities. With `keepCharacterReferences`, an ampersand that begins a character reference
// ("&#" and a digit or "x") stays as it is.
bool appendXmlEscaped(const char *text, uint32_t length, bool keepCharacterReferences, StringBuffer &out);
