// The bytes of a committed fixture, by its path below tests/fixtures; empty when it is missing,
// which the test's own expectations then report.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

inline std::vector<uint8_t> readFixture(const std::string &relativePath) {
  std::vector<uint8_t> data;
  FILE *f = std::fopen((std::string(SFX_FIXTURES) + "/" + relativePath).c_str(), "rb");
  if (f == nullptr) return data;
  uint8_t block[4096];
  size_t n;
  while ((n = std::fread(block, 1, sizeof block, f)) > 0) data.insert(data.end(), block, block + n);
  std::fclose(f);
  return data;
}
