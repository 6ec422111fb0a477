// The one door to the operating system. On Windows it is <windows.h> itself; elsewhere it
// declares the small subset of Win32 the program calls, implemented over POSIX in posix/.
// Nothing else in the tree includes platform headers directly.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef _WIN32

#include <windows.h>
#include <wincrypt.h>

#else

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using LONG = int32_t;
using UINT = unsigned int;
using BOOL = int;
using WCHAR = char16_t;
using LPCSTR = const char *;
using LPSTR = char *;
using LPCWSTR = const WCHAR *;
using LPWSTR = WCHAR *;
using HANDLE = void *;
using HCRYPTPROV = uintptr_t;
using ULONG_PTR = uintptr_t;

struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};
struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

#define WINAPI

// Last-error codes the program tests for.
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_INVALID_FUNCTION = 1;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_INVALID_DATA = 13;
constexpr DWORD ERROR_WRITE_PROTECT = 19;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_LOCK_VIOLATION = 33;
constexpr DWORD ERROR_HANDLE_EOF = 38;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_FILE_EXISTS = 80;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_DISK_FULL = 112;
constexpr DWORD ERROR_INVALID_NAME = 123;
constexpr DWORD ERROR_DIR_NOT_EMPTY = 145;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
constexpr DWORD ERROR_DIRECTORY = 267;

// Random provider (advapi32).
constexpr DWORD PROV_RSA_FULL = 1;
constexpr DWORD CRYPT_VERIFYCONTEXT = 0xF0000000;

DWORD GetLastError();
void SetLastError(DWORD code);

// Milliseconds since an arbitrary start; wraps like the real one after 49.7 days.
DWORD GetTickCount();
DWORD GetCurrentThreadId();
void Sleep(DWORD milliseconds);

// Only the flags the random generator tries are meaningful; every acquisition of the base
// provider succeeds and reads the kernel's random source.
BOOL CryptAcquireContextA(HCRYPTPROV *provider, LPCSTR container, LPCSTR providerName,
                          DWORD providerType, DWORD flags);
BOOL CryptGenRandom(HCRYPTPROV provider, DWORD length, BYTE *buffer);
BOOL CryptReleaseContext(HCRYPTPROV provider, DWORD flags);

#endif

// A broken invariant inside the program (a destroyed object used again): report and stop.
[[noreturn]] void fatalInternalError(const char *what);
