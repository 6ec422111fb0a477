#include "pe/ManifestLevel.h"

#include <gtest/gtest.h>

namespace {
Bytes bytes(const std::string &s) { return Bytes(s.begin(), s.end()); }
}  // namespace

TEST(ManifestLevel, ChangesOnlyTheLevel) {
  std::string before = "<a><requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/><dpiAware>true</dpiAware></a>";
  Bytes manifest = bytes(before);
  std::string error;
  ASSERT_TRUE(setExecutionLevel(manifest, "requireAdministrator", error)) << error;
  EXPECT_EQ(std::string(manifest.begin(), manifest.end()),
            "<a><requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/><dpiAware>true</dpiAware></a>");
  Bytes single = bytes("<requestedExecutionLevel uiAccess='false' level='highestAvailable'/>");
  ASSERT_TRUE(setExecutionLevel(single, "asInvoker", error));
  EXPECT_EQ(std::string(single.begin(), single.end()), "<requestedExecutionLevel uiAccess='false' level='asInvoker'/>");
}

TEST(ManifestLevel, RefusesManifestsItCannotEditSafely) {
  std::string error;
  for (const char *text : {"<a/>", "<requestedExecutionLevel uiAccess=\"false\"/>",
                           "<requestedExecutionLevel level=\"asInvoker\"/><requestedExecutionLevel level=\"x\"/>",
                           "<requestedExecutionLevel level=\"asInvoker/>", "<requestedExecutionLevel/> level=\"x\""}) {
    Bytes manifest = bytes(text);
    EXPECT_FALSE(setExecutionLevel(manifest, "asInvoker", error)) << text;
    EXPECT_EQ(std::string(manifest.begin(), manifest.end()), text);
  }
  EXPECT_TRUE(isExecutionLevel("highestAvailable"));
  EXPECT_FALSE(isExecutionLevel("requireadministrator"));
}
