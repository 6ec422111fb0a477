// A child program for the process tests: writes its working directory and arguments, one per
// line, to "args.txt" in the working directory, then exits with the code given as argument 1.
#include <cstdio>
#include <cstdlib>
#include <filesystem>

int main(int argc, char **argv) {
  std::FILE *f = std::fopen("args.txt", "wb");
  if (f == nullptr) return 100;
  std::fprintf(f, "%s\n", std::filesystem::current_path().filename().string().c_str());
  for (int i = 1; i < argc; ++i) std::fprintf(f, "%s\n", argv[i]);
  std::fclose(f);
  return argc > 1 ? std::atoi(argv[1]) : 0;
}
