// A setup program for the end-to-end scenarios: appends a line naming its working directory and
// its arguments to the marker file named by argument 1, then exits with the code in argument 2.
// The line is UTF-8; on Windows the arguments are read from the wide command line, so that what
// the marker shows is exactly what the program was handed in UTF-16.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>

namespace {
std::string utf8(const wchar_t *text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(size > 0 ? size - 1 : 0, '\0');
  if (size > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], size, nullptr, nullptr);
  return out;
}

std::vector<std::string> arguments(int, char **) {
  int count = 0;
  wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i) out.push_back(utf8(wide[i]));
  LocalFree(wide);
  return out;
}

std::FILE *openMarker(const std::string &path) {
  int size = MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0);
  std::wstring wide(size, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, &wide[0], size);
  return _wfopen(wide.c_str(), L"ab");
}
}  // namespace
#else
namespace {
std::vector<std::string> arguments(int argc, char **argv) { return std::vector<std::string>(argv, argv + argc); }
std::FILE *openMarker(const std::string &path) { return std::fopen(path.c_str(), "ab"); }
}  // namespace
#endif

int main(int argc, char **argv) {
  std::vector<std::string> args = arguments(argc, argv);
  if (args.size() < 2) return 100;
  std::FILE *f = openMarker(args[1]);
  if (f == nullptr) return 101;
  std::string folder = std::filesystem::current_path().filename().u8string();
  std::fprintf(f, "setup ran in %s", folder.c_str());
  for (size_t i = 2; i < args.size(); ++i) std::fprintf(f, " [%s]", args[i].c_str());
  std::fprintf(f, "\n");
  std::fclose(f);
  return args.size() > 2 ? std::atoi(args[2].c_str()) : 0;
}
