#include "xml/XmlParser.h"

#include "base/LogBase.h"
#include "xml/ParseEngine.h"
#include "xml/TreeInfo.h"
#include "xml/TreeNode.h"

namespace {
const char kElementNameStops[] = " \t\r\n/>";
const char kAttributeNameStops[] = " \t\r\n=/>";
const char kPseudoNameStops[] = " \t\r\n=?>";
const char kCdataStart[] = "<![CDATA[";

class XmlParser {
 public:
  explicit XmlParser(LogBase &log) : m_log(log) {}
  XmlParser(const XmlParser &) = delete;
  XmlParser &operator=(const XmlParser &) = delete;

  bool run(const char *text, uint32_t size, TreeNode *&root);

 private:
  // Each returns false when parsing stops there.
  bool readContent();
  bool readMarkup();
  bool readExclamation();
  bool readInstruction();
  bool readElement();
  void readClosingTag();
  void readCdata();
  void closeDtd(StringBuffer &dtd);
  void appendText(StringBuffer &piece);
  TreeNode *readPseudoElement();
  void readPseudoAttributes(TreeNode *node);
  void readNameAndValue(bool pseudo, StringBuffer &name, StringBuffer &value);
  void addAttribute(TreeNode *node, const StringBuffer &name, const StringBuffer &value);
  void closeCurrent();
  bool finish(TreeNode *&root);

  LogBase &m_log;
  ParseEngine m_engine;
  TreeNode *m_current = nullptr;
  TreeNode *m_root = nullptr;
  // Declaration, stylesheets, DTD and other instructions, handed to the root at the end.
  TreeInfo m_documentItems;
  bool m_outOfMemory = false;
};

bool XmlParser::run(const char *text, uint32_t size, TreeNode *&root) {
  root = nullptr;
  if (!m_engine.setText(text, size)) return false;
  while (!m_engine.atEnd() && readContent() && readMarkup()) {
  }
  return finish(root);
}

// Text outside elements is dropped; inside, it joins the element's content.
bool XmlParser::readContent() {
  m_engine.skipWhitespace();
  if (m_current == nullptr) {
    if (m_engine.atEnd()) return false;
    m_engine.scanToByteUnless('<', 0);
    m_engine.advance();
    return true;
  }
  if (!m_engine.startsWith(kCdataStart)) {
    StringBuffer piece;
    m_engine.readUntilByte('<', piece);
    piece.trim();
    if (!piece.isEmpty()) appendText(piece);
  }
  while (m_engine.startsWith(kCdataStart)) readCdata();
  m_engine.advance();
  return true;
}

// Pieces of text split by child elements are joined with one space.
void XmlParser::appendText(StringBuffer &piece) {
  StringBuffer *content = m_current->editContent();
  if (content == nullptr) {
    m_outOfMemory = true;
    return;
  }
  if (!content->isEmpty() && !content->appendChar(' ')) m_outOfMemory = true;
  const uint32_t start = content->getSize();
  if (!content->appendBuffer(piece)) m_outOfMemory = true;
  content->decodeXmlEntities(start);
}

// Sections append to the content; text between a section and the next markup is dropped.
void XmlParser::readCdata() {
  m_engine.advance(sizeof kCdataStart - 1);
  StringBuffer *content = m_current->editContent();
  if (content == nullptr) {
    m_outOfMemory = true;
    return;
  }
  if (m_engine.findAndCopyThrough("]]>", *content)) {
    content->shortenBy(3);
  } else {
    m_engine.readUntilAny("", *content);
  }
  m_current->setCdata(true);
  m_engine.scanToByteUnless('<', 0);
}

// The position is just past "<".
bool XmlParser::readMarkup() {
  const char lead = m_engine.current();
  m_engine.skipWhitespace();
  if (m_engine.atEnd()) return false;
  switch (lead) {
    case '!':
      return readExclamation();
    case '?':
      m_engine.advance();
      return readInstruction();
    case '/':
      readClosingTag();
      return true;
    default:
      return readElement();
  }
}

bool XmlParser::readExclamation() {
  if (m_engine.startsWithIgnoreCase("!--")) {
    m_engine.advance(3);
    if (m_engine.findAndSkip("-->")) return true;
    m_log.logError("Unclosed comment");
    return false;
  }
  if (m_engine.startsWithIgnoreCase("!DOCTYPE")) {
    StringBuffer &dtd = m_documentItems.dtd();
    dtd.clear();
    if (!dtd.appendChar('<')) m_outOfMemory = true;
    if (!m_engine.readBalanced('<', '>', dtd)) {
      m_log.logError("Failed to parse DTD");
      closeDtd(dtd);
    }
    if (!dtd.appendChar('\n')) m_outOfMemory = true;
    return true;
  }
  // Declarations outside a DTD (<!ELEMENT ...>) carry nothing the tree keeps.
  m_engine.scanToByteUnless('>', 0);
  m_engine.advance();
  return true;
}

// The DTD ran to the end of the text. It is kept, with the brackets it left open closed, so that
// the document written back does not vanish into it when read again.
void XmlParser::closeDtd(StringBuffer &dtd) {
  int open = 0;
  for (const char *p = dtd.getText(); *p; ++p) open += (*p == '<') - (*p == '>');
  if (open > 0 && !dtd.appendCharN('>', uint32_t(open))) m_outOfMemory = true;
}

// The position is just past "<?".
bool XmlParser::readInstruction() {
  if (m_engine.startsWithIgnoreCase("xml ")) {
    m_documentItems.setDeclaration(readPseudoElement());
    return true;
  }
  if (m_engine.startsWithIgnoreCase("xml-stylesheet")) {
    TreeNode *stylesheet = readPseudoElement();
    if (stylesheet && !m_documentItems.stylesheets().append(stylesheet)) {
      delete stylesheet;
      m_outOfMemory = true;
    }
    return true;
  }
  StringBuffer &others = m_documentItems.otherInstructions();
  const uint32_t before = others.getSize();
  if (!others.append("<?")) m_outOfMemory = true;
  if (!m_engine.findAndCopyThrough("?>", others)) {
    // An instruction that never ends would swallow the rest of the document when written back.
    others.shortenBy(others.getSize() - before);
    return false;
  }
  if (!others.appendChar('\n')) m_outOfMemory = true;
  return true;
}

TreeNode *XmlParser::readPseudoElement() {
  StringBuffer name;
  m_engine.readUntilAny(kElementNameStops, name);
  m_engine.skipWhitespace();
  if (m_engine.current() == '/') m_engine.advance();
  TreeNode *node = TreeNode::create(name.getText());
  if (node == nullptr) m_outOfMemory = true;
  readPseudoAttributes(node);
  return node;
}

void XmlParser::readPseudoAttributes(TreeNode *node) {
  m_engine.skipWhitespace();
  while (!m_engine.atEnd() && m_engine.current() != '>') {
    StringBuffer name, value;
    readNameAndValue(true, name, value);
    // Nothing but a stray byte or the "?" before ">": not an attribute.
    if (node && !(name.isEmpty() && value.isEmpty())) addAttribute(node, name, value);
    m_engine.skipWhitespace();
    if (m_engine.current() == '?') {
      m_engine.advance();
      m_engine.skipWhitespace();
    }
  }
  m_engine.advance();
}

// One attribute of an element, or one pseudo-attribute of a declaration or stylesheet
// instruction, up to the blanks after it. The name keeps only name characters; without "=" the
// value is empty. Values may be quoted either way or not at all; an element's quoted value ends
// only at its own quote.
void XmlParser::readNameAndValue(bool pseudo, StringBuffer &name, StringBuffer &value) {
  m_engine.readUntilAny(pseudo ? kPseudoNameStops : kAttributeNameStops, name);
  name.keepNameChars();
  m_engine.skipWhitespace();
  if (m_engine.current() != '=') return;
  m_engine.advance();
  m_engine.skipWhitespace();
  const char quote = m_engine.current();
  const bool quoted = quote == '"' || quote == '\'';
  if (quoted) m_engine.advance();
  const char ownQuote[2] = {quote, 0};
  const char *stops = pseudo ? (quoted ? "\"'\r\n" : " \t\"'\r\n?>") : (quoted ? ownQuote : "\"'");
  m_engine.readUntilAny(stops, value);
  if (value.containsChar('&')) value.decodeXmlEntities();
  if (pseudo) {
    if (m_engine.current() == '"') m_engine.advance();
    if (m_engine.current() == '\'') m_engine.advance();
  } else if (m_engine.current() == '"' || m_engine.current() == '\'') {
    m_engine.advance();
  }
}

void XmlParser::addAttribute(TreeNode *node, const StringBuffer &name, const StringBuffer &value) {
  if (!node->addAttribute(name.getText(), value.getText())) m_outOfMemory = true;
}

// The position is on the first byte of the name.
bool XmlParser::readElement() {
  StringBuffer name;
  m_engine.readUntilAny(kElementNameStops, name);
  if (m_engine.atEnd()) return false;
  m_engine.skipWhitespace();
  bool selfClosing = false;
  if (m_engine.current() == '/') {
    selfClosing = true;
    m_engine.advance();
  }
  TreeNode *element =
      m_current ? m_current->createChild(name.getText()) : TreeNode::createRoot(name.getText());
  if (element == nullptr) {
    m_outOfMemory = true;
    return false;
  }
  m_current = element;
  while (!m_engine.atEnd() && m_engine.current() != '>') {
    StringBuffer attributeName, value;
    readNameAndValue(false, attributeName, value);
    if (!attributeName.isEmpty()) addAttribute(element, attributeName, value);
    m_engine.skipWhitespace();
    if (m_engine.current() == '/') {
      m_engine.advance();
      m_engine.skipWhitespace();
      selfClosing = true;
    }
  }
  m_engine.advance();
  if (selfClosing) closeCurrent();
  return true;
}

// The name in a closing tag is not compared: it closes whatever element is open.
void XmlParser::readClosingTag() {
  if (m_engine.scanToByteUnless('>', '<')) {
    m_engine.advance();
  } else {
    m_log.logError("Error in closing tag");
    m_log.logData("error_tag", m_current ? m_current->getTag() : "");
  }
  closeCurrent();
}

// A closed top-level element becomes the root; an earlier one is dropped.
void XmlParser::closeCurrent() {
  if (m_current == nullptr) return;
  TreeNode *parent = m_current->getParent();
  if (parent == nullptr) {
    delete m_root;
    m_root = m_current;
  }
  m_current = parent;
}

bool XmlParser::finish(TreeNode *&root) {
  if (m_root) {
    if (m_current) delete m_current->getRoot();
    m_current = nullptr;
  }
  while (m_current) closeCurrent();
  if (m_outOfMemory || m_engine.outOfMemory()) {
    delete m_root;
    return false;
  }
  if (m_root) m_root->getInfo()->takeDocumentItems(m_documentItems);
  root = m_root;
  return true;
}
}  // namespace

bool parseDocument(const char *text, uint32_t size, LogBase *log, TreeNode *&root) {
  LogNull nullLog;
  XmlParser parser(log ? *log : nullLog);
  return parser.run(text, size, root);
}
