// The stub's load configuration. The toolchain gives the image none, so this one is ours; its
// one purpose is DependentLoadFlags: the DLLs the image imports are looked for in System32
// only, never in the folder the stub was started from (a download folder where anything may
// lie beside it). The loader reads it before any of our code runs, which restrictDllSearch()
// cannot be, and Windows 10 and later honour it; the older ones ignore the field.
#include <windows.h>

#include <cstddef>

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

#ifdef _WIN64
// The linker points the image's load-configuration directory at this symbol by its name. It
// must be constant data: the loader reads it before any initialiser could run. The field at
// 0x4E is DependentLoadFlags; the headers here still call it Reserved1.
static_assert(offsetof(IMAGE_LOAD_CONFIG_DIRECTORY64, Reserved1) == 0x4E, "DependentLoadFlags moved");
extern "C" const IMAGE_LOAD_CONFIG_DIRECTORY64 _load_config_used = {
    sizeof(IMAGE_LOAD_CONFIG_DIRECTORY64), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, LOAD_LIBRARY_SEARCH_SYSTEM32};
#endif
