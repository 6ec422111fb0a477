#include "base/PrivateDirectory.h"

#include "base/StringBuffer.h"
#include "base/Win32Path.h"

#ifdef _WIN32
namespace {

// The descriptor with its access list: full control for the three, inherited by everything
// created inside, and protected from what the parent folder would pass down.
class PrivateDescriptor {
 public:
  PrivateDescriptor() {
    HANDLE token = nullptr;
    DWORD size = sizeof m_user;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return;
    bool haveUser = GetTokenInformation(token, TokenUser, m_user, size, &size) != FALSE;
    CloseHandle(token);
    DWORD systemSize = sizeof m_system, adminsSize = sizeof m_admins;
    if (!haveUser || !CreateWellKnownSid(WinLocalSystemSid, nullptr, m_system, &systemSize) ||
        !CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, m_admins, &adminsSize)) {
      return;
    }
    PSID sids[] = {reinterpret_cast<TOKEN_USER *>(m_user)->User.Sid, m_system, m_admins};
    if (!InitializeAcl(reinterpret_cast<PACL>(m_acl), sizeof m_acl, ACL_REVISION)) return;
    for (PSID sid : sids) {
      if (!AddAccessAllowedAceEx(reinterpret_cast<PACL>(m_acl), ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE,
                                 FILE_ALL_ACCESS, sid)) {
        return;
      }
    }
    m_ready = InitializeSecurityDescriptor(&m_descriptor, SECURITY_DESCRIPTOR_REVISION) &&
              SetSecurityDescriptorDacl(&m_descriptor, TRUE, reinterpret_cast<PACL>(m_acl), FALSE) &&
              SetSecurityDescriptorControl(&m_descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
  }
  SECURITY_DESCRIPTOR *get() { return m_ready ? &m_descriptor : nullptr; }

 private:
  alignas(8) BYTE m_user[256] = {};
  alignas(8) BYTE m_system[SECURITY_MAX_SID_SIZE] = {};
  alignas(8) BYTE m_admins[SECURITY_MAX_SID_SIZE] = {};
  alignas(8) BYTE m_acl[1024] = {};
  SECURITY_DESCRIPTOR m_descriptor{};
  bool m_ready = false;
};

}  // namespace
#endif

bool createPrivateDirectory(const XString &path, LogBase &log) {
  SECURITY_ATTRIBUTES attributes{};
  attributes.nLength = sizeof attributes;
#ifdef _WIN32
  PrivateDescriptor descriptor;
  attributes.lpSecurityDescriptor = descriptor.get();
  // Without the descriptor the folder would be as open as its parent: better none at all.
  if (attributes.lpSecurityDescriptor == nullptr) {
    StringBuffer reason;
    reason.appendLastWindowsError();
    log.logData("errorMsg", reason);
    return false;
  }
#endif
  Win32Path copy(path);
  if (CreateDirectoryW(copy.longWide(), &attributes)) return true;
  DWORD error = GetLastError();
  StringBuffer reason;
  reason.appendLastWindowsError();
  log.logData("errorMsg", reason);
  SetLastError(error);
  return false;
}
