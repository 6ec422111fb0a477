#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "base/DataBuffer.h"
#include "crypto/AesModes.h"

inline std::vector<uint8_t> fromHex(const char *hex) {
  std::vector<uint8_t> bytes;
  auto nibble = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
  for (; hex[0] && hex[1]; hex += 2) bytes.push_back(uint8_t(nibble(hex[0]) << 4 | nibble(hex[1])));
  return bytes;
}

inline std::vector<uint8_t> bytesOf(const DataBuffer &buffer) {
  const uint8_t *p = buffer.getData();
  return p ? std::vector<uint8_t>(p, p + buffer.getSize()) : std::vector<uint8_t>();
}

inline DataBuffer bufferOf(const std::vector<uint8_t> &bytes) {
  DataBuffer buffer;
  buffer.append(bytes.data(), uint32_t(bytes.size()));
  return buffer;
}

// Runs a test once per cipher engine; the AES-NI run is skipped on CPUs without it.
class EachAesEngine : public ::testing::TestWithParam<AesEngine> {
 protected:
  void SetUp() override {
    if (GetParam() == AesEngine::AesNi && aesBestEngine() != AesEngine::AesNi) {
      GTEST_SKIP() << "this CPU has no AES instructions";
    }
  }
};

inline void PrintTo(AesEngine engine, std::ostream *os) {
  *os << (engine == AesEngine::AesNi ? "AesNi" : "Portable");
}

inline std::string engineName(const ::testing::TestParamInfo<AesEngine> &info) {
  return ::testing::PrintToString(info.param);
}

#define SFX_FOR_EACH_AES_ENGINE(suite)                                                               \
  INSTANTIATE_TEST_SUITE_P(Engines, suite, ::testing::Values(AesEngine::Portable, AesEngine::AesNi), \
                           engineName)
