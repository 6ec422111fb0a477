// UTF-16 <-> UTF-8 and Windows-path mapping shared by the POSIX emulation. Internal to platform/.
#pragma once

#include <string>

#include "platform/win32.h"

namespace posix {

std::string toUtf8(LPCWSTR text);
std::u16string toUtf16(const std::string &text);

// "C:\dir\f.txt", "\\?\C:\dir\f.txt" and "/dir/f.txt" all name "/dir/f.txt".
std::string toPosixPath(const std::string &windowsPath);

// Copies text plus a terminator into a caller's buffer the way the Win32 string queries do:
// the length without the terminator when it fits, else the size needed with it.
DWORD copyOut(const std::string &text, DWORD bufferLength, LPSTR buffer);
DWORD copyOut(const std::u16string &text, DWORD bufferLength, LPWSTR buffer);

// The Win32 code for an errno value; `path` tells "file not found" from "path not found".
DWORD errorFromErrno(int error, const std::string &path = std::string());
void setLastErrorFromErrno(int error, const std::string &path = std::string());

// Handles of each kind close through their own table; CloseHandle asks each in turn.
bool closeFileHandle(HANDLE handle);
bool closeProcessHandle(HANDLE handle);

}  // namespace posix
