#include "app/StartRefusal.h"

#include "base/StringBuffer.h"

bool isStartRefusal(DWORD error) {
  switch (error) {
    case 5:     // ERROR_ACCESS_DENIED: an access rule, or a scanner holding the file
    case 225:   // ERROR_VIRUS_INFECTED
    case 226:   // ERROR_VIRUS_DELETED
    case 577:   // ERROR_INVALID_IMAGE_HASH: a signature that code integrity refuses
    case 786:   // ERROR_ACCESS_DISABLED_WEBBLADE
    case 1259:  // ERROR_APPHELP_BLOCK: blocked for compatibility
    case 1260:  // ERROR_ACCESS_DISABLED_BY_POLICY: software restriction or AppLocker
    case 4551:  // ERROR_SYSTEM_INTEGRITY_POLICY_VIOLATION: application control, Smart App Control
    case 4553:  // ERROR_SYSTEM_INTEGRITY_POLICY_NOT_SIGNED
      return true;
    default:
      return false;
  }
}

void describeStartRefusal(const StringBuffer &program, const StringBuffer &folder, DWORD error, StringBuffer &text) {
  text.append("Windows refused to start ");
  text.appendBuffer(program);
  text.append(" in ");
  text.appendBuffer(folder);
  text.append(": ");
  StringBuffer reason;
  reason.appendWindowsError(error);
  reason.trim();
  text.appendBuffer(reason);
  text.append(" (error ");
  text.appendInt(int32_t(error));
  text.append("). A security policy or a virus scanner may block programs in this folder; -unzipDir chooses another folder.");
}
