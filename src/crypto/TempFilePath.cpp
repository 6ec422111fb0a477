#include "crypto/TempFilePath.h"

#include <cstring>

#include "base/FileAttributes.h"
#include "base/PathQueries.h"
#include "base/StringBuffer.h"
#include "crypto/QuorvelRand.h"

namespace {
constexpr int kMaxRegenerations = 200;
constexpr int kUnguessableChars = 16;

void appendName(const StringBuffer &stem, const char *ext, StringBuffer &out) {
  out.appendBuffer(stem);
  out.appendChar('_');
  for (int i = 0; i < 4; ++i) out.appendChar(QuorvelRand::tempNameChar());
  out.append(ext);
}
}  // namespace

bool makeTempFilePath(const char *utf8BaseName, StringBuffer &out) {
  StringBuffer base(utf8BaseName != nullptr && *utf8BaseName != 0 ? utf8BaseName : "x");
  if (!base.containsChar('.')) base.append(".tmp");
  const char *text = base.getText();
  StringBuffer ext(std::strrchr(text, '.'));
  StringBuffer stem;
  stem.appendBytes(text, uint32_t(std::strrchr(text, '.') - text));

  XString tempDir;
  getTempDir(tempDir);
  StringBuffer dirSep(tempDir.getUtf8());
  if (!dirSep.endsWith("/") && !dirSep.endsWith("\\")) dirSep.appendChar('/');

  StringBuffer name;
  appendName(stem, ext.getText(), name);
  XString nameX, candidate;
  nameX.setUtf8(name.getText());
  joinDirFileName(tempDir, nameX, candidate);
  LogNull quiet;
  for (int regenerated = 0; fileExists(candidate, quiet); ++regenerated) {
    if (regenerated == kMaxRegenerations) return false;
    StringBuffer next;
    next.appendBuffer(dirSep);
    appendName(stem, ext.getText(), next);
    candidate.setUtf8(next.getText());
  }
  return out.append(candidate.getUtf8());
}

bool makeUnguessableTempPath(const char *utf8Stem, StringBuffer &out) {
  XString tempDir, name, path;
  getTempDir(tempDir);
  name.appendUtf8(utf8Stem);
  name.appendUtf8("_");
  for (int i = 0; i < kUnguessableChars; ++i) {
    char c[2] = {QuorvelRand::tempNameChar(), 0};
    name.appendUtf8(c);
  }
  joinDirFileName(tempDir, name, path);
  return out.append(path.getUtf8());
}
