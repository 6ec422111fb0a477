// sfxpack: packs files and settings behind the stub into a self-extracting executable, and reads
// such payloads back through the stub's own reader.
#include <cstdio>
#include <string>

#include "Cli.h"
#include "Utf8Arguments.h"

namespace {
const char kUsage[] =
    "usage: sfxpack build -o OUT.exe [--stub STUB] [--payload-only] [--no-check] [--password PW]\n"
    "                     [--encryption sealed|classic] [--kdf-memory MIB] [--kdf-passes N]\n"
    "                     [--key-bits 128|192|256] [--password-codepage N] [--level N]\n"
    "                     [--codec deflate|zstd|xz] [--block-size N] [--chunk-size N]\n"
    "                     [--jobs N] [--reproducible] [--quiet]\n"
    "                     [--config FILE.xml] [--set Key=Value]...\n"
    "                     [--icon FILE.ico] [--version-info KEY=VALUE]... [--license FILE.txt]\n"
    "                     [--execution-level asInvoker|highestAvailable|requireAdministrator]\n"
    "                     SOURCE...\n"
    "       sfxpack list FILE [--password PW] [--password-codepage N]\n"
    "       sfxpack test FILE [--password PW] [--password-codepage N]\n"
    "       sfxpack extract FILE -d DIR [--password PW] [--password-codepage N]\n"
    "  build   A folder's contents become the top level of the payload; a file is added by its\n"
    "          name. Settings start from the stub's defaults, then --config, then each --set.\n"
    "          Level 0 stores, 1-12 deflate (default 9); --jobs compresses on N threads\n"
    "          (default: one per hardware thread; the output is the same for any N).\n"
    "          --codec zstd|xz packs all contents as one stream in independent blocks of\n"
    "          --block-size bytes (default 32 MiB, 4096 to 64 MiB): levels zstd 1-22\n"
    "          (default 19), xz 0-9 (default 9). Earlier stubs refuse such payloads.\n"
    "          --reproducible stamps no entry later than SOURCE_DATE_EPOCH when it is set.\n"
    "          --quiet prints neither the progress line nor the closing line.\n"
    "          Each file's CRC-32 goes along, and the stub checks it; --no-check leaves it out.\n"
    "          --icon, --version-info and --execution-level rewrite the stub's resources; the\n"
    "          settings IconFile, ExecutionLevel and the version keys (ProductName, FileVersion,\n"
    "          ...) do the same. --license shows the text before anything is extracted.\n"
    "  list    The named values, then one line per entry: type, size, local time, name.\n"
    "  test    Decodes and checks every entry without writing anything; exit 0 when all of them\n"
    "          decode and match their check values. Every damaged file is named.\n"
    "  extract Writes the entries under DIR exactly as the stub would.\n"
    "  The password is hashed in the code page the stub's machine uses (default 1252).\n"
    "  --password seals every name, chunk and check value with XChaCha20-Poly1305 under an\n"
    "  Argon2id key (default 256 MiB, 3 passes) and authenticates the header and settings;\n"
    "  stubs built before this scheme refuse such a payload. --encryption classic writes the\n"
    "  earlier AES scheme (--key-bits), which resists neither guessing nor tampering.\n";
}  // namespace

int main(int argc, char **argv) {
  const Arguments args = utf8Arguments(argc, argv);
  if (args.size() < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  for (const std::string &a : args) {
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
  }
  const std::string &command = args[1];
  if (command == "build") return runBuild(args);
  if (command == "list") return runList(args);
  if (command == "test") return runTest(args);
  if (command == "extract") return runExtract(args);
  return fail("unknown command " + command + "\n" + kUsage);
}
