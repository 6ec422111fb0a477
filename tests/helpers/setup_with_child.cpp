// A setup program that hands over to a child of its own, as bootstrappers do, for the job-object
// scenarios; and a probe of the folder it runs in.
//   setup_with_child MARKER CODE DELAY_MS [breakaway]  starts "child MARKER DELAY_MS" (asking to
//       leave the job with "breakaway"), writes "parent" to MARKER and exits with CODE at once
//   setup_with_child child MARKER DELAY_MS              waits DELAY_MS, then writes "child done"
//   setup_with_child sddl MARKER                        writes the owner and access list of its
//       working directory and the user's SID, in SDDL: "dir OWNER DACL" and "user SID"
// Lines are appended to MARKER, each one whole in one write.
#include <windows.h>
#include <sddl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void append(const std::wstring &marker, const std::string &line) {
  FILE *f = _wfopen(marker.c_str(), L"ab");
  if (f == nullptr) return;
  std::fwrite((line + "\n").data(), 1, line.size() + 1, f);
  std::fclose(f);
}

std::string narrow(const wchar_t *text) {
  std::string out;
  for (; text != nullptr && *text != 0; ++text) out += char(*text < 128 ? *text : '?');
  return out;
}

int startChild(const std::vector<std::wstring> &args) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring line = L"\"" + std::wstring(self) + L"\" child \"" + args[1] + L"\" " + args[3];
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  DWORD flags = args.size() > 4 && args[4] == L"breakaway" ? CREATE_BREAKAWAY_FROM_JOB : 0;
  if (!CreateProcessW(self, &line[0], nullptr, nullptr, FALSE, flags, nullptr, nullptr, &startup, &child)) {
    append(args[1], "parent could not start its child: " + std::to_string(GetLastError()));
    return 102;
  }
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  append(args[1], "parent");
  return _wtoi(args[2].c_str());
}

int probeFolder(const std::wstring &marker) {
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  (void)control;
  DWORD size = 0;
  GetFileSecurityW(L".", OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr, 0, &size);
  std::vector<BYTE> descriptor(size);
  LPWSTR text = nullptr;
  if (size == 0 ||
      !GetFileSecurityW(L".", OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, descriptor.data(), size, &size) ||
      !ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor.data(), SDDL_REVISION_1,
                                                            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                                            &text, nullptr)) {
    append(marker, "dir error " + std::to_string(GetLastError()));
    return 103;
  }
  append(marker, "dir " + narrow(text));
  LocalFree(text);
  HANDLE token = nullptr;
  OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
  BYTE user[256] = {};
  DWORD userSize = sizeof user;
  LPWSTR sid = nullptr;
  if (token != nullptr && GetTokenInformation(token, TokenUser, user, userSize, &userSize) &&
      ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER *>(user)->User.Sid, &sid)) {
    append(marker, "user " + narrow(sid));
    LocalFree(sid);
  }
  if (token != nullptr) CloseHandle(token);
  return 0;
}

}  // namespace

int main() {
  int count = 0;
  wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::wstring> args(wide, wide + count);
  LocalFree(wide);
  if (args.size() >= 4 && args[1] == L"child") {
    Sleep(DWORD(_wtoi(args[3].c_str())));
    append(args[2], "child done");
    return 0;
  }
  if (args.size() >= 3 && args[1] == L"sddl") return probeFolder(args[2]);
  if (args.size() >= 4) return startChild(args);
  return 100;
}
