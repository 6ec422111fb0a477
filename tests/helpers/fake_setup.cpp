// A setup program for the end-to-end scenarios: appends a line naming its working directory and
// its arguments to the marker file named by argument 1, then exits with the code in argument 2.
#include <cstdio>
#include <cstdlib>
#include <filesystem>

int main(int argc, char **argv) {
  if (argc < 2) return 100;
  std::FILE *f = std::fopen(argv[1], "ab");
  if (f == nullptr) return 101;
  std::fprintf(f, "setup ran in %s", std::filesystem::current_path().filename().string().c_str());
  for (int i = 2; i < argc; ++i) std::fprintf(f, " [%s]", argv[i]);
  std::fprintf(f, "\n");
  std::fclose(f);
  return argc > 2 ? std::atoi(argv[2]) : 0;
}
