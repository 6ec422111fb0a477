// The one door to the operating system. On Windows it is <windows.h> itself; elsewhere it
// declares the small subset of Win32 the program calls, implemented over POSIX in posix/.
// Nothing else in the tree includes platform headers directly.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#ifdef _WIN32

#include <windows.h>
// The folder browser.
#include <shlobj.h>
// <wincrypt.h> needs the types <windows.h> declares.
#include <wincrypt.h>
// _spawnv, the runtime's process start.
#include <process.h>
// Progress-bar messages.
#include <commctrl.h>

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
using ULONG = uint32_t;

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
constexpr DWORD ERROR_CANCELLED = 1223;
constexpr DWORD ERROR_INVALID_NAME = 123;
constexpr DWORD ERROR_DIR_NOT_EMPTY = 145;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
constexpr DWORD ERROR_DIRECTORY = 267;
constexpr DWORD ERROR_BUFFER_OVERFLOW = 111;
constexpr DWORD ERROR_ENVVAR_NOT_FOUND = 203;
constexpr DWORD ERROR_MR_MID_NOT_FOUND = 317;

// Random provider (advapi32).
constexpr DWORD PROV_RSA_FULL = 1;
constexpr DWORD CRYPT_VERIFYCONTEXT = 0xF0000000;

DWORD GetLastError();
void SetLastError(DWORD code);

// Milliseconds since an arbitrary start; wraps like the real one after 49.7 days.
DWORD GetTickCount();
DWORD GetCurrentThreadId();
void Sleep(DWORD milliseconds);
// The processors this process may run on (its affinity mask), so that `taskset` narrows it as
// a job object's limit would on Windows; the group argument is ignored.
constexpr WORD ALL_PROCESSOR_GROUPS = 0xFFFF;
DWORD GetActiveProcessorCount(WORD groupNumber);

// Only the flags the random generator tries are meaningful; every acquisition of the base
// provider succeeds and reads the kernel's random source.
BOOL CryptAcquireContextA(HCRYPTPROV *provider, LPCSTR container, LPCSTR providerName, DWORD providerType,
                          DWORD flags);
BOOL CryptGenRandom(HCRYPTPROV provider, DWORD length, BYTE *buffer);
BOOL CryptReleaseContext(HCRYPTPROV provider, DWORD flags);


// Files and directories. Paths may use "\" or "/"; a "\\?\" or "\\?\UNC\" prefix and a drive
// letter are dropped, so "C:\dir\f.txt" is "/dir/f.txt". ANSI paths are UTF-8 (GetACP answers
// 65001). Share modes are honoured between the handles of this process, read-only is the
// owner's write permission (enforced even for root), hidden/system/archive live in an extended
// attribute where the file system has them.
using HMODULE = void *;
// Access lists are not kept. Security attributes are given only to keep other accounts out (the
// stub's one descriptor admits the current user, SYSTEM and Administrators): a directory created
// with any is made 0700, the nearest a mode can say; files ignore them.
struct SECURITY_ATTRIBUTES {
  DWORD nLength;
  void *lpSecurityDescriptor;
  BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES *;
using LPOVERLAPPED = void *;
using PLONG = LONG *;
using LPDWORD = DWORD *;

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(~uintptr_t(0)))
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFF;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF;
constexpr DWORD MAX_PATH = 260;

constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD FILE_SHARE_READ = 1;
constexpr DWORD FILE_SHARE_WRITE = 2;
constexpr DWORD FILE_SHARE_DELETE = 4;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;
constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x2;
constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x4;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_FLAG_BACKUP_SEMANTICS = 0x02000000;
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;
constexpr DWORD ERROR_NEGATIVE_SEEK = 131;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flagsAndAttributes, HANDLE templateFile);
HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flagsAndAttributes, HANDLE templateFile);
BOOL ReadFile(HANDLE file, void *buffer, DWORD count, LPDWORD bytesRead, LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, const void *buffer, DWORD count, LPDWORD bytesWritten, LPOVERLAPPED overlapped);
// Descriptors 0, 1 and 2; null when the descriptor is closed. Only WriteFile takes them.
constexpr DWORD STD_INPUT_HANDLE = DWORD(-10);
constexpr DWORD STD_OUTPUT_HANDLE = DWORD(-11);
constexpr DWORD STD_ERROR_HANDLE = DWORD(-12);
HANDLE GetStdHandle(DWORD which);
DWORD SetFilePointer(HANDLE file, LONG distanceLow, PLONG distanceHigh, DWORD moveMethod);
DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh);
// Creation time is not kept by POSIX; it reads back as the last write time.
BOOL GetFileTime(HANDLE file, FILETIME *creation, FILETIME *lastAccess, FILETIME *lastWrite);
BOOL SetFileTime(HANDLE file, const FILETIME *creation, const FILETIME *lastAccess, const FILETIME *lastWrite);
BOOL CloseHandle(HANDLE handle);
// As on Windows, both directions shift by the UTC offset in force now, not the one in force at
// the time converted: a July time converted in December is an hour off in a daylight-saving
// zone. TimeValue's local-offset correction puts that right.
BOOL FileTimeToLocalFileTime(const FILETIME *utc, FILETIME *local);
BOOL LocalFileTimeToFileTime(const FILETIME *local, FILETIME *utc);
// The present wall-clock time of this machine's time zone, to the millisecond.
void GetLocalTime(SYSTEMTIME *now);

DWORD GetFileAttributesA(LPCSTR path);
DWORD GetFileAttributesW(LPCWSTR path);
// The attributes, times and size of a file or folder by name, in one call.
enum GET_FILEEX_INFO_LEVELS { GetFileExInfoStandard };
struct WIN32_FILE_ATTRIBUTE_DATA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
};
BOOL GetFileAttributesExW(LPCWSTR path, GET_FILEEX_INFO_LEVELS level, void *information);
BOOL SetFileAttributesA(LPCSTR path, DWORD attributes);
BOOL SetFileAttributesW(LPCWSTR path, DWORD attributes);
BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security);
BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES security);
BOOL RemoveDirectoryA(LPCSTR path);
BOOL RemoveDirectoryW(LPCWSTR path);
BOOL DeleteFileA(LPCSTR path);
BOOL DeleteFileW(LPCWSTR path);
// Renames a file within its volume, keeping its contents, times and attributes (read-only
// included). An existing target is refused (183) unless MOVEFILE_REPLACE_EXISTING is given;
// then a read-only target is refused (5). Either name open without FILE_SHARE_DELETE: 32.
constexpr DWORD MOVEFILE_REPLACE_EXISTING = 1;
BOOL MoveFileExW(LPCWSTR existing, LPCWSTR target, DWORD flags);
// The C runtime's stream open by a UTF-16 path and mode; the path maps as above.
std::FILE *_wfopen(LPCWSTR path, LPCWSTR mode);

// Full paths come back with "/" separators: they are POSIX paths. A UNC path ("\\server\share")
// is already full and keeps its two leading separators.
DWORD GetFullPathNameA(LPCSTR path, DWORD bufferLength, LPSTR buffer, LPSTR *filePart);
DWORD GetFullPathNameW(LPCWSTR path, DWORD bufferLength, LPWSTR buffer, LPWSTR *filePart);
DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer);
DWORD GetCurrentDirectoryW(DWORD bufferLength, LPWSTR buffer);
BOOL SetCurrentDirectoryA(LPCSTR path);
BOOL SetCurrentDirectoryW(LPCWSTR path);
// $TMPDIR or /tmp, with a trailing separator as Windows gives it.
DWORD GetTempPathA(DWORD bufferLength, LPSTR buffer);
DWORD GetTempPathW(DWORD bufferLength, LPWSTR buffer);
DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);
DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);

struct OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  char szCSDVersion[128];
};
using LPOSVERSIONINFOA = OSVERSIONINFOA *;
// Reports Windows 6.2, as Windows itself does for a program without a compatibility manifest.
BOOL GetVersionExA(LPOSVERSIONINFOA info);

// Error texts. Only the system table is there: the English text of each last-error code above,
// ended by CR LF as Windows writes it; insert sequences are never expanded.
constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
constexpr WORD LANG_NEUTRAL = 0x00;
constexpr WORD SUBLANG_DEFAULT = 0x01;
constexpr DWORD MAKELANGID(WORD primary, WORD sub) { return DWORD(sub) << 10 | primary; }
DWORD FormatMessageA(DWORD flags, const void *source, DWORD messageId, DWORD languageId, LPSTR buffer,
                     DWORD size, va_list *arguments);

// Environment and identity of the machine.
DWORD GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size);
DWORD GetEnvironmentVariableW(LPCWSTR name, LPWSTR buffer, DWORD size);
UINT GetACP();
BOOL GetComputerNameW(LPWSTR buffer, DWORD *size);
BOOL GetUserNameA(LPSTR buffer, DWORD *size);

#endif

#ifndef _WIN32
// Processes. ShellExecuteExW starts a file directly (no shell, no file associations) with its
// parameters split by the Windows command-line rules, in the given working directory.
using HWND = void *;
using HINSTANCE = void *;
using HKEY = void *;
using LPVOID = void *;
constexpr DWORD SEE_MASK_NOCLOSEPROCESS = 0x40;
constexpr DWORD SEE_MASK_FLAG_NO_UI = 0x400;  // nothing is shown here anyway
constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
constexpr DWORD STILL_ACTIVE = 259;
constexpr int SW_SHOW = 5;

struct SHELLEXECUTEINFOW {
  DWORD cbSize;
  ULONG fMask;
  HWND hwnd;
  LPCWSTR lpVerb;
  LPCWSTR lpFile;
  LPCWSTR lpParameters;
  LPCWSTR lpDirectory;
  int nShow;
  HINSTANCE hInstApp;
  void *lpIDList;
  LPCWSTR lpClass;
  HKEY hkeyClass;
  DWORD dwHotKey;
  HANDLE hIconOrMonitor;
  HANDLE hProcess;
};
using LPSHELLEXECUTEINFOW = SHELLEXECUTEINFOW *;
BOOL ShellExecuteExW(LPSHELLEXECUTEINFOW info);
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
// The C runtime's spawn: the program is started as given (no search of PATH) with argv as its
// arguments. _P_WAIT gives the exit code once it ended, _P_NOWAIT a process handle at once; -1
// when it could not be started.
constexpr int _P_WAIT = 0;
constexpr int _P_NOWAIT = 1;
intptr_t _spawnv(int mode, const char *program, const char *const *argv);
BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode);
#endif

#ifndef _WIN32
// Windows, dialogs and message boxes (user32). There is no desktop here: a message box writes
// its caption and text to stderr and counts as answered with OK; a window is a hidden stand-in
// that receives nothing; a dialog cannot be created (DialogBoxParamW gives -1), so callers take
// their "no dialog" path. A quit request makes the next GetMessageA return 0; with none pending
// GetMessageA fails at once instead of waiting for messages that can never come.
using ATOM = WORD;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using INT_PTR = intptr_t;
using HICON = void *;
using HCURSOR = void *;
using HBRUSH = void *;
using HMENU = void *;
using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);
#define CALLBACK

struct WNDCLASSEXW {
  UINT cbSize;
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCWSTR lpszMenuName;
  LPCWSTR lpszClassName;
  HICON hIconSm;
};
struct POINT {
  LONG x;
  LONG y;
};
struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};
using LPMSG = MSG *;

constexpr UINT MB_OK = 0x0;
constexpr UINT MB_ICONERROR = 0x10;
constexpr UINT MB_ICONWARNING = 0x30;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr UINT CS_VREDRAW = 0x1;
constexpr UINT CS_HREDRAW = 0x2;
constexpr int COLOR_WINDOW = 5;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr int CW_USEDEFAULT = int(0x80000000);
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUERYENDSESSION = 0x0011;
constexpr UINT WM_ENDSESSION = 0x0016;
constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_APP = 0x8000;
constexpr UINT PM_REMOVE = 0x0001;
constexpr UINT QS_ALLINPUT = 0x04FF;
constexpr UINT MB_YESNO = 0x4;
constexpr int IDYES = 6;
constexpr int IDNO = 7;
constexpr UINT PBM_SETPOS = WM_USER + 2;
constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;
constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
#define MAKEINTRESOURCEW(id) (reinterpret_cast<LPCWSTR>(uintptr_t(WORD(id))))
#define MAKEINTRESOURCEA(id) (reinterpret_cast<LPCSTR>(uintptr_t(WORD(id))))

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
// Programs built for Linux carry no resources: 0, with an empty string in the buffer.
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int bufferMax);
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);
ATOM RegisterClassExW(const WNDCLASSEXW *windowClass);
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR title, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR templateName, HWND owner, DLGPROC dialogProc,
                        LPARAM initParam);
BOOL EndDialog(HWND dialog, INT_PTR result);
void PostQuitMessage(int exitCode);
BOOL GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax);
BOOL TranslateMessage(const MSG *msg);
LRESULT DispatchMessageA(const MSG *msg);
LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The stand-in window has no controls: GetDlgItem gives null and the calls on null fail.
HWND GetDlgItem(HWND dialog, int id);
BOOL EnableWindow(HWND window, BOOL enable);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Messages posted to the stand-in window queue up, from any thread, and come out of
// PeekMessageA and GetMessageA in order; a pending quit request comes after them. Posting to
// any other window fails.
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT remove);
// Only the form without handles: waits until a message is queued or a quit is requested.
DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE *handles, BOOL waitAll, DWORD milliseconds,
                                DWORD wakeMask);
BOOL IsDialogMessageA(HWND dialog, LPMSG msg);
// There is no session to hold up: both succeed and do nothing.
BOOL ShutdownBlockReasonCreate(HWND window, LPCWSTR reason);
BOOL ShutdownBlockReasonDestroy(HWND window);
#endif

// A broken invariant inside the program (a destroyed object used again): report and stop.
[[noreturn]] void fatalInternalError(const char *what);
