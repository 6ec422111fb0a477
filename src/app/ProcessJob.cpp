#include "app/ProcessJob.h"

#include "base/XString.h"

#ifdef _WIN32

namespace {
LPCWSTR wideText(const XString &text) { return reinterpret_cast<LPCWSTR>(text.getUtf16()); }
}  // namespace

ProcessJob::ProcessJob() {
  m_job = CreateJobObjectW(nullptr, nullptr);
  if (m_job == nullptr) {
    m_error = GetLastError();
    return;
  }
  // A process that asks to leave (an updater meant to outlive the installation) may: refusing
  // would make its start fail.
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_BREAKAWAY_OK;
  SetInformationJobObject(m_job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
  m_port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
  JOBOBJECT_ASSOCIATE_COMPLETION_PORT association{};
  association.CompletionKey = m_job;
  association.CompletionPort = m_port;
  if (m_port == nullptr ||
      !SetInformationJobObject(m_job, JobObjectAssociateCompletionPortInformation, &association, sizeof association)) {
    m_error = GetLastError();
    CloseHandle(m_job);
    m_job = nullptr;
  }
}

ProcessJob::~ProcessJob() {
  if (m_job != nullptr) CloseHandle(m_job);
  if (m_port != nullptr) CloseHandle(m_port);
}

HANDLE ProcessJob::start(const XString &program, const XString &commandLine, const XString &dir) {
  XString line;
  line.copyFrom(commandLine);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  // CreateProcessW may write into the command line it is given.
  LPWSTR text = const_cast<LPWSTR>(wideText(line));
  if (!CreateProcessW(wideText(program), text, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                      dir.isEmpty() ? nullptr : wideText(dir), &startup, &process)) {
    return nullptr;
  }
  // Not in the job, it still runs: the caller then waits for it alone.
  adopt(process.hProcess);
  ResumeThread(process.hThread);
  CloseHandle(process.hThread);
  return process.hProcess;
}

bool ProcessJob::adopt(HANDLE process) {
  if (m_job != nullptr && AssignProcessToJobObject(m_job, process)) return true;
  m_error = m_job != nullptr ? GetLastError() : m_error;
  if (m_job != nullptr) {
    CloseHandle(m_job);
    m_job = nullptr;
  }
  return false;
}

bool ProcessJob::waitUntilEmpty(DWORD &processes, bool (*stopRequested)()) {
  constexpr DWORD kLookMs = 100;
  processes = 0;
  for (;;) {
    DWORD message = 0;
    ULONG_PTR key = 0;
    LPOVERLAPPED detail = nullptr;
    if (!GetQueuedCompletionStatus(m_port, &message, &key, &detail, kLookMs)) {
      m_error = GetLastError();
      if (m_error != WAIT_TIMEOUT) return false;
      if (!stopRequested()) continue;
      m_error = ERROR_CANCELLED;
      return false;
    }
    if (key != ULONG_PTR(m_job)) continue;
    if (message == JOB_OBJECT_MSG_NEW_PROCESS) ++processes;
    if (message == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO) return true;
  }
}

#else

// Linux has no job objects, and a process group would not hold a child that starts a session of
// its own: the Linux stub waits for the one process it started, and says so.
ProcessJob::ProcessJob() : m_error(ERROR_NOT_SUPPORTED) {}
ProcessJob::~ProcessJob() = default;
HANDLE ProcessJob::start(const XString &, const XString &, const XString &) {
  SetLastError(ERROR_NOT_SUPPORTED);
  return nullptr;
}
bool ProcessJob::adopt(HANDLE) { return false; }
bool ProcessJob::waitUntilEmpty(DWORD &processes, bool (*)()) {
  processes = 0;
  return false;
}

#endif
