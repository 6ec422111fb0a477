// A file being packed, read chunk by chunk through the file calls the stub itself uses, so that
// a failing read is reported as a failure and never taken for the end of the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class SourceFile {
 public:
  SourceFile() = default;
  ~SourceFile();
  SourceFile(const SourceFile &) = delete;
  SourceFile &operator=(const SourceFile &) = delete;

  bool open(const std::string &utf8Path, std::string &error);
  // The next `size` bytes into `chunk`, fewer only at the end of the file (none past it).
  bool read(size_t size, std::string &chunk, std::string &error);

 private:
  std::string m_path;
  void *m_handle = nullptr;
  uint64_t m_expectedLeft = 0;
};
