#pragma once

#include <cstdint>

class LogBase;
class TreeNode;

// Parses an XML document (8-bit text, passed through unchanged) into a tree. The parser forgives
// malformed input: it never rejects a document, it repairs by fixed rules and logs three
// conditions ("Unclosed comment", "Failed to parse DTD", "Error in closing tag"). It does not
// validate, does not read the DTD, decodes only the five predefined entities and does not check
// that a closing tag names the element it closes. Text content is trimmed.
//
// `root` receives the document's root element, or null when the text holds no element. False
// only when memory runs out (no root then). A null log discards the messages.
bool parseDocument(const char *text, uint32_t size, LogBase *log, TreeNode *&root);
