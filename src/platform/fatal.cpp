#include "platform/win32.h"

#include <cstdio>
#include <cstdlib>

void fatalInternalError(const char *what) {
  std::fprintf(stderr, "Fatal internal error: %s\n", what);
  std::abort();
}
