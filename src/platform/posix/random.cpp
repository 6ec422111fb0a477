// The random provider over the kernel's random source.
#include "platform/win32.h"

#include <sys/random.h>

namespace {
constexpr HCRYPTPROV kProviderHandle = 1;
constexpr DWORD NTE_BAD_FLAGS = 0x80090009;
constexpr DWORD NTE_FAIL = 0x80090020;
}  // namespace

// Accepts the verify-context flag with or without the silent/machine-keyset bits the random
// generator tries; a persisted key container is not something this program ever asks for.
BOOL CryptAcquireContextA(HCRYPTPROV *provider, LPCSTR, LPCSTR, DWORD providerType, DWORD flags) {
  if (provider == nullptr || providerType != PROV_RSA_FULL || (flags & CRYPT_VERIFYCONTEXT) == 0) {
    SetLastError(NTE_BAD_FLAGS);
    return FALSE;
  }
  *provider = kProviderHandle;
  return TRUE;
}

BOOL CryptGenRandom(HCRYPTPROV provider, DWORD length, BYTE *buffer) {
  if (provider != kProviderHandle || buffer == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD done = 0;
  while (done < length) {
    ssize_t got = getrandom(buffer + done, length - done, 0);
    if (got <= 0) {
      SetLastError(NTE_FAIL);
      return FALSE;
    }
    done += DWORD(got);
  }
  return TRUE;
}

BOOL CryptReleaseContext(HCRYPTPROV provider, DWORD) {
  if (provider != kProviderHandle) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}
