// .ico files: the fixture's images come out whole; damaged directories are refused.
#include "pe/IconFile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

Bytes fixture(const char *name) {
  std::ifstream in(std::string(SFX_FIXTURES) + "/icons/" + name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string refusal(const Bytes &file) {
  std::vector<IconImage> images;
  std::string error;
  EXPECT_FALSE(parseIconFile(file, images, error));
  return error;
}

}  // namespace

TEST(IconFile, ReadsEveryImageOfTheFixture) {
  Bytes file = fixture("app.ico");
  std::vector<IconImage> images;
  std::string error;
  ASSERT_TRUE(parseIconFile(file, images, error)) << error;
  ASSERT_EQ(images.size(), 3u);
  EXPECT_EQ(images[0].width, 16);
  EXPECT_EQ(images[1].height, 32);
  EXPECT_EQ(images[2].width, 0);  // 256
  EXPECT_EQ(images[0].data.size(), 40u + 16 * 16 * 4 + 16 * 4);
  EXPECT_EQ(images[2].data[1], 'P');
  // The last image ends the file.
  EXPECT_TRUE(std::equal(images[2].data.begin(), images[2].data.end(), file.end() - long(images[2].data.size())));
}

TEST(IconFile, RefusesDamagedFiles) {
  Bytes good = fixture("one.ico");
  ASSERT_GT(good.size(), 22u);
  EXPECT_EQ(refusal(Bytes(good.begin(), good.begin() + 4)), "not an icon file");
  Bytes cursor = good;
  cursor[2] = 2;
  EXPECT_EQ(refusal(cursor), "not an icon file");
  Bytes none = good;
  none[4] = 0;
  EXPECT_EQ(refusal(none), "an icon file holds 1 to 256 images, this one 0");
  EXPECT_EQ(refusal(Bytes(good.begin(), good.begin() + 12)), "the image directory is truncated");
  EXPECT_EQ(refusal(Bytes(good.begin(), good.end() - 1)), "image 1 lies outside the file");
  Bytes huge = good;
  huge[14] = huge[15] = huge[16] = huge[17] = 0xFF;  // a size that wraps a 32-bit end
  EXPECT_EQ(refusal(huge), "image 1 lies outside the file");
  Bytes inDirectory = good;
  inDirectory[18] = 4;  // the image would start inside the directory
  inDirectory[19] = inDirectory[20] = inDirectory[21] = 0;
  EXPECT_EQ(refusal(inDirectory), "image 1 lies outside the file");
  Bytes garbage = good;
  garbage[22] = 0x99;
  EXPECT_EQ(refusal(garbage), "image 1 is neither a PNG nor a bitmap");
}

TEST(IconFile, GroupListsEachIconById) {
  std::vector<IconImage> images;
  std::string error;
  ASSERT_TRUE(parseIconFile(fixture("app.ico"), images, error));
  std::vector<Resource> resources = iconResources(images, 0x0409);
  ASSERT_EQ(resources.size(), 4u);
  const Resource &group = resources.back();
  EXPECT_EQ(group.type.id, resource_type::kGroupIcon);
  ASSERT_EQ(group.data.size(), 6u + 14 * 3);
  EXPECT_EQ(group.data[4], 3);
  for (size_t i = 0; i < 3; ++i) {
    const uint8_t *entry = &group.data[6 + 14 * i];
    uint32_t size = uint32_t(entry[8] | entry[9] << 8 | entry[10] << 16 | entry[11] << 24);
    EXPECT_EQ(entry[0], images[i].width);
    EXPECT_EQ(size, images[i].data.size());
    EXPECT_EQ(entry[12] | entry[13] << 8, int(i + 1));
    EXPECT_EQ(resources[i].type.id, resource_type::kIcon);
    EXPECT_EQ(resources[i].name.id, i + 1);
    EXPECT_EQ(resources[i].data, images[i].data);
  }
}
