#include "Utf8Arguments.h"

#ifdef _WIN32
#include "base/DataBuffer.h"
#include "base/EncodingConvert.h"
#include "base/LogBase.h"
#include "platform/win32.h"

std::vector<std::string> utf8Arguments(int argc, char **argv) {
  int count = 0;
  LPWSTR *wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr || count != argc) {
    if (wide != nullptr) LocalFree(wide);
    return std::vector<std::string>(argv, argv + argc);
  }
  std::vector<std::string> out;
  EncodingConvert convert;
  LogNull log;
  for (int i = 0; i < count; ++i) {
    DataBuffer utf8;
    convert.convert(EncodingConvert::kUtf16Le, EncodingConvert::kUtf8, wide[i],
                    uint32_t(lstrlenW(wide[i]) * 2), utf8, log);
    out.emplace_back(reinterpret_cast<const char *>(utf8.getData()), utf8.getSize());
  }
  LocalFree(wide);
  return out;
}
#else
std::vector<std::string> utf8Arguments(int argc, char **argv) {
  return std::vector<std::string>(argv, argv + argc);
}
#endif
