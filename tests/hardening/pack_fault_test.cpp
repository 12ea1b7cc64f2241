// Packing a folder (stored and compressed, with and without an earlier
// archive, beside the source and inside it) with each single I/O call of a
// clean run failing in turn, alone and together with a failing cleanup. A
// run either succeeds with a sound archive (only a folder that cannot be
// listed or an identity that cannot be read may pass silently) or fails with
// one box, leaves no partial archive under the archive's name unless the box
// says so, and keeps the earlier archive: back under its own name, or under
// ".bak" when the box says so. Nothing else on the drive changes.
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

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() &&
         s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool Contains(const std::string& s, const std::string& part) {
  return s.find(part) != std::string::npos;
}

struct PackCase {
  const char* what;
  PackMode mode;
  const char* destination;  // "" for the archive beside the source
  const char* packed;       // the archive that the call writes
  bool previous;            // an earlier archive and an older backup are there
  bool restore_fails;       // moving this call's backup back fails as well
  bool cleanup_fails;       // removing the partial archive fails as well

  std::string bak() const { return std::string(packed) + ".bak"; }
};

// The source folder, a link inside it back to itself, a file beside it and,
// when the case asks for them, an earlier archive and an older backup.
MemoryPlatform PackPlatform(const PackCase& c) {
  MemoryPlatform p;
  for (const SourceFile& f : SourceFiles()) {
    p.AddFile(std::string(kSource) + "\\" + f.name, f.content);
  }
  p.AddLink("C:\\w\\O\\tex\\loop", kSource);
  p.AddFile("C:\\w\\other.txt", "beside the source");
  if (c.previous) {
    p.AddFile(c.packed, kPrevious);
    p.AddFile(c.bak(), kOlderBackup);
  }
  if (c.restore_fails) p.FailPath(MemoryPlatform::kRenameFile, c.bak());
  if (c.cleanup_fails) p.FailPath(MemoryPlatform::kDeleteFile, c.packed);
  p.max_pull = 512;
  return p;
}

// The archive holds each file found below the source once, with its bytes,
// as the mode writes it, and neither itself nor its backup; every source
// file is there unless it lies below `unlisted`, a folder whose listing
// failed.
void ExpectArchiveOfSource(MemoryPlatform& p, const PackCase& c,
                           const std::string& unlisted) {
  std::vector<TestEntry> entries;
  ASSERT_TRUE(SplitArchive(p.Bytes(c.packed), &entries)) << "archive does not add up";
  std::set<std::string> names;
  for (const TestEntry& e : entries) {
    SCOPED_TRACE(e.name);
    EXPECT_TRUE(names.insert(Lower(e.name)).second) << "entry twice";
    std::string path = std::string(kSource) + "\\" + e.name;
    EXPECT_NE(Lower(path), Lower(c.packed));
    EXPECT_NE(Lower(path), Lower(c.bak()));
    ASSERT_TRUE(p.IsFile(path));
    std::string content = p.Content(path);
    EXPECT_EQ(e.timestamp, kSampleStamp);
    if (c.mode == PackMode::kStored) {
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

void ExpectSoundPack(MemoryPlatform& p, const Snapshot& before, bool result,
                     const PackCase& c, const FaultPoint& f) {
  EXPECT_EQ(p.OpenHandles(), 0);
  EXPECT_EQ(ChangesOutside(before, TakeSnapshot(p), {c.packed, c.bak()}),
            std::vector<std::string>{});
  if (result) {
    EXPECT_EQ(p.boxes, std::vector<std::string>{}) << "success after a box";
    EXPECT_TRUE(f.op == MemoryPlatform::kListFolder ||
                f.op == MemoryPlatform::kIdentity)
        << "a failure passed as success";
    ExpectArchiveOfSource(p, c, f.op == MemoryPlatform::kListFolder ? f.path : "");
    if (c.previous) {
      EXPECT_EQ(p.Content(c.bak()), kPrevious);
    } else {
      EXPECT_FALSE(p.Exists(c.bak()));
    }
    return;
  }
  ASSERT_EQ(p.boxes.size(), 1u) << "failure without exactly one box";
  const std::string& box = p.boxes[0];
  const bool kept_as_bak =
      EndsWith(box, "\r\nPrevious archive is kept as: \r\n" + c.bak());
  const bool left_partial =
      Contains(box, "\r\nIncomplete archive is left as: \r\n" + std::string(c.packed));
  EXPECT_TRUE(!left_partial || c.cleanup_fails) << box;
  EXPECT_TRUE(!kept_as_bak || (c.previous && (c.restore_fails || c.cleanup_fails)))
      << box;
  if (kept_as_bak) {
    EXPECT_EQ(p.Content(c.bak()), kPrevious);
  } else if (c.previous) {
    EXPECT_EQ(p.Content(c.packed), kPrevious) << "earlier archive lost: " << box;
    // An older backup is either untouched or already replaced by the
    // backup that this call made and then moved back.
    if (p.Exists(c.bak())) {
      EXPECT_EQ(p.Content(c.bak()), kOlderBackup);
    }
  } else {
    EXPECT_FALSE(p.Exists(c.bak()));
  }
  if (!left_partial && (kept_as_bak || !c.previous)) {
    EXPECT_FALSE(p.Exists(c.packed)) << "partial archive left: " << box;
  }
}

TEST(PackFaults, EverySingleFailingCallIsReportedOrHarmless) {
  const char* beside = "C:\\w\\O.pbo";
  const char* inside = "C:\\w\\O\\O.pbo";
  const PackCase cases[] = {
      {"stored, earlier archive", PackMode::kStored, "", beside, true, false, false},
      {"stored, no earlier archive", PackMode::kStored, "", beside, false, false, false},
      {"compressed, earlier archive", PackMode::kCompressed, "", beside, true, false, false},
      {"compressed, no earlier archive", PackMode::kCompressed, "", beside, false, false,
       false},
      {"stored, archive inside the source", PackMode::kStored, kSource, inside, true, false,
       false},
      {"compressed, archive inside the source", PackMode::kCompressed, kSource, inside,
       true, false, false},
      {"stored, backup not movable back", PackMode::kStored, "", beside, true, true, false},
      {"compressed, backup not movable back", PackMode::kCompressed, "", beside, true, true,
       false},
      {"stored, partial archive not removable", PackMode::kStored, "", beside, true, false,
       true},
      {"compressed, partial archive not removable, no earlier archive",
       PackMode::kCompressed, "", beside, false, false, true},
  };
  for (const PackCase& c : cases) {
    SCOPED_TRACE(c.what);
    MakePlatform make = [&c] { return PackPlatform(c); };
    RunWorkflow run = [&c](MemoryPlatform& p) {
      return pbo::PackFolder(p, kSource, c.destination, c.mode);
    };
    std::vector<FaultPoint> points = RecordFaultPoints(make, run);
    ReportMatrixSize(std::string("pack, ") + c.what, points);
    for (const FaultPoint& f : points) {
      SCOPED_TRACE(f.Describe());
      MemoryPlatform p = make();
      p.FailCall(f.op, f.nth);
      Snapshot before = TakeSnapshot(p);
      bool result = run(p);
      EXPECT_GE(p.Calls(f.op), f.nth) << "the fault point was not reached";
      ExpectSoundPack(p, before, result, c, f);
    }
  }
}

// When the partial archive cannot be removed after a failure, the box says
// so; the earlier archive then cannot go back under its name and stays as
// ".bak", which the box says too.
TEST(PackFaults, PartialArchiveThatCannotBeRemovedIsNamedInTheBox) {
  for (bool previous : {true, false}) {
    SCOPED_TRACE(previous ? "earlier archive" : "no earlier archive");
    MemoryPlatform p;
    p.AddFile("C:\\w\\O\\a", "a");
    if (previous) p.AddFile("C:\\w\\O.pbo", kPrevious);
    p.FailCall(MemoryPlatform::kClose, 1);
    p.FailPath(MemoryPlatform::kDeleteFile, "C:\\w\\O.pbo");
    EXPECT_FALSE(pbo::PackFolder(p, "C:\\w\\O", "", PackMode::kStored));
    std::string box =
        "Cann't write file: \r\nC:\\w\\O.pbo\r\nWrite error.\r\n"
        "Incomplete archive is left as: \r\nC:\\w\\O.pbo";
    if (previous) box += "\r\nPrevious archive is kept as: \r\nC:\\w\\O.pbo.bak";
    EXPECT_EQ(p.boxes, std::vector<std::string>{box});
    if (previous) {
      EXPECT_EQ(p.Content("C:\\w\\O.pbo.bak"), kPrevious);
    }
  }
}

}  // namespace
}  // namespace pbo_test
