// Pack then unpack a random tree in both modes: every file comes back with
// its content, and nothing else appears.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "memory_platform.h"
#include "workflow/workflows.h"

namespace pbo_test {
namespace {

// Contents that exercise both literals and back references: runs, repeated
// phrases, random bytes, and sizes around the group and window limits.
std::string RandomContent(std::mt19937& rng) {
  static const size_t kSizes[] = {0, 1, 2, 3, 17, 18, 19, 144, 1000, 4095, 4096, 4097, 20000};
  size_t size = kSizes[rng() % (sizeof kSizes / sizeof kSizes[0])];
  std::string s;
  while (s.size() < size) {
    switch (rng() % 3) {
      case 0: s.append(1 + rng() % 40, static_cast<char>(rng())); break;
      case 1: s += "texture data block "; break;
      default: s += static_cast<char>(rng()); break;
    }
  }
  s.resize(size);
  return s;
}

TEST(RoundTrip, RandomTreeComesBackWhole) {
  for (pbo::PackMode mode : {pbo::PackMode::kStored, pbo::PackMode::kCompressed}) {
    for (unsigned seed = 1; seed <= 3; ++seed) {
      SCOPED_TRACE("seed " + std::to_string(seed));
      std::mt19937 rng(seed);
      MemoryPlatform p;
      std::vector<std::pair<std::string, std::string>> files;
      std::vector<std::string> folders = {""};
      for (int i = 0; i < 40; ++i) {
        const std::string& parent = folders[rng() % folders.size()];
        if (rng() % 4 == 0) {
          folders.push_back(parent + "dir" + std::to_string(i) + "\\");
          continue;
        }
        files.push_back({parent + "file" + std::to_string(i) + ".bin", RandomContent(rng)});
        p.AddFile("C:\\src\\" + files.back().first, files.back().second);
      }
      ASSERT_TRUE(pbo::PackFolder(p, "C:\\src", "C:\\", mode));
      ASSERT_TRUE(pbo::UnpackArchive(p, "C:\\src.pbo", "D:\\"));
      EXPECT_TRUE(p.boxes.empty());
      std::vector<std::string> unpacked_files;
      for (const std::string& path : p.Tree("D:\\src")) {
        if (path.back() != '\\') unpacked_files.push_back(path);
      }
      ASSERT_EQ(unpacked_files.size(), files.size());
      for (const auto& [name, content] : files) {
        EXPECT_EQ(p.Content("D:\\src\\" + name), content) << name;
        EXPECT_EQ(p.LastWrite("D:\\src\\" + name), kSampleFileTime) << name;
      }
      EXPECT_EQ(p.Positions().back(), 1000);
    }
  }
}

}  // namespace
}  // namespace pbo_test
