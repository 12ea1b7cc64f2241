// Packing a folder (stored and compressed, with and without an earlier
// archive) with each single I/O call of a clean run failing in turn. A run
// either succeeds with a sound archive (only a folder that cannot be listed
// or an identity that cannot be read may pass silently) or fails with one box,
// no partial archive under the archive's name, and the earlier archive back
// in place, or under ".bak" when the box says so. Nothing else on the drive
// changes.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "archive_builder.h"
#include "core/byte_reader.h"
#include "core/lzss_decode.h"
#include "fault_matrix.h"
#include "workflow/workflows.h"

namespace pbo_test {
namespace {

using pbo::PackMode;

constexpr char kSource[] = "C:\\w\\O";
constexpr char kPacked[] = "C:\\w\\O.pbo";
constexpr char kBak[] = "C:\\w\\O.pbo.bak";
constexpr char kPrevious[] = "previous archive";
constexpr char kOlderBackup[] = "older backup";
constexpr int32_t kSampleStamp = 1120737600;  // kSampleFileTime

struct SourceFile {
  const char* name;
  std::string content;
};

const std::vector<SourceFile>& SourceFiles() {
  static const std::vector<SourceFile> files = {
      {"a.txt", WordText(1500, 3)},
      {"tex\\b.paa", WordText(2600, 4)},
      {"tex\\empty.paa", ""},
      {"tex\\deep\\c.paa", WordText(700, 5)},
      {"z.txt", "zz"},
  };
  return files;
}

// The source folder, a link inside it back to itself, a file beside it and,
// when `previous`, an earlier archive and an older backup of it.
MemoryPlatform PackPlatform(bool previous) {
  MemoryPlatform p;
  for (const SourceFile& f : SourceFiles()) {
    p.AddFile(std::string(kSource) + "\\" + f.name, f.content);
  }
  p.AddLink("C:\\w\\O\\tex\\loop", kSource);
  p.AddFile("C:\\w\\other.txt", "beside the source");
  if (previous) {
    p.AddFile(kPacked, kPrevious);
    p.AddFile(kBak, kOlderBackup);
  }
  p.max_pull = 512;
  return p;
}

// The archive holds each file found below the source once, with its bytes,
// as the mode writes it; every source file is there unless it lies below
// `unlisted`, a folder whose listing failed.
void ExpectArchiveOfSource(MemoryPlatform& p, PackMode mode,
                           const std::string& unlisted) {
  std::vector<TestEntry> entries;
  ASSERT_TRUE(SplitArchive(p.Bytes(kPacked), &entries)) << "archive does not add up";
  std::set<std::string> names;
  for (const TestEntry& e : entries) {
    SCOPED_TRACE(e.name);
    EXPECT_TRUE(names.insert(Lower(e.name)).second) << "entry twice";
    std::string path = std::string(kSource) + "\\" + e.name;
    ASSERT_TRUE(p.IsFile(path));
    std::string content = p.Content(path);
    EXPECT_EQ(e.timestamp, kSampleStamp);
    if (mode == PackMode::kStored) {
      EXPECT_EQ(e.method, 0u);
      EXPECT_EQ(e.original_size, 0);
      EXPECT_TRUE(Text(e.data) == content);
      continue;
    }
    EXPECT_EQ(e.method, kSrpc);
    EXPECT_EQ(e.original_size, static_cast<int32_t>(content.size()));
    pbo::ByteReader reader(e.data.data(), e.data.size());
    std::vector<uint8_t> decoded;
    pbo::DecodeResult r = pbo::DecodeEntry(reader, e.original_size, &decoded);
    EXPECT_TRUE(r.checksum_matches());
    EXPECT_EQ(reader.position(), e.data.size());
    EXPECT_TRUE(Text(decoded) == content);
  }
  for (const SourceFile& f : SourceFiles()) {
    std::string path = std::string(kSource) + "\\" + f.name;
    bool may_miss = !unlisted.empty() && path.compare(0, unlisted.size() + 1,
                                                      unlisted + "\\") == 0;
    if (!may_miss) {
      EXPECT_EQ(names.count(Lower(f.name)), 1u) << f.name << " missing";
    }
  }
}

struct PackCase {
  const char* what;
  PackMode mode;
  bool previous;       // an earlier archive and an older backup are there
  bool restore_fails;  // moving this call's backup back fails as well
};

void ExpectSoundPack(MemoryPlatform& p, const Snapshot& before, bool result,
                     const PackCase& s, const FaultPoint& f) {
  EXPECT_EQ(p.OpenHandles(), 0);
  EXPECT_EQ(ChangesOutside(before, TakeSnapshot(p), {kPacked, kBak}),
            std::vector<std::string>{});
  if (result) {
    EXPECT_EQ(p.boxes, std::vector<std::string>{}) << "success after a box";
    EXPECT_TRUE(f.op == MemoryPlatform::kListFolder ||
                f.op == MemoryPlatform::kIdentity)
        << "a failure passed as success";
    ExpectArchiveOfSource(p, s.mode,
                          f.op == MemoryPlatform::kListFolder ? f.path : "");
    if (s.previous) {
      EXPECT_EQ(p.Content(kBak), kPrevious);
    } else {
      EXPECT_FALSE(p.Exists(kBak));
    }
    return;
  }
  ASSERT_EQ(p.boxes.size(), 1u) << "failure without exactly one box";
  const std::string& box = p.boxes[0];
  const std::string kept = std::string("\r\nPrevious archive is kept as: \r\n") + kBak;
  if (box.size() >= kept.size() &&
      box.compare(box.size() - kept.size(), kept.size(), kept) == 0) {
    EXPECT_TRUE(s.previous && s.restore_fails) << box;
    EXPECT_FALSE(p.Exists(kPacked)) << "partial archive left";
    EXPECT_EQ(p.Content(kBak), kPrevious);
    return;
  }
  if (s.previous) {
    EXPECT_EQ(p.Content(kPacked), kPrevious) << box;
    // An older backup is either untouched or already replaced by the
    // backup that this call made and then moved back.
    if (p.Exists(kBak)) {
      EXPECT_EQ(p.Content(kBak), kOlderBackup);
    }
  } else {
    EXPECT_FALSE(p.Exists(kPacked)) << "partial archive left: " << box;
    EXPECT_FALSE(p.Exists(kBak));
  }
}

TEST(PackFaults, EverySingleFailingCallIsReportedOrHarmless) {
  const PackCase cases[] = {
      {"stored, earlier archive", PackMode::kStored, true, false},
      {"stored, no earlier archive", PackMode::kStored, false, false},
      {"compressed, earlier archive", PackMode::kCompressed, true, false},
      {"compressed, no earlier archive", PackMode::kCompressed, false, false},
      {"stored, earlier archive, backup not movable back", PackMode::kStored, true, true},
      {"compressed, earlier archive, backup not movable back", PackMode::kCompressed,
       true, true},
  };
  for (const PackCase& s : cases) {
    SCOPED_TRACE(s.what);
    MakePlatform make = [&s] {
      MemoryPlatform p = PackPlatform(s.previous);
      if (s.restore_fails) p.FailPath(MemoryPlatform::kRenameFile, kBak);
      return p;
    };
    RunWorkflow run = [&s](MemoryPlatform& p) {
      return pbo::PackFolder(p, kSource, "", s.mode);
    };
    std::vector<FaultPoint> points = RecordFaultPoints(make, run);
    ReportMatrixSize(std::string("pack, ") + s.what, points);
    for (const FaultPoint& f : points) {
      SCOPED_TRACE(f.Describe());
      MemoryPlatform p = make();
      p.FailCall(f.op, f.nth);
      Snapshot before = TakeSnapshot(p);
      bool result = run(p);
      EXPECT_GE(p.Calls(f.op), f.nth) << "the fault point was not reached";
      ExpectSoundPack(p, before, result, s, f);
    }
  }
}

}  // namespace
}  // namespace pbo_test
