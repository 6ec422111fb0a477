// Starting and waiting for programs over fork/exec and waitpid.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <list>
#include <string>
#include <vector>

#include "platform/posix/text.h"
#include "platform/win32.h"

namespace {

struct Process {
  pid_t pid;
  bool ended;
  int exitCode;
};

std::list<Process> &processes() {
  static std::list<Process> list;
  return list;
}

Process *fromHandle(HANDLE handle) {
  for (Process &p : processes()) {
    if (&p == handle) return &p;
  }
  return nullptr;
}

// The rules Windows programs use to split their command line: blanks separate arguments,
// double quotes group, 2n backslashes before a quote give n and open/close the group, 2n+1
// give n and a literal quote, other backslashes are literal.
std::vector<std::string> splitParameters(const std::string &text) {
  std::vector<std::string> args;
  size_t i = 0, n = text.size();
  while (i < n) {
    while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i >= n) break;
    std::string arg;
    bool quoted = false;
    while (i < n && (quoted || (text[i] != ' ' && text[i] != '\t'))) {
      size_t slashes = 0;
      while (i < n && text[i] == '\\') {
        ++slashes;
        ++i;
      }
      if (i < n && text[i] == '"') {
        arg.append(slashes / 2, '\\');
        if (slashes % 2) {
          arg += '"';
        } else if (quoted && i + 1 < n && text[i + 1] == '"') {
          arg += '"';
          ++i;
        } else {
          quoted = !quoted;
        }
        ++i;
      } else {
        arg.append(slashes, '\\');
        if (i < n && (quoted || (text[i] != ' ' && text[i] != '\t'))) arg += text[i++];
      }
    }
    args.push_back(arg);
  }
  return args;
}

void reap(Process &p, bool block) {
  if (p.ended) return;
  int status = 0;
  pid_t r;
  do {
    r = waitpid(p.pid, &status, block ? 0 : WNOHANG);
  } while (r < 0 && errno == EINTR);
  if (r == p.pid) {
    p.ended = true;
    p.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
}

// Starts `target` with `args` in `dir` (unchanged when empty). The child reports a failed exec
// through a close-on-exec pipe, so the caller learns it here, with the last error set.
Process *launch(const std::string &target, std::vector<std::string> args, const std::string &dir) {
  std::vector<char *> argv;
  for (std::string &a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) {
    posix::setLastErrorFromErrno(errno);
    return nullptr;
  }
  pid_t pid = fork();
  if (pid == 0) {
    close(report[0]);
    int error = 0;
    if (!dir.empty() && chdir(dir.c_str()) != 0) error = errno;
    if (error == 0) {
      execv(target.c_str(), argv.data());
      error = errno;
    }
    ssize_t ignored = write(report[1], &error, sizeof error);
    (void)ignored;
    _exit(127);
  }
  close(report[1]);
  if (pid < 0) {
    close(report[0]);
    posix::setLastErrorFromErrno(errno);
    return nullptr;
  }
  int childError = 0;
  ssize_t got;
  do {
    got = read(report[0], &childError, sizeof childError);
  } while (got < 0 && errno == EINTR);
  close(report[0]);
  processes().push_back(Process{pid, false, 0});
  Process &p = processes().back();
  if (got == sizeof childError) {
    reap(p, true);
    processes().pop_back();
    posix::setLastErrorFromErrno(childError, target);
    return nullptr;
  }
  return &p;
}

}  // namespace

BOOL ShellExecuteExW(LPSHELLEXECUTEINFOW info) {
  if (info == nullptr || info->lpFile == nullptr || *info->lpFile == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  info->hProcess = nullptr;
  std::string file = posix::toPosixPath(posix::toUtf8(info->lpFile));
  std::string dir = info->lpDirectory ? posix::toPosixPath(posix::toUtf8(info->lpDirectory)) : std::string();
  // A relative file is looked up in the working directory, as the shell does.
  std::string target = file[0] == '/' || dir.empty() ? file : dir + "/" + file;
  struct stat st {};
  if (stat(target.c_str(), &st) != 0) {
    posix::setLastErrorFromErrno(errno, target);
    return FALSE;
  }
  // Windows has no execute permission: a file it is asked to start is a program. Files this
  // program writes (an extracted setup program among them) carry no execute bit, so the owner's
  // is added; a file that still cannot be executed is refused as Windows refuses it.
  if (S_ISREG(st.st_mode) && access(target.c_str(), X_OK) != 0) chmod(target.c_str(), st.st_mode | S_IXUSR);
  if (S_ISDIR(st.st_mode) || access(target.c_str(), X_OK) != 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  std::vector<std::string> args = splitParameters(posix::toUtf8(info->lpParameters));
  args.insert(args.begin(), target);
  Process *p = launch(target, args, dir);
  if (p == nullptr) return FALSE;
  if (info->fMask & SEE_MASK_NOCLOSEPROCESS) info->hProcess = p;
  info->hInstApp = reinterpret_cast<HINSTANCE>(uintptr_t(33));
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  Process *p = fromHandle(handle);
  if (p == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  if (milliseconds == INFINITE) {
    reap(*p, true);
    return WAIT_OBJECT_0;
  }
  for (DWORD waited = 0;; waited += 10) {
    reap(*p, false);
    if (p->ended) return WAIT_OBJECT_0;
    if (waited >= milliseconds) return WAIT_TIMEOUT;
    Sleep(10);
  }
}

BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode) {
  Process *p = fromHandle(process);
  if (p == nullptr || exitCode == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  reap(*p, false);
  *exitCode = p->ended ? DWORD(p->exitCode) : STILL_ACTIVE;
  return TRUE;
}

bool posix::closeProcessHandle(HANDLE handle) {
  for (auto it = processes().begin(); it != processes().end(); ++it) {
    if (&*it == handle) {
      processes().erase(it);
      return true;
    }
  }
  return false;
}

intptr_t _spawnv(int mode, const char *program, const char *const *argv) {
  if (program == nullptr || argv == nullptr || argv[0] == nullptr) {
    errno = EINVAL;
    return -1;
  }
  std::vector<std::string> args;
  for (const char *const *a = argv; *a != nullptr; ++a) args.emplace_back(*a);
  Process *p = launch(program, args, std::string());
  if (p == nullptr) {
    errno = ENOENT;
    return -1;
  }
  if (mode != _P_WAIT) return intptr_t(p);
  reap(*p, true);
  int code = p->exitCode;
  posix::closeProcessHandle(p);
  return code;
}
