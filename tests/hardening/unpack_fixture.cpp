#include "unpack_fixture.h"

#include <gtest/gtest.h>

#include "archive_builder.h"
#include "core/lzss_encode.h"
#include "workflow/workflows.h"

namespace pbo_test {
namespace {

constexpr int32_t kStamp = 1120737600;  // 2005-07-07 12:00:00 UTC

bool IsEntry(const std::string& lower_path, const SampleFile** file) {
  for (const SampleFile& f : SampleFiles()) {
    if (Lower(std::string(kUnpackOut) + "\\" + f.name) == lower_path) {
      *file = &f;
      return true;
    }
  }
  return false;
}

}  // namespace

const std::vector<SampleFile>& SampleFiles() {
  static const std::vector<SampleFile> files = {
      {"a.txt", Unrepeating(1500)},
      {"tex\\b.paa", WordText(2600, 1)},
      {"tex\\empty.paa", ""},
      {"tex\\sub\\c.txt", "0123456789"},
      {"z.bin", ""},
      {"last.paa", WordText(300, 2)},
  };
  return files;
}

std::vector<uint8_t> SampleArchive(const std::vector<uint8_t>& prefix) {
  std::vector<TestEntry> entries;
  for (const SampleFile& f : SampleFiles()) {
    bool compressed = f.name.size() > 4 && f.name.substr(f.name.size() - 4) == ".paa";
    TestEntry e;
    if (compressed) {
      const uint8_t* data = reinterpret_cast<const uint8_t*>(f.content.data());
      e = Compressed(f.name, static_cast<int32_t>(f.content.size()),
                     pbo::CompressBlock(data, f.content.size()));
    } else {
      e = Stored(f.name, f.content);
    }
    e.timestamp = kStamp;
    entries.push_back(e);
  }
  return BuildArchive(entries, prefix);
}

std::vector<uint8_t> SampleProductHeader() {
  std::string header = "PRODUCT HEADER: any bytes but zero";  // 34 bytes
  header += "Vavoziveve";
  header += "@@";
  return Bytes(header);
}

MemoryPlatform UnpackPlatform(const std::vector<uint8_t>& archive) {
  MemoryPlatform p;
  p.AddFile(kArchivePath, archive);
  p.AddFile("C:\\game\\readme.txt", "beside the archive");
  p.AddFile("C:\\tmp\\unpack\\O\\a.txt", "stale a.txt of an earlier run");
  p.AddFile("C:\\tmp\\unpack\\O\\stale\\s.txt", "stale");
  p.AddFile("C:\\tmp\\unpack\\keep.txt", "beside the output folder");
  p.max_pull = 256;  // many reads, each a fault point
  return p;
}

bool RunUnpack(MemoryPlatform& p) {
  return pbo::UnpackArchive(p, kArchivePath, kUnpackDest);
}

void ExpectSoundUnpack(MemoryPlatform& p, const Snapshot& before, bool result) {
  EXPECT_EQ(p.OpenHandles(), 0);
  Snapshot after = TakeSnapshot(p);
  EXPECT_EQ(ChangesOutside(before, after, {kUnpackOut}), std::vector<std::string>{});
  if (result) {
    EXPECT_EQ(p.boxes, std::vector<std::string>{}) << "success after a box";
    for (const SampleFile& f : SampleFiles()) {
      std::string path = std::string(kUnpackOut) + "\\" + f.name;
      EXPECT_TRUE(p.IsFile(path)) << path;
      EXPECT_TRUE(p.Content(path) == f.content) << path << " differs";
    }
  } else {
    ASSERT_EQ(p.boxes.size(), 1u) << "failure without exactly one box";
  }
  const std::string box = p.boxes.empty() ? std::string() : p.boxes[0];
  std::string root = Lower(kUnpackOut) + "\\";
  for (const auto& [path, content] : after) {
    if (path.compare(0, root.size(), root) != 0 || path.back() == '\\') continue;
    auto old = before.find(path);
    if (old != before.end() && old->second == content) continue;  // untouched
    const SampleFile* f = nullptr;
    ASSERT_TRUE(IsEntry(path, &f)) << path << " is no entry of the archive";
    if (content == f->content) continue;
    EXPECT_NE(box.find(f->name), std::string::npos)
        << path << " is incomplete and the box does not name it: " << box;
    EXPECT_EQ(f->content.compare(0, content.size(), content), 0)
        << path << " is not the beginning of its content";
    EXPECT_LT(content.size(), f->content.size()) << path;
  }
}

}  // namespace pbo_test
