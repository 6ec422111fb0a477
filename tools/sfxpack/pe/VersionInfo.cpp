// VS_VERSIONINFO is a tree of blocks, each: length, value length, type (0 binary, 1 text),
// a NUL-terminated UTF-16 key, padding to 32 bits, the value, padding, then the children.
#include "VersionInfo.h"

#include <algorithm>

#include "base/XString.h"

namespace {

constexpr uint16_t kLanguage = 0x0409;
constexpr uint16_t kCodePage = 1200;

void appendKey(Bytes &out, const char16_t *key) {
  for (; *key != 0; ++key) appendU16(out, uint16_t(*key));
  appendU16(out, 0);
  padTo(out, 4);
}

// Starts a block; finishBlock() fills its length in once the children are written.
size_t beginBlock(Bytes &out, uint16_t valueLength, uint16_t type, const char16_t *key) {
  padTo(out, 4);
  size_t start = out.size();
  appendU16(out, 0);
  appendU16(out, valueLength);
  appendU16(out, type);
  appendKey(out, key);
  return start;
}

void finishBlock(Bytes &out, size_t start) { putU16(out, start, uint16_t(out.size() - start)); }

void appendString(Bytes &out, const std::u16string &key, const std::u16string &value) {
  size_t block = beginBlock(out, uint16_t(value.size() + 1), 1, key.c_str());
  for (char16_t c : value) appendU16(out, uint16_t(c));
  appendU16(out, 0);
  finishBlock(out, block);
}

std::u16string utf16(const std::string &utf8) {
  XString text;
  text.setUtf8(utf8.c_str(), uint32_t(utf8.size()));
  return text.getUtf16();
}

void appendFixedInfo(Bytes &out, uint32_t fileHigh, uint32_t fileLow, uint32_t productHigh, uint32_t productLow) {
  appendU32(out, 0xFEEF04BD);  // signature
  appendU32(out, 0x00010000);  // structure version 1.0
  appendU32(out, fileHigh);
  appendU32(out, fileLow);
  appendU32(out, productHigh);
  appendU32(out, productLow);
  appendU32(out, 0x3F);     // flags mask
  appendU32(out, 0);        // flags: a release build
  appendU32(out, 0x40004);  // VOS_NT_WINDOWS32
  appendU32(out, 1);        // VFT_APP
  appendU32(out, 0);        // subtype
  appendU32(out, 0);        // date, high
  appendU32(out, 0);        // date, low
}

// Values longer than this would overflow a block's 16-bit length.
constexpr size_t kMaxValueBytes = 2048;

}  // namespace

const std::vector<std::string> &knownVersionKeys() {
  static const std::vector<std::string> keys = {"ProductName",     "FileDescription",  "CompanyName",
                                                "LegalCopyright",  "FileVersion",      "ProductVersion",
                                                "OriginalFilename", "InternalName",    "Comments"};
  return keys;
}

bool parseVersionNumber(const std::string &text, uint32_t &high, uint32_t &low) {
  uint32_t parts[4] = {0, 0, 0, 0};
  size_t count = 0, at = 0;
  while (true) {
    size_t dot = text.find('.', at);
    std::string part = text.substr(at, dot == std::string::npos ? std::string::npos : dot - at);
    if (count == 4 || part.empty() || part.size() > 5 ||
        part.find_first_not_of("0123456789") != std::string::npos || std::stoul(part) > 65535) {
      return false;
    }
    parts[count++] = uint32_t(std::stoul(part));
    if (dot == std::string::npos) break;
    at = dot + 1;
  }
  high = parts[0] << 16 | parts[1];
  low = parts[2] << 16 | parts[3];
  return true;
}

bool makeVersionResource(const VersionStrings &strings, Bytes &out, std::string &error) {
  const std::vector<std::string> &known = knownVersionKeys();
  std::vector<std::string> values(known.size());
  std::vector<bool> given(known.size(), false);
  for (const auto &kv : strings) {
    auto found = std::find(known.begin(), known.end(), kv.first);
    if (found == known.end()) {
      std::string list;
      for (const std::string &k : known) list += (list.empty() ? "" : ", ") + k;
      error = "unknown version key " + kv.first + "; the known keys are " + list;
      return false;
    }
    if (kv.second.size() > kMaxValueBytes) {
      error = "the version value of " + kv.first + " is too long";
      return false;
    }
    size_t index = size_t(found - known.begin());
    values[index] = kv.second;
    given[index] = true;
  }
  uint32_t version[2][2] = {{0, 0}, {0, 0}};
  const char *numbered[2] = {"FileVersion", "ProductVersion"};
  size_t indexOf[2] = {0, 0};
  for (int i = 0; i < 2; ++i) {
    size_t index = size_t(std::find(known.begin(), known.end(), numbered[i]) - known.begin());
    indexOf[i] = index;
    if (given[index] && !parseVersionNumber(values[index], version[i][0], version[i][1])) {
      error = std::string(numbered[i]) + " must be 1 to 4 numbers from 0 to 65535 separated by dots, not \"" +
              values[index] + "\"";
      return false;
    }
  }
  // One version given stands for both in the fixed part, as most programs have them equal.
  if (!given[indexOf[0]]) std::copy(version[1], version[1] + 2, version[0]);
  if (!given[indexOf[1]]) std::copy(version[0], version[0] + 2, version[1]);

  out.clear();
  size_t root = beginBlock(out, 52, 0, u"VS_VERSION_INFO");
  appendFixedInfo(out, version[0][0], version[0][1], version[1][0], version[1][1]);
  size_t stringInfo = beginBlock(out, 0, 1, u"StringFileInfo");
  size_t table = beginBlock(out, 0, 1, u"040904B0");
  for (size_t i = 0; i < known.size(); ++i) {
    if (given[i]) appendString(out, utf16(known[i]), utf16(values[i]));
  }
  finishBlock(out, table);
  finishBlock(out, stringInfo);
  size_t varInfo = beginBlock(out, 0, 1, u"VarFileInfo");
  size_t translation = beginBlock(out, 4, 0, u"Translation");
  appendU16(out, kLanguage);
  appendU16(out, kCodePage);
  finishBlock(out, translation);
  finishBlock(out, varInfo);
  finishBlock(out, root);
  return true;
}
