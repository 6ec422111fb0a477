// The private unzip folder: created only when new, and closed to other accounts from the start.
// Under Wine the access list is read back through the security calls; natively the emulation
// can only say it with the mode.
#include "base/PrivateDirectory.h"

#include "FileTestDir.h"
#include "base/Logger.h"

#ifdef _WIN32
#include <aclapi.h>
#include <sddl.h>
#else
#include <sys/stat.h>
#endif

namespace {

class PrivateDirectory : public FileTestDir {};

bool create(const std::string &p, LogBase &log) {
  XString x;
  x.setUtf8(p.c_str());
  return createPrivateDirectory(x, log);
}

TEST_F(PrivateDirectory, IsMadeOnlyWhenNewAndKeepsOthersOut) {
  std::string dir = path("private");
  LogNull log;
  ASSERT_TRUE(create(dir, log));
  // A folder that is there already may be someone else's: it is refused, not reused.
  EXPECT_FALSE(create(dir, log));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
#ifdef _WIN32
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(GetNamedSecurityInfoA(dir.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                  nullptr, &descriptor),
            DWORD(ERROR_SUCCESS));
  // Windows keeps the protected list of the three as given; Wine 8 keeps only the Unix mode it
  // derives from it and reads back a list made from that mode. Both admit nobody else.
  ASSERT_NE(dacl, nullptr);
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  BYTE user[256];
  DWORD size = sizeof user;
  ASSERT_TRUE(GetTokenInformation(token, TokenUser, user, size, &size));
  CloseHandle(token);
  PSID expected[3] = {reinterpret_cast<TOKEN_USER *>(user)->User.Sid, nullptr, nullptr};
  ConvertStringSidToSidA("SY", &expected[1]);
  ConvertStringSidToSidA("BA", &expected[2]);
  bool userAdmitted = false;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE *ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void **>(&ace)));
    PSID sid = reinterpret_cast<PSID>(&ace->SidStart);
    bool known = false;
    for (PSID allowed : expected) known = known || EqualSid(sid, allowed);
    EXPECT_TRUE(known) << "entry " << i << " admits another account";
    userAdmitted = userAdmitted || EqualSid(sid, expected[0]);
  }
  EXPECT_TRUE(userAdmitted);
  LocalFree(expected[1]);
  LocalFree(expected[2]);
  LocalFree(descriptor);
#else
  struct stat st {};
  for (char &c : dir) c = c == '\\' ? '/' : c;
  ASSERT_EQ(stat(dir.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
#endif
}

TEST_F(PrivateDirectory, FailsWithTheReasonWhenTheParentIsMissing) {
  Logger log;
  EXPECT_FALSE(create(path("missing") + "\\child", log));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  StringBuffer text;
  log.copyLogText(text);
  EXPECT_TRUE(text.contains("errorMsg")) << text.getText();
}

}  // namespace
