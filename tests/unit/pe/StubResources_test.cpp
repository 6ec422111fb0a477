// The resource rewrite on a small hand-made image laid out as the linker lays out the stub:
// code, resources, relocations last. What it must keep and change, and what it must refuse.
#include "pe/StubResources.h"

#include <gtest/gtest.h>

#include "pe/PeImage.h"
#include "pe/ResourceTree.h"

namespace {

constexpr size_t kOptional = 0x58;
constexpr size_t kTable = kOptional + 240;

void section(Bytes &image, int index, const char *name, uint32_t rva, uint32_t size, uint32_t raw) {
  size_t at = kTable + 40 * size_t(index);
  for (size_t i = 0; name[i] != 0; ++i) image[at + i] = uint8_t(name[i]);
  putU32(image, at + 8, size);
  putU32(image, at + 12, rva);
  putU32(image, at + 16, uint32_t(alignUp(size, 0x200)));
  putU32(image, at + 20, raw);
}

// .text at 0x1000, .rsrc at 0x2000 with a manifest, .reloc at 0x3000.
Bytes sampleImage() {
  Resource manifest;
  manifest.type = ResourceName::number(resource_type::kManifest);
  manifest.name = ResourceName::number(1);
  manifest.language = 0x409;
  std::string text = "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>";
  manifest.data.assign(text.begin(), text.end());
  Bytes tree = writeResources({manifest}, 0x2000);
  Bytes image(0x600 + alignUp(tree.size(), 0x200) + 0x200, 0);
  image[0] = 'M';
  image[1] = 'Z';
  putU32(image, 0x3C, 0x40);
  putU32(image, 0x40, 0x4550);
  putU16(image, 0x46, 3);
  putU16(image, 0x54, 240);
  putU16(image, kOptional, 0x20b);
  putU32(image, kOptional + 8, 0x400);
  putU32(image, kOptional + 32, 0x1000);
  putU32(image, kOptional + 36, 0x200);
  putU32(image, kOptional + 56, 0x4000);
  putU32(image, kOptional + 60, 0x400);
  putU32(image, kOptional + 64, 0x12345);
  putU32(image, kOptional + 108, 16);
  putU32(image, kOptional + 112 + 16, 0x2000);
  putU32(image, kOptional + 112 + 20, uint32_t(tree.size()));
  putU32(image, kOptional + 112 + 40, 0x3000);
  putU32(image, kOptional + 112 + 44, 8);
  section(image, 0, ".text", 0x1000, 0x200, 0x400);
  section(image, 1, ".rsrc", 0x2000, uint32_t(tree.size()), 0x600);
  section(image, 2, ".reloc", 0x3000, 8, uint32_t(0x600 + alignUp(tree.size(), 0x200)));
  for (size_t i = 0; i < 0x200; ++i) image[0x400 + i] = uint8_t(i * 7);
  std::copy(tree.begin(), tree.end(), image.begin() + 0x600);
  return image;
}

std::string refusal(const Bytes &stub) {
  StubResources wanted;
  wanted.executionLevel = "asInvoker";
  Bytes out;
  size_t checksumAt = 0;
  std::string error;
  EXPECT_FALSE(rewriteStubResources(stub, wanted, out, checksumAt, error));
  return error;
}

uint32_t u32(const Bytes &b, size_t at) {
  uint32_t v = 0;
  readU32(b, at, v);
  return v;
}

}  // namespace

TEST(StubResources, AddsALastSectionAndKeepsEverythingBefore) {
  Bytes stub = sampleImage();
  StubResources wanted;
  wanted.executionLevel = "requireAdministrator";
  wanted.versionInfo = {1, 2, 3, 4};
  Bytes out;
  size_t checksumAt = 0;
  std::string error;
  ASSERT_TRUE(rewriteStubResources(stub, wanted, out, checksumAt, error)) << error;
  PeImage image;
  ASSERT_TRUE(image.parse(out, error)) << error;
  ASSERT_EQ(image.sections().size(), 4u);
  const PeSection &added = image.sections()[3];
  EXPECT_EQ(added.name, ".rsrc");
  EXPECT_EQ(added.virtualAddress, 0x4000u);
  EXPECT_EQ(added.rawOffset, stub.size());
  EXPECT_EQ(out.size(), size_t(added.rawOffset) + added.rawSize);
  EXPECT_EQ(image.directory(kResourceDirectory).rva, 0x4000u);
  EXPECT_EQ(image.directory(kResourceDirectory).size, added.virtualSize);
  EXPECT_EQ(u32(out, image.sizeOfImageOffset()), alignUp(0x4000 + added.virtualSize, 0x1000));
  EXPECT_EQ(u32(out, image.sizeOfInitializedDataOffset()), 0x400 + added.rawSize);
  EXPECT_EQ(checksumAt, kOptional + 64);
  EXPECT_EQ(u32(out, checksumAt), 0u);
  // Past the headers, the stub's own bytes are unchanged.
  EXPECT_TRUE(std::equal(stub.begin() + 0x400, stub.end(), out.begin() + 0x400));

  Bytes tree(out.begin() + added.rawOffset, out.begin() + added.rawOffset + added.virtualSize);
  std::vector<Resource> read;
  ASSERT_TRUE(readResources(tree, added.virtualAddress, read, error)) << error;
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0].type.id, resource_type::kVersion);
  EXPECT_EQ(read[0].data, wanted.versionInfo);
  std::string manifest(read[1].data.begin(), read[1].data.end());
  EXPECT_EQ(manifest, "<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>");
}

TEST(StubResources, RefusesStubsItCannotRewriteSafely) {
  Bytes signedStub = sampleImage();
  putU32(signedStub, kOptional + 112 + 32, 0x800);
  putU32(signedStub, kOptional + 112 + 36, 0x100);
  EXPECT_EQ(refusal(signedStub), "the stub is signed; sign the finished program instead");

  Bytes withPayload = sampleImage();
  withPayload.push_back(0);
  EXPECT_EQ(refusal(withPayload), "the stub has an unexpected section layout: data follows the last section");

  Bytes fullHeaders = sampleImage();
  putU32(fullHeaders, kOptional + 60, uint32_t(kTable + 3 * 40 + 20));
  EXPECT_EQ(refusal(fullHeaders), "the stub has an unexpected section layout: no room for another section header");

  Bytes noResources = sampleImage();
  putU32(noResources, kOptional + 112 + 16, 0);
  EXPECT_EQ(refusal(noResources), "the stub has an unexpected section layout: the stub has no resources");

  Bytes strayDirectory = sampleImage();
  putU32(strayDirectory, kOptional + 112 + 16, 0x9000);
  EXPECT_EQ(refusal(strayDirectory), "the stub has an unexpected section layout: no section holds the resources");

  Bytes elf = {0x7F, 'E', 'L', 'F', 2, 1, 1, 0};
  EXPECT_EQ(refusal(elf), "the stub is not a Windows program (no PE header)");
}

TEST(PeChecksum, SameSumHoweverTheFileIsCut) {
  Bytes data = sampleImage();
  data.push_back(0x5A);  // an odd length
  PeChecksum whole;
  whole.add(data.data(), data.size());
  PeChecksum pieces;
  for (size_t at = 0, step = 1; at < data.size(); at += step, step = step % 7 + 1) {
    pieces.add(data.data() + at, std::min(step, data.size() - at));
  }
  EXPECT_EQ(pieces.finish(), whole.finish());
  // Sum of 16-bit words with the carries folded, plus the length: here small enough to count.
  PeChecksum tiny;
  const uint8_t bytes[] = {0xFF, 0xFF, 0x02, 0x00, 0x01};
  tiny.add(bytes, sizeof bytes);
  EXPECT_EQ(tiny.finish(), ((0xFFFFu + 2 + 1) & 0xFFFF) + 1 + sizeof bytes);
}
