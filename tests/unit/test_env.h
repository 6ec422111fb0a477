#pragma once

#include <cstdlib>

// Sets a variable of this process's environment, on both builds.
inline void setTestVariable(const char *name, const char *value) {
#ifdef _WIN32
  _putenv_s(name, value);
#else
  setenv(name, value, 1);
#endif
}
