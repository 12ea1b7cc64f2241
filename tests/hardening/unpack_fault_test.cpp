// Unpacking the sample archive with each single I/O call of a clean run
// failing in turn. Only a failed time setting and a failed removal of the
// old output folder may pass silently; everything else is reported, and no
// run leaves a file that passes for complete but is not.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive_builder.h"
#include "fault_matrix.h"
#include "unpack_fixture.h"
#include "workflow/workflows.h"

namespace pbo_test {
namespace {

TEST(UnpackFaults, EverySingleFailingCallIsReportedOrHarmless) {
  MakePlatform make = [] { return UnpackPlatform(SampleArchive()); };
  std::vector<FaultPoint> points = RecordFaultPoints(make, RunUnpack);
  ReportMatrixSize("unpack", points);
  for (const FaultPoint& f : points) {
    SCOPED_TRACE(f.Describe());
    MemoryPlatform p = make();
    p.FailCall(f.op, f.nth);
    Snapshot before = TakeSnapshot(p);
    bool result = RunUnpack(p);
    EXPECT_GE(p.Calls(f.op), f.nth) << "the fault point was not reached";
    ExpectSoundUnpack(p, before, result);
    if (result) {
      EXPECT_TRUE(f.op == MemoryPlatform::kSetFileStamp ||
                  f.op == MemoryPlatform::kDeleteTree)
          << "a failure passed as success";
    }
  }
}

// A read error inside an entry's data leaves the file written so far; the
// box names that file besides the archive, so it is not taken for whole.
TEST(UnpackFaults, ReadErrorInsideAnEntryNamesTheFileItCutShort) {
  // Header: 6 + 20 bytes for "a.bin", 21 for the terminator; the first read
  // of 256 bytes brings the header and the first 209 bytes of data.
  const std::string content = WordText(600, 7);
  for (bool compressed : {false, true}) {
    SCOPED_TRACE(compressed ? "compressed" : "stored");
    MemoryPlatform p;
    p.AddFile(kArchivePath, BuildArchive({compressed ? Literal("a.bin", content)
                                                     : Stored("a.bin", content)}));
    p.max_pull = 256;
    p.FailCall(MemoryPlatform::kPull, 2);
    EXPECT_FALSE(pbo::UnpackArchive(p, kArchivePath, kUnpackDest));
    EXPECT_EQ(p.boxes, std::vector<std::string>{
                           "Cann't read file: \r\nC:\\game\\O.pbo\r\nRead error.\r\n"
                           "File is not complete: C:\\tmp\\unpack\\O\\a.bin"});
    std::string written = p.Content("C:\\tmp\\unpack\\O\\a.bin");
    EXPECT_LT(written.size(), content.size());
    EXPECT_EQ(content.compare(0, written.size(), written), 0);
  }
}

}  // namespace
}  // namespace pbo_test
