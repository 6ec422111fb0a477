#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/win32.h"
#include "unit/test_env.h"

TEST(Platform, EnvironmentVariablesAreFoundIgnoringCase) {
  setTestVariable("SfxTestVariable", "some value");
  char value[64] = {};
  EXPECT_EQ(GetEnvironmentVariableA("SFXTESTVARIABLE", value, sizeof value), 10u);
  EXPECT_STREQ(value, "some value");
  // Too small: the size needed, terminator included.
  EXPECT_EQ(GetEnvironmentVariableA("sfxtestvariable", value, 5), 11u);
  EXPECT_EQ(GetEnvironmentVariableA("SfxTestVariable", nullptr, 0), 11u);
  SetLastError(0);
  EXPECT_EQ(GetEnvironmentVariableA("SfxNoSuchVariable", value, sizeof value), 0u);
  EXPECT_EQ(GetLastError(), ERROR_ENVVAR_NOT_FOUND);
}

// Sizes count UTF-16 code units: the emoji is two of them.
TEST(Platform, WideEnvironmentValuesKeepEveryCharacter) {
  setTestVariableUtf8("SfxWideVariable", "\xe7\x94\xb0\xd0\x98\xce\xa9\xf0\x9f\x98\x80");
  const char16_t expected[] = u"\u7530\u0418\u03a9\U0001F600";
  LPCWSTR name = reinterpret_cast<LPCWSTR>(u"SFXWIDEVARIABLE");
  EXPECT_EQ(GetEnvironmentVariableW(name, nullptr, 0), 6u);
  WCHAR value[16] = {};
  EXPECT_EQ(GetEnvironmentVariableW(name, value, 5), 6u);
  ASSERT_EQ(GetEnvironmentVariableW(name, value, 16), 5u);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t *>(value)), std::u16string(expected));
  SetLastError(0);
  EXPECT_EQ(GetEnvironmentVariableW(reinterpret_cast<LPCWSTR>(u"SfxNoSuchVariable"), value, 16), 0u);
  EXPECT_EQ(GetLastError(), ERROR_ENVVAR_NOT_FOUND);
}

TEST(Platform, ErrorTextsComeFromTheSystemTable) {
  char text[1024];
  DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  DWORD length = FormatMessageA(flags, nullptr, ERROR_FILE_NOT_FOUND,
                                MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, nullptr);
  ASSERT_GT(length, 2u);
  EXPECT_EQ(std::strlen(text), length);
  EXPECT_EQ(std::string(text + length - 2), "\r\n");
  length = FormatMessageA(flags, nullptr, ERROR_SHARING_VIOLATION, 0, text, sizeof text, nullptr);
  EXPECT_GT(length, 2u);
  // A code Windows has no text for.
  EXPECT_EQ(FormatMessageA(flags, nullptr, 0x2BADBEEF, 0, text, sizeof text, nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_MR_MID_NOT_FOUND);
}

TEST(Platform, MachineAndUserNamesFitTheCallersBuffers) {
  WCHAR computer[64];
  DWORD size = 64;
  ASSERT_TRUE(GetComputerNameW(computer, &size));
  EXPECT_GT(size, 0u);
  EXPECT_LE(size, 15u);
  EXPECT_EQ(computer[size], 0);
  DWORD tiny = 1;
  EXPECT_FALSE(GetComputerNameW(computer, &tiny));
  EXPECT_EQ(tiny, size + 1);

  char user[256];
  DWORD userSize = sizeof user;
  ASSERT_TRUE(GetUserNameA(user, &userSize));
  EXPECT_EQ(userSize, std::strlen(user) + 1);
  DWORD small = 1;
  EXPECT_FALSE(GetUserNameA(user, &small));
  EXPECT_EQ(small, userSize);
}

TEST(Platform, AnsiCodePageIsASingleKnownPage) {
  UINT acp = GetACP();
#ifdef _WIN32
  EXPECT_NE(acp, 0u);
#else
  EXPECT_EQ(acp, 65001u);
#endif
}
