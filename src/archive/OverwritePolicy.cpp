#include "archive/OverwritePolicy.h"

#include <cstdint>

#include "base/XString.h"

namespace {
uint64_t ticks(const FILETIME &time) { return (uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime; }

bool sameWord(const char *a, const char *b) {
  for (; *a != 0 && *b != 0; ++a, ++b) {
    char x = *a >= 'A' && *a <= 'Z' ? char(*a + 32) : *a;
    if (x != *b) return false;
  }
  return *a == *b;
}
}  // namespace

bool parseOverwritePolicy(const char *text, OverwritePolicy &policy) {
  if (text == nullptr) return false;
  if (sameWord(text, "always")) {
    policy = OverwritePolicy::Always;
  } else if (sameWord(text, "never")) {
    policy = OverwritePolicy::Never;
  } else if (sameWord(text, "older")) {
    policy = OverwritePolicy::Older;
  } else {
    return false;
  }
  return true;
}

bool overwriteAllowed(OverwritePolicy policy, const WIN32_FILE_ATTRIBUTE_DATA *existing, const FILETIME &entryTime) {
  if (existing == nullptr || (existing->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return true;
  switch (policy) {
    case OverwritePolicy::Never: return false;
    case OverwritePolicy::Older: return ticks(existing->ftLastWriteTime) < ticks(entryTime);
    case OverwritePolicy::Always: break;
  }
  return true;
}

bool mayReplaceExisting(OverwritePolicy policy, const XString &path, const FILETIME &entryTime) {
  if (policy == OverwritePolicy::Always) return true;
  WIN32_FILE_ATTRIBUTE_DATA existing{};
  bool found = GetFileAttributesExW(reinterpret_cast<LPCWSTR>(path.getUtf16()), GetFileExInfoStandard, &existing) != FALSE;
  return overwriteAllowed(policy, found ? &existing : nullptr, entryTime);
}
