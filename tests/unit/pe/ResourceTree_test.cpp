// Resource trees written and read back, and trees that point where they must not.
#include "pe/ResourceTree.h"

#include <gtest/gtest.h>

namespace {

Resource make(ResourceName type, ResourceName name, uint16_t language, std::string data) {
  Resource r;
  r.type = type;
  r.name = name;
  r.language = language;
  r.codePage = 1252;
  r.data.assign(data.begin(), data.end());
  return r;
}

ResourceName named(const std::u16string &text) { return ResourceName{false, 0, text}; }

std::string refusal(const Bytes &section, uint32_t rva) {
  std::vector<Resource> read;
  std::string error;
  EXPECT_FALSE(readResources(section, rva, read, error));
  return error;
}

}  // namespace

TEST(ResourceTree, WritesWhatItReadsBackInOrder) {
  std::vector<Resource> resources = {
      make(ResourceName::number(24), ResourceName::number(1), 0x409, "<manifest/>"),
      make(ResourceName::number(5), ResourceName::number(130), 0x409, "dialog 130"),
      make(ResourceName::number(5), ResourceName::number(129), 0x407, "dialog 129 de"),
      make(ResourceName::number(5), ResourceName::number(129), 0x409, "dialog 129"),
      make(named(u"MYTYPE"), named(u"B"), 0, "b"),
      make(named(u"MYTYPE"), named(u"A"), 0, std::string("a\0a", 3)),
      make(ResourceName::number(3), ResourceName::number(1), 0x409, ""),
  };
  Bytes section = writeResources(resources, 0x4E000);
  std::vector<Resource> read;
  std::string error;
  ASSERT_TRUE(readResources(section, 0x4E000, read, error)) << error;
  ASSERT_EQ(read.size(), resources.size());
  // Named types first, then numbers ascending; names likewise; languages ascending.
  const int expected[] = {5, 4, 6, 2, 3, 1, 0};
  for (size_t i = 0; i < read.size(); ++i) {
    const Resource &want = resources[size_t(expected[i])];
    EXPECT_TRUE(read[i].type == want.type && read[i].name == want.name) << i;
    EXPECT_EQ(read[i].language, want.language) << i;
    EXPECT_EQ(read[i].codePage, 1252u);
    EXPECT_EQ(read[i].data, want.data) << i;
  }
  // Every data block on an 8-byte boundary, as the loader likes them.
  EXPECT_EQ(section.size() % 8, 0u);
}

TEST(ResourceTree, RefusesTreesThatReachOutside) {
  Bytes good = writeResources({make(ResourceName::number(24), ResourceName::number(1), 0x409, "m")}, 0x1000);
  EXPECT_EQ(refusal(Bytes(good.begin(), good.begin() + 10), 0x1000),
            "the stub's resources are damaged: a resource directory lies outside the section");
  // The data entry is the fourth table's successor: root, type, name tables of 24 bytes each.
  Bytes outside = good;
  outside[72 + 3] = 0x70;  // data RVA far beyond the section
  EXPECT_EQ(refusal(outside, 0x1000), "the stub's resources are damaged: a resource's data lies outside the section");
  EXPECT_EQ(refusal(good, 0x2000), "the stub's resources are damaged: a resource's data lies outside the section");
  Bytes loop = good;
  loop[16 + 4] = 0;  // the type entry points back at the root, one level too many
  loop[16 + 5] = loop[16 + 6] = 0;
  loop[16 + 7] = 0x80;
  EXPECT_EQ(refusal(loop, 0x1000), "the stub's resources are damaged: the resource tree does not have three levels");
  Bytes badName = good;
  badName[16 + 3] = 0x80;  // the type becomes a name whose string lies beyond the section
  badName[16 + 2] = 0x70;
  EXPECT_EQ(refusal(badName, 0x1000), "the stub's resources are damaged: a resource name lies outside the section");
}

TEST(ResourceTree, StopsOnSharedSubtreesThatMultiply) {
  // A root of 2000 entries all sharing one type table of 2000 entries, each sharing one empty
  // name table: four million visits for no resource at all.
  Bytes section(16 + 2000 * 8 + 16 + 2000 * 8 + 16, 0);
  uint32_t typeTable = 16 + 2000 * 8, nameTable = typeTable + 16 + 2000 * 8;
  putU16(section, 14, 2000);
  putU16(section, typeTable + 14, 2000);
  for (uint32_t i = 0; i < 2000; ++i) {
    putU32(section, 16 + 8 * i, i + 1);
    putU32(section, 20 + 8 * i, 0x80000000u | typeTable);
    putU32(section, typeTable + 16 + 8 * i, i + 1);
    putU32(section, typeTable + 20 + 8 * i, 0x80000000u | nameTable);
  }
  EXPECT_EQ(refusal(section, 0), "the stub's resources are damaged: too many resource entries");
}
